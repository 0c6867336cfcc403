#!/usr/bin/python3
"""Tickets on the phone and claims from it, against the running caller (calling at 1 s, shared
with phones, a book of 300 tickets printed here).

Usage: phoneclaims.py RECORD TICKETS ARTIFACTS MAIN-WINDOW
TICKETS: "CODE: row | row | row" for every ticket of the book, as the program rebuilds them."""
import datetime
import json
import os
import subprocess
import sys
import time

import websocket

from browser import Browser
from phonepage import fail, port, wait

record, tickets_file, artifacts, main_window = sys.argv[1:5]

# The golden codes of the ticket generator's own test: numbers top row first.
GOLDEN = {
    "222-2222-2": "20 33 57 62 87 1 35 44 64 74 5 14 39 48 75",
    "222-2228-R": "11 21 55 71 82 19 30 40 56 77 2 27 47 59 69",
    "223-2229-Y": "7 13 20 72 80 14 21 32 73 81 9 23 44 58 60",
    "ZZZ-ZZZZ-N": "5 16 22 51 76 18 23 30 66 77 33 48 55 79 81",
    "872-73FQ-Q": "18 34 46 63 81 19 29 39 56 70 3 49 65 79 89",
}
LINES = ["Top Line", "Middle Line", "Bottom Line"]
KEYS = {"Top Line": "top-line", "Middle Line": "middle-line", "Bottom Line": "bottom-line"}


def calls():
    try:
        return [int(line.split()[2]) for line in open(record) if line.startswith("call ")]
    except FileNotFoundError:
        return []


def call_times():
    """When each call was made, in seconds, from the record's times (UTC, to the millisecond)."""
    stamps = [line.split()[3] for line in open(record) if line.startswith("call ")]
    return [datetime.datetime.strptime(t, "%Y-%m-%dT%H:%M:%S.%fZ").timestamp() for t in stamps]


def order():
    for line in open(record):
        if line.startswith("order "):
            return [int(n) for n in line.split()[1:]]
    return []


def offers(status):
    """What the ticket's status offers to claim: the parts that end "complete: claim now!"."""
    return " ".join(part for part in status.split(" · ") if part.endswith("complete: claim now!"))


tickets = {}
for line in open(tickets_file):
    code, rows = line.split(":", 1)
    tickets[code] = [[int(n) for n in row.split()] for row in rows.split("|")]
books = {code[:3] for code in tickets}
stranger = next(code for code in GOLDEN if code[:3] not in books)


def drawn(browser, code):
    """The ticket as the page draws it: its rows, and its cells lit as called."""
    text = browser.evaluate("""(() => {
      const t = document.querySelector('article.ticket[data-code="%s"]');
      if (!t) return null;
      const rows = [...t.querySelectorAll('tr')].map(r => [...r.cells].map(c => c.textContent).filter(x => x).map(Number));
      const lit = [...t.querySelectorAll('td.lit, td.new')].map(c => Number(c.textContent));
      return JSON.stringify({rows, lit, status: t.querySelector('.status').textContent,
        claims: [...t.querySelectorAll('button.claim')].map(b => b.textContent)});
    })()""" % code)
    return json.loads(text) if text else None


def type_code(browser, code):
    browser.evaluate("document.getElementById('ticketCode').value = ''; document.getElementById('ticketCode').focus()")
    browser.send("Input.insertText", text=code)
    browser.evaluate("document.getElementById('addButton').click()")


def news(browser):
    return browser.evaluate("document.getElementById('ticketNews').textContent")


def claims_waiting():
    """The host's list of claims from phones, read through AT-SPI; None while there is none."""
    out = subprocess.run([sys.executable, "-c", """
import sys
sys.path.insert(0, %r)
from atspitree import app, find
caller = app()
window = next((w for w in caller if w is not None and w.name == "Claims From Phones"), None) if caller else None
found = find(window, "list", "Claims from phones")
if found is None:
    sys.exit(1)
for item in found:
    print(item.name)
""" % os.path.dirname(os.path.abspath(__file__))], capture_output=True, text=True, timeout=30)
    return out.stdout.splitlines() if out.returncode == 0 else None


def keys(window, *names):
    subprocess.run(["xdotool", "windowfocus", "--sync", window, "key", "--delay", "50", *names], check=True)


def window_named(name):
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", name], capture_output=True, text=True)
    return out.stdout.split()[0] if out.stdout.split() else None


def next_line(earliest):
    """The book's line the order completes first at or after call `earliest`: (code, name, call)."""
    at = {n: i + 1 for i, n in enumerate(order())}
    if not at:
        return None
    best = None
    for code, rows in tickets.items():
        for name, row in zip(LINES, rows):
            done = max(at[n] for n in row)
            if done >= earliest and (best is None or done < best[2]):
                best = (code, name, done)
    return best


where = wait(10, "the page is not served on any port from 8090", port)
base = "http://127.0.0.1:%d/" % where
linked = sorted(tickets)[0]
browser = Browser()
try:
    # A ticket's QR code is a link to the page with its code: it opens with the ticket drawn.
    browser.open(base + "#t=" + linked)
    seen = wait(10, "the linked ticket %s was not drawn" % linked, lambda: drawn(browser, linked))
    if seen["rows"] != tickets[linked]:
        fail("ticket %s drawn as %s, printed as %s" % (linked, seen["rows"], tickets[linked]))

    # The page's generator gives the golden tickets, in this browser.
    for code, numbers in GOLDEN.items():
        text = browser.evaluate("JSON.stringify(Tickets.read(%s).cells.flat().filter(n => n))" % json.dumps(code))
        if text is None or json.loads(text) != [int(n) for n in numbers.split()]:
            fail("the page rebuilds golden code %s as %s" % (code, text))
    print("the five golden codes give their tickets in Chromium")

    # Typed: drawn as printed; a mistyped code and a book not printed here are refused.
    typed = sorted(tickets)[150]
    type_code(browser, typed.lower().replace("-", " "))
    seen = wait(5, "the typed ticket %s was not drawn" % typed, lambda: drawn(browser, typed))
    if seen["rows"] != tickets[typed]:
        fail("ticket %s drawn as %s, printed as %s" % (typed, seen["rows"], tickets[typed]))
    type_code(browser, stranger)
    wait(5, "a code of a book not printed here was not refused",
         lambda: news(browser) == "Book %s was not printed by this caller." % stranger[:3])
    type_code(browser, typed[:-1] + ("2" if typed[-1] != "2" else "3"))
    wait(5, "a mistyped code was not refused", lambda: "mistake" in news(browser))
    if drawn(browser, stranger) is not None:
        fail("a ticket of a book not printed here was drawn")

    # Marked as the numbers are called.
    def marked():
        made = calls()
        mine = drawn(browser, typed)
        shown = sorted(mine["lit"])
        expected = sorted(n for row in tickets[typed] for n in row if n in made)
        return shown == expected and calls() == made and made
    made = wait(10, "the typed ticket's called numbers were not marked", marked)
    print("tickets %s (linked) and %s (typed) drawn as printed, marked after %d calls" % (linked, typed, len(made)))

    # The next line of the book to be completed, worked out from the order on record: its ticket
    # goes on the page, and when the call completes it the player taps Claim at once.
    code, line, k = wait(10, "no line of the book is completed later in this game", lambda: next_line(len(calls()) + 8))
    if code not in (typed, linked):
        type_code(browser, code)
        wait(5, "ticket %s was not drawn" % code, lambda: drawn(browser, code))
    button = "article.ticket[data-code=\"%s\"] button.claim[data-prize=\"%s\"]" % (code, KEYS[line])
    wait(k + 30, "the page did not offer to claim %s on %s at call %d" % (line, code, k),
         lambda: browser.evaluate("!!document.querySelector('%s')" % button.replace("'", "\\'")))
    offered = drawn(browser, code)
    if line not in offers(offered["status"]):
        fail("the ticket says %r" % offered["status"])
    browser.screenshot(os.path.join(artifacts, "phones-ticket-complete.png"))
    browser.evaluate("document.querySelector('%s').click()" % button.replace("'", "\\'"))
    wait(10, "the page did not say its claim was sent",
         lambda: "waiting for the host" in drawn(browser, code)["status"])
    print("%s completed %s at call %d; claimed from the page" % (code, line, k))

    # A claim stops the calling, as a shout does in a hall: at most the call that crossed it.
    time.sleep(2.5)
    stopped = len(calls())
    time.sleep(1.5)
    if len(calls()) != stopped or stopped > k + 1:
        fail("the calling went on after the claim at call %d (%d, then %d calls)" % (k, stopped, len(calls())))

    # The host's list has it, with its prize and the call it was made at.
    # Read as a reader hears it: the prize, the code spelt in its groups, the call.
    spelt = ", ".join(" ".join(group) for group in code.split("-"))
    want = "%s, ticket %s, call %d" % (line, spelt, k)
    wait(30, "the host's list did not show %r" % want, lambda: claims_waiting() == [want])
    print("the host's list: %s; the calling stopped after %d calls" % (want, stopped))
    subprocess.run(["import", "-window", window_named("^Claims From Phones$"),
                    os.path.join(artifacts, "phones-claims-window.png")], check=True)
    keys(main_window, "F11")
    hall = wait(10, "the hall display did not open", lambda: window_named("^Hall Display$"))
    time.sleep(1)
    subprocess.run(["import", "-window", "root", os.path.join(artifacts, "hall-display-phone-claim.png")], check=True)
    keys(hall, "Escape")
    wait(10, "the hall display did not close", lambda: window_named("^Hall Display$") is None)

    # Hostile claims from this machine's address, which the page's claim counted already: a
    # book not printed here, a repeat within the call, a flood; none shown.
    phone = websocket.create_connection("ws://127.0.0.1:%d/live" % where, timeout=10)

    def claim(ticket, prize):
        phone.send(json.dumps({"claim": ticket, "prize": prize}))
        while True:
            answer = json.loads(phone.recv())
            if "claim" in answer:
                return answer

    answers = [claim(stranger, KEYS[line])["status"], claim(code, KEYS[line])["status"]]
    answers += [claim(stranger, KEYS[line])["status"] for _ in range(3)]
    if answers != [403, 409, 429, 429, 429]:
        fail("hostile claims were answered %s" % answers)
    phone.close()
    time.sleep(1)
    if claims_waiting() != [want]:
        fail("a refused claim reached the host's list: %s" % claims_waiting())
    print("refused: a book not printed here (403), a repeat within the call (409), a flood (429)")

    # The page's channel drops (sharing off), the host calls on, checks and accepts: the claim
    # is judged as of its call, and the page, back by itself, gets the verdict.
    def toggle_sharing():
        keys(main_window, "alt+g", "h")
        found = wait(10, "Share With Phones did not open", lambda: window_named("^Share With Phones$"))
        keys(found, "space")
        return found

    toggle_sharing()
    wait(10, "the page did not notice sharing was off",
         lambda: browser.evaluate("document.getElementById('link').textContent").startswith("Reconnecting"))
    keys(main_window, "space")
    wait(10, "no call came after the claim", lambda: len(calls()) > stopped)
    keys(main_window, "F9")
    claim_window = wait(10, "Check a Claim did not open", lambda: window_named("^Check a Claim$"))
    after = len(calls())
    verdicts = subprocess.run([sys.executable, os.path.join(os.path.dirname(os.path.abspath(__file__)), "verdicts.py"),
                               "read"], capture_output=True, text=True, timeout=60).stdout.splitlines()
    if line + ": Valid" not in verdicts or not verdicts or not verdicts[0].startswith("Pay: "):
        fail("F9 after call %d did not judge the claim at call %d: %s" % (after, k, verdicts))
    keys(claim_window, "alt+a")
    wait(10, "Accept did not record the prize at the claim's call",
         lambda: any(l.startswith("won %s %d " % (KEYS[line], k)) and l.rstrip().endswith(code)
                     for l in open(record)))
    print("F9 after call %d: %s; accepted, on record at call %d" % (after, verdicts[0], k))
    keys(claim_window, "Escape")
    toggle_sharing()
    wait(10, "sharing did not come back on", port)
    wait(15, "the page did not come back", lambda: browser.evaluate("document.getElementById('link').textContent") == "")
    wait(10, "the verdict did not reach the page that came back (it says %r)" % drawn(browser, code)["status"],
         lambda: "Valid: %s is yours" % line in drawn(browser, code)["status"])
    if line in offers(drawn(browser, code)["status"]):
        fail("a ticket that won %s still offers to claim it: %r" % (line, drawn(browser, code)["status"]))
    wait(10, "the settled claim stayed on the host's list", lambda: not claims_waiting())
    browser.evaluate("document.querySelector('article.ticket[data-code=\"%s\"]').scrollIntoView()" % code)
    browser.screenshot(os.path.join(artifacts, "phones-tickets.png"))
    print("the page came back and says %r" % drawn(browser, code)["status"])

    # A burst of 500 claims from one address, 25 channels of 20, while the calling goes on:
    # none reaches the host's list, and the calls keep their time.
    keys(main_window, "space")
    burst_from = wait(10, "the calling did not go on", lambda: len(calls()) > after + 2 and len(calls()))
    channels = [websocket.create_connection("ws://127.0.0.1:%d/live" % where, timeout=10) for _ in range(25)]
    started = time.monotonic()
    for socket in channels:
        for i in range(20):
            socket.send(json.dumps({"claim": sorted(tickets)[i], "prize": KEYS[line]}))
    answered = {}
    for socket in channels:
        heard = 0
        while heard < 20:
            answer = json.loads(socket.recv())
            if "status" in answer:
                heard += 1
                answered[answer["status"]] = answered.get(answer["status"], 0) + 1
        socket.close()
    spent = time.monotonic() - started
    burst_to = len(calls())
    wait(10, "the calling stopped after the burst", lambda: len(calls()) >= burst_to + 3)
    times = call_times()[burst_from - 1:burst_to + 3]
    gaps = [round((b - a) * 1000) for a, b in zip(times, times[1:])]
    if 202 in answered or sum(answered.values()) != 500:
        fail("the burst was answered %s" % answered)
    if claims_waiting():
        fail("the burst reached the host's list: %s" % claims_waiting())
    if not gaps or min(gaps) < 850 or max(gaps) > 1150:
        fail("calls around the burst came %s ms apart" % gaps)
    print("500 claims from one address answered in %.2f s (%s); calls around it %d to %d ms apart" %
          (spent, ", ".join("%d × %d" % (n, status) for status, n in sorted(answered.items())), min(gaps), max(gaps)))
finally:
    browser.close()
