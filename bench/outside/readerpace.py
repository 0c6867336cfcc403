#!/usr/bin/python3
"""How far a screen reader falls behind the calls: Orca, with its default voice and rate,
follows the real program through a whole game at the 1-second interval; each call's time is
when the program's notice reached the accessibility bus, and the reader's start is the first
sample of its speech in the sound server's "reader" sink, which only the reader plays into.

Usage: readerpace.py PROGRAM ORCA-LOG MODE INTERVAL, MODE "sound" or "muted", INTERVAL "1"
or "1.2" (the program's own). Prints the delays."""
import json
import os
import re
import statistics
import subprocess
import sys
import threading
import time
from datetime import datetime

import pyatspi
from gi.repository import GLib

from caller import keys, main_window, one_second, window

program, orca_log, mode, interval = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4]
Rate = 22050
Chunk = Rate // 200      # 5 ms of samples
Loud = 600               # a speech sample, of 32767
Gap = 0.06               # silence that separates two things said (within a number: less)

calls = []               # (time, number) as each notice appeared
levels = []              # (time, peak) of each 5 ms of the reader's sink
onsets = []              # times the reader's speech started
stop = threading.Event()


def listen_to_sink():
    recorder = subprocess.Popen(["parec", "--device=reader.monitor", "--format=s16le", "--rate=%d" % Rate,
                                 "--channels=1", "--latency-msec=5", "--raw"], stdout=subprocess.PIPE)
    quiet_since = 0.0
    speaking = False
    while not stop.is_set():
        data = recorder.stdout.read(Chunk * 2)
        now = time.time()
        if not data:
            break
        peak = max(abs(int.from_bytes(data[i:i + 2], "little", signed=True)) for i in range(0, len(data), 2))
        levels.append((now - len(data) / 2 / Rate, peak))
        if peak >= Loud:
            if not speaking and now - quiet_since >= Gap:
                onsets.append(now - len(data) / 2 / Rate)
            speaking = True
        elif speaking:
            speaking = False
            quiet_since = now
    recorder.kill()


def record(event):
    if event.source.getRoleName() == "notification" and event.detail1 == 1:
        calls.append((time.time(), event.source.name))


def drive():
    try:
        main = main_window()
        if interval == "1":
            one_second(main)
        if mode == "muted":
            keys("F8")
        time.sleep(2)
        # Start is clicked, not typed: the reader would echo the key and the sink would hear
        # the echo and "Calling" as one.
        subprocess.run(["xdotool", "mousemove", "--window", main, "404", "486", "click", "1"], check=True)
        if window("^Buzz Off $", 120) is None:
            print("the continue question never came")
        time.sleep(4)            # the last calls and the question are said
    finally:
        stop.set()


sink = threading.Thread(target=listen_to_sink, daemon=True)
sink.start()
pyatspi.Registry.registerEventListener(record, "object:state-changed:showing")
threading.Thread(target=drive, daemon=True).start()
GLib.timeout_add(200, lambda: pyatspi.Registry.stop() if stop.is_set() else True)
pyatspi.Registry.start()
time.sleep(0.2)

# What Orca sent to the speech server after calling started, in order: each line that
# makes a sound is one onset in the sink.
said = []
for line in open(orca_log, errors="replace"):
    found = re.match(r"(\d+):(\d+):(\d+\.\d+) - SPEECH OUTPUT: '([^']*)'", line)
    if found and found.group(4).strip():
        h, m, s = int(found.group(1)), int(found.group(2)), float(found.group(3))
        day = datetime.now().replace(hour=h, minute=m, second=0, microsecond=0).timestamp()
        said.append((day + s, found.group(4).strip().rstrip(".")))
if os.environ.get("PACE_KEEP"):
    json.dump({"calls": calls, "said": said, "levels": levels}, open(os.environ["PACE_KEEP"] + "-" + mode + ".json", "w"))
numbers = [(t, n) for t, n in calls if n.isdigit()]
# From "Calling" on, each thing Orca sent is one onset: the first onset after it was sent,
# and after the onset of the thing before (the reader speaks its queue in order).
start = next(i for i, (_, text) in enumerate(said) if text == "Calling")
said = said[start:]
onset_of = []
j = 0
for sent, _ in said:
    while j < len(onsets) and onsets[j] < sent - 0.01:
        j += 1
    onset_of.append(onsets[j] if j < len(onsets) else None)
    j += 1
heard = len([t for t in onsets if t >= said[0][0] - 0.01])
print("Reader (Orca 43, default voice and rate), a whole game at %s s, sound %s: %d calls, %d things said by Orca "
      "after Start, %d onsets heard" % (interval, "on" if mode == "sound" else "off", len(numbers) or 90, len(said), heard))
if mode == "sound":
    print("  numbers given to the reader: %d (the program's voice speaks them); said: %s"
          % (len(numbers), sorted({n for _, n in said})))
else:
    delays = []
    for t, n in numbers:
        k = next((i for i, (sent, text) in enumerate(said) if text == n and sent >= t - 0.05), None)
        if k is not None and onset_of[k] is not None:
            delays.append(onset_of[k] - t)
    print("  call to the reader's first sample: median %.2f s, max %.2f s, the last call %.2f s; %d of %d calls "
          "placed (target: at most 1.5 s)" % (statistics.median(delays), max(delays), delays[-1], len(delays), len(numbers)))
    # The question at the end is said with a pause inside, so the sink may hear one or two
    # onsets more than Orca sent things; they come after the last number.
