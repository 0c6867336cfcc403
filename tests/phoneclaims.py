#!/usr/bin/python3
"""Tickets on the phone and claims from it, against the running caller (calling at 1 s, shared
with phones, a book of 300 tickets printed here).

Usage: phoneclaims.py RECORD TICKETS ARTIFACTS MAIN-WINDOW
TICKETS: "CODE: row | row | row" for every ticket of the book, as the program rebuilds them."""
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


def calls():
    try:
        return [int(line.split()[2]) for line in open(record) if line.startswith("call ")]
    except FileNotFoundError:
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


def complete_line(numbers):
    """A ticket's line completed by the last call: (code, line name), or None."""
    last = numbers[-1] if numbers else None
    called = set(numbers)
    for code, rows in tickets.items():
        for name, row in zip(LINES, rows):
            if last in row and all(n in called for n in row):
                return code, name
    return None


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

    # A line completed by the last call: the calling is stopped there (by the host, as in the
    # hall) and the ticket typed in; the page offers Claim.
    found = None
    while found is None:
        made = wait(90, "no line of the book was completed", lambda: complete_line(calls()) and calls())
        keys(main_window, "space")
        time.sleep(1.5)
        if calls() == made:
            found = complete_line(made)
        else:
            keys(main_window, "space")
    code, line = found
    print("%s completed %s at call %d" % (code, line, len(made)))
    if code != typed and code != linked:
        type_code(browser, code)
    offered = wait(10, "the page did not offer to claim %s on %s" % (line, code),
                   lambda: (lambda d: d and "Claim " + line in d["claims"] and d)(drawn(browser, code)))
    # The same call may complete another prize too: "Top Line and Four Corners complete".
    if line not in offers(offered["status"]):
        fail("the ticket says %r" % offered["status"])
    browser.screenshot(os.path.join(artifacts, "phones-ticket-complete.png"))
    browser.evaluate("document.querySelector('article.ticket[data-code=\"%s\"] button.claim').click()" % code)
    wait(10, "the page did not say its claim was sent",
         lambda: "waiting for the host" in drawn(browser, code)["status"])

    # The host's list has it, with its prize and call.
    want = "%s · %s · call %d" % (code, line, len(made))
    wait(30, "the host's list did not show %r" % want, lambda: claims_waiting() == [want])
    print("the host's list: %s" % want)
    subprocess.run(["import", "-window", window_named("^Claims From Phones$"),
                    os.path.join(artifacts, "phones-claims-window.png")], check=True)
    keys(main_window, "F11")
    hall = wait(10, "the hall display did not open", lambda: window_named("^Hall Display$"))
    time.sleep(1)
    subprocess.run(["import", "-window", "root", os.path.join(artifacts, "hall-display-phone-claim.png")], check=True)
    keys(hall, "Escape")
    wait(10, "the hall display did not close", lambda: window_named("^Hall Display$") is None)

    # Hostile claims: a book not printed here, a repeat within the call, a flood; none shown.
    phone = websocket.create_connection("ws://127.0.0.1:%d/live" % where, timeout=10)

    def claim(ticket, prize):
        phone.send(json.dumps({"claim": ticket, "prize": prize}))
        while True:
            answer = json.loads(phone.recv())
            if "claim" in answer:
                return answer

    answers = [claim(stranger, line)["status"], claim(code, line)["status"]]
    answers += [claim(stranger, line)["status"] for _ in range(4)]
    if answers != [403, 409, 403, 429, 429, 429]:
        fail("hostile claims were answered %s" % answers)
    phone.close()
    time.sleep(1)
    if claims_waiting() != [want]:
        fail("a refused claim reached the host's list: %s" % claims_waiting())
    print("refused: a book not printed here (403), a repeat within the call (409), a flood (429)")

    # F9 checks it with the code filled in; Accept sends the verdict back to the page.
    keys(main_window, "F9")
    claim_window = wait(10, "Check a Claim did not open", lambda: window_named("^Check a Claim$"))
    verdicts = subprocess.run([sys.executable, os.path.join(os.path.dirname(os.path.abspath(__file__)), "verdicts.py"),
                               "read"], capture_output=True, text=True, timeout=60).stdout.splitlines()
    if line + ": Valid" not in verdicts:
        fail("F9 did not check the phone's claim: %s" % verdicts)
    keys(claim_window, "alt+a")
    wait(10, "the verdict did not reach the page",
         lambda: "Valid: %s is yours" % line in drawn(browser, code)["status"])
    if line in offers(drawn(browser, code)["status"]):
        fail("a ticket that won %s still offers to claim it: %r" % (line, drawn(browser, code)["status"]))
    wait(10, "the settled claim stayed on the host's list", lambda: claims_waiting() == [])
    browser.evaluate("document.querySelector('article.ticket[data-code=\"%s\"]').scrollIntoView()" % code)
    browser.screenshot(os.path.join(artifacts, "phones-tickets.png"))
    print("F9 checked %s, Accept: the page says %r" % (code, drawn(browser, code)["status"]))
    keys(claim_window, "Escape")
finally:
    browser.close()
