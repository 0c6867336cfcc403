#!/usr/bin/python3
"""Tickets and claims with a hall of phones: the caller calls at 1 s while PHONES push channels
follow it (tk-phones) and one Chromium page holds three tickets: how long from each call to
its numbers marked on those tickets. Then 500 claims sent in one burst from one address
on 25 channels: how they are answered, how many reach the host's list (read through
AT-SPI), and how late the ticks around them came.

Usage: phoneclaims.py BUILD-BIN RECORD CODES PHONES CALLS"""
import json
import os
import statistics
import subprocess
import sys
import time

import websocket

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "..", "tests"))
from browser import Browser  # noqa: E402
from caller import calls as calls_on, describe, main_window, share_with_phones, wait_calls as wait_on  # noqa: E402

folder, record, codes_file, phones, calls_wanted = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5])
codes = open(codes_file).read().split()
program = subprocess.Popen([os.path.join(folder, "tabro-kalvor")], stderr=subprocess.DEVNULL)
os.environ["TK_PROGRAM_PID"] = str(program.pid)  # its port, not another caller's


def calls():
    return calls_on(record)


def wait_calls(n):
    wait_on(record, n)


def claims_listed():
    import pyatspi  # noqa: F401
    from atspitree import app, find
    caller = app()
    found = next((w for w in caller if w is not None and w.name == "Claims From Phones"), None) if caller else None
    return find(found, "list", "Claims from phones")


browser = None
try:
    main = main_window()
    port = share_with_phones(main)
    base = "http://127.0.0.1:%d/" % port

    # One real page with three tickets, its marking timed from each call's own time.
    browser = Browser()
    browser.open(base + "#t=" + codes[0])
    time.sleep(2)
    for code in codes[1:3]:
        browser.evaluate("MyTickets.add(%s, true)" % json.dumps(code))
    browser.evaluate("""window.marks = []; window.spent = [];
      const follow = MyTickets.follow;
      MyTickets.follow = (b) => { const t0 = performance.now(); follow(b);
        window.spent.push(performance.now() - t0); window.marks.push(Date.now() - b.at); };""")
    held = browser.evaluate("MyTickets.tickets().length")
    crowd = subprocess.Popen([os.path.join(folder, "tk-phones"), str(port), str(phones), str(calls_wanted)],
                             stdout=subprocess.PIPE, text=True)
    first = crowd.stdout.readline()
    browser.evaluate("window.marks = []; window.spent = [];")
    start = len(calls())
    wait_calls(start + calls_wanted)
    time.sleep(1)
    marks = json.loads(browser.evaluate("JSON.stringify(window.marks)"))
    spent = json.loads(browser.evaluate("JSON.stringify(window.spent)"))
    report = crowd.communicate(timeout=120)[0]
    print("Tickets on phones: the caller calling at 1 s, %d phones on the loopback (tk-phones), one Chromium "
          "page holding %s tickets" % (phones, held))
    print("  " + first.strip())
    for line in report.strip().splitlines():
        print("  tk-phones: " + line)
    print("  call to its numbers marked on the page's tickets: " + describe(marks))
    print("  the page's marking of its tickets alone: median %.2f ms, max %.2f ms"
          % (statistics.median(spent), max(spent)))

    # 500 claims in one burst from one address (this machine's), on 25 channels of 20: how they
    # are answered, whether any reaches the host's list, and the ticks around them.
    channels = [websocket.create_connection("ws://127.0.0.1:%d/live" % port, timeout=10) for _ in range(25)]
    for channel in channels:
        json.loads(channel.recv())  # the board: the channel is the caller's now
    answers = []
    wait_calls(len(calls()) + 1)
    time.sleep(0.3)  # in the middle of an interval
    before = len(calls())
    sent = time.monotonic()
    for i, channel in enumerate(channels):
        for j in range(20):
            channel.send(json.dumps({"claim": codes[(20 * i + j) % len(codes)], "prize": "full-house"}))
    for channel in channels:
        heard = 0
        while heard < 20:
            message = json.loads(channel.recv())
            if "status" in message:
                answers.append(message["status"])
                heard += 1
    answered = time.monotonic() - sent
    wait_calls(before + 5)
    found = claims_listed()
    listed = found.childCount if found is not None else 0
    made = calls()
    gaps = [b - a for a, b in zip(made[before - 3:before + 5], made[before - 2:before + 5])]
    print("500 claims from one address in one burst: answered %s in %.0f ms; %d on the host's list"
          % (" ".join("%d×%d" % (answers.count(s), s) for s in sorted(set(answers))), answered * 1000, listed))
    print("  intervals between calls around the burst: %s ms" % " ".join("%.0f" % g for g in gaps))
    for c in channels:
        c.close()
finally:
    if browser:
        browser.close()
    program.kill()
