#!/usr/bin/python3
"""The caller with a hall's worth of phones: calls at the 1-second interval, first with no
phone, then with PHONES push channels open (tk-phones). Prints how late each tick came
against its schedule in both, the time from each call to each phone, the program's memory
without and with the phones, and its CPU time per call in both.

Usage: phones.py BUILD-BIN RECORD PHONES CALLS"""
import os
import subprocess
import sys
import time

from caller import calls as calls_on, describe, main_window, share_with_phones, wait_calls as wait_on

folder, record, phones, calls_wanted = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
program = subprocess.Popen([os.path.join(folder, "tabro-kalvor")], stderr=subprocess.DEVNULL)
os.environ["TK_PROGRAM_PID"] = str(program.pid)  # its port, not another caller's
ticks_per_second = os.sysconf("SC_CLK_TCK")


def calls():
    return calls_on(record)


def wait_calls(n):
    wait_on(record, n)


def rss_mb():
    for line in open("/proc/%d/status" % program.pid):
        if line.startswith("VmRSS:"):
            return int(line.split()[1]) / 1024


def cpu_seconds():
    fields = open("/proc/%d/stat" % program.pid).read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / ticks_per_second


def lateness(times):
    """Each tick against the schedule of the first: first + k x 1000 ms."""
    return [t - (times[0] + 1000 * k) for k, t in enumerate(times)]


try:
    main = main_window()
    port = share_with_phones(main)
    wait_calls(2)
    # No phone.
    start = len(calls())
    memory_alone = rss_mb()
    cpu0 = cpu_seconds()
    wait_calls(start + calls_wanted)
    cpu_alone = (cpu_seconds() - cpu0) / calls_wanted
    alone = lateness(calls()[start:start + calls_wanted])
    # A hall's worth of phones.
    clients = subprocess.Popen([os.path.join(folder, "tk-phones"), str(port), str(phones), str(calls_wanted)],
                               stdout=subprocess.PIPE, text=True)
    first = clients.stdout.readline()
    start = len(calls())
    time.sleep(0.3)
    memory_with = rss_mb()
    cpu0 = cpu_seconds()
    wait_calls(start + calls_wanted)
    cpu_with = (cpu_seconds() - cpu0) / calls_wanted
    crowded = lateness(calls()[start:start + calls_wanted])
    report = clients.communicate(timeout=120)[0]
    print("Phones: the caller calling at 1 s, %d calls with no phone, then %d with %d phones on the loopback"
          % (calls_wanted, calls_wanted, phones))
    print("  tick lateness, no phone:    " + describe(alone))
    print("  tick lateness, %d phones: " % phones + describe(crowded))
    print("  " + first.strip())
    for line in report.strip().splitlines():
        print("  " + line)
    print("  resident memory: %.1f MB alone, %.1f MB with %d phones: %.1f kB a phone"
          % (memory_alone, memory_with, phones, (memory_with - memory_alone) * 1024 / phones))
    print("  CPU time per call (the whole program): %.2f ms alone, %.2f ms with %d phones"
          % (cpu_alone * 1000, cpu_with * 1000, phones))
finally:
    program.kill()
