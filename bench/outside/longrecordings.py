#!/usr/bin/python3
"""The real program with a host's long recordings: ninety 3-minute CD-quality stereo takes.
Calls at the 1-second interval while the recordings load, and on through a change of the
sound device's rate; prints the resident memory and how late each tick came. A tick's time
is when the program's notice of the call reached the accessibility bus.

Usage: longrecordings.py PROGRAM-FOLDER CALLS"""
import array
import math
import os
import statistics
import subprocess
import sys
import threading
import time
import wave

import pyatspi
from gi.repository import GLib

from caller import keys, main_window, one_second

folder, calls_wanted = sys.argv[1], int(sys.argv[2])

# One take of three minutes, 44.1 kHz stereo, linked under every number's name.
second = array.array("h", (int(8000 * math.sin(2 * math.pi * 440 * i / 44100)) for i in range(44100) for _ in (0, 1)))
with wave.open(os.path.join(folder, "1.wav"), "wb") as out:
    out.setnchannels(2)
    out.setsampwidth(2)
    out.setframerate(44100)
    data = second.tobytes()
    for _ in range(180):
        out.writeframes(data)
for n in range(2, 91):
    os.link(os.path.join(folder, "1.wav"), os.path.join(folder, "%d.wav" % n))

calls = []
stop = threading.Event()
program = subprocess.Popen([os.path.join(folder, "tabro-kalvor")], stderr=subprocess.DEVNULL)


def memory():
    fields = {}
    for line in open("/proc/%d/status" % program.pid):
        key, _, value = line.partition(":")
        fields[key] = value.strip()
    return int(fields["VmRSS"].split()[0]) // 1024, int(fields["VmHWM"].split()[0]) // 1024


def record(event):
    if event.source.getRoleName() == "notification" and event.detail1 == 1 and event.source.name.isdigit():
        calls.append(time.monotonic())


rate_changed_at = []


def drive():
    try:
        one_second(main_window())
        keys("space")     # calling starts while the recordings are still being read
        while len(calls) < int(os.environ.get("TK_CHANGE_AT", calls_wanted // 2)):
            time.sleep(0.1)
        # Another default device at another rate: every recording is read again for it.
        subprocess.run(["pactl", "set-default-sink", "fast"], check=True)
        rate_changed_at.append(len(calls))
        while len(calls) < calls_wanted:
            time.sleep(0.1)
        memory_now.extend(memory())
    finally:
        stop.set()


memory_now = []
pyatspi.Registry.registerEventListener(record, "object:state-changed:showing")
threading.Thread(target=drive, daemon=True).start()
GLib.timeout_add(200, lambda: pyatspi.Registry.stop() if stop.is_set() else True)
pyatspi.Registry.start()
program.kill()

# Each tick against the schedule of the 1-second interval, set by the earliest ticks: how
# late each came (the bus's delivery included).
period = 1.0
late = [(t - calls[0] - k * period) * 1000 for k, t in enumerate(calls)]
late = [x - min(late) for x in late]
print("Long recordings: 90 takes of 3 minutes, 44.1 kHz stereo (31.8 MB each), %d calls, the device's "
      "rate changed at call %d" % (len(calls), rate_changed_at[0] if rate_changed_at else -1))
if memory_now:
    print("  resident memory at the end: %d MB, peak %d MB (target: under 200 MB)" % tuple(memory_now))
print("  tick lateness: median %.1f ms, max %.1f ms (target: at most 20 ms)" % (statistics.median(late), max(late)))
