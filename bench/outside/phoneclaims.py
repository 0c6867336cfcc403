#!/usr/bin/python3
"""Tickets and claims with a hall of phones: the caller calls at 1 s while PHONES push channels
follow it (tk-phones) and one Chromium page holds three tickets: how long from each call to
its numbers marked on those tickets. Then 100 claims sent in the same instant from 100
channels: how long until the host's list (read through AT-SPI) holds them all, and how late
the ticks around them came.

Usage: phoneclaims.py BUILD-BIN RECORD CODES PHONES CALLS"""
import json
import os
import statistics
import subprocess
import sys
import threading
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

    # 100 claims in the same instant, from 100 channels.
    channels = [websocket.create_connection("ws://127.0.0.1:%d/live" % port, timeout=10) for _ in range(100)]
    go = threading.Barrier(101)
    answers = []

    def claim(channel, code):
        go.wait()
        channel.send(json.dumps({"claim": code, "prize": "Full House"}))
        while True:
            message = json.loads(channel.recv())
            if "status" in message:
                answers.append(message["status"])
                return

    threads = [threading.Thread(target=claim, args=(c, codes[10 + i])) for i, c in enumerate(channels)]
    for t in threads:
        t.start()
    wait_calls(len(calls()) + 1)
    time.sleep(0.3)  # in the middle of an interval
    before = len(calls())
    go.wait()
    sent = time.monotonic()
    listed = None
    while time.monotonic() - sent < 10:
        found = claims_listed()
        if found is not None and found.childCount >= 100:
            listed = time.monotonic() - sent
            break
        time.sleep(0.02)
    for t in threads:
        t.join(timeout=10)
    wait_calls(before + 5)
    made = calls()
    gaps = [b - a for a, b in zip(made[before - 3:before + 5], made[before - 2:before + 5])]
    print("100 claims sent in the same instant: answered %s; all 100 on the host's list after %s"
          % (" ".join("%d×%d" % (answers.count(s), s) for s in sorted(set(answers))),
             "%.0f ms (as polled through AT-SPI)" % (listed * 1000) if listed is not None else "more than 10 s"))
    print("  intervals between calls around the burst: %s ms" % " ".join("%.0f" % g for g in gaps))
    for c in channels:
        c.close()
finally:
    if browser:
        browser.close()
    program.kill()
