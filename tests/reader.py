#!/usr/bin/python3
"""A screen reader's view of the caller, through AT-SPI: records what the program tells a
reader while the shell script drives it, then checks it.

Usage: reader.py READY-FILE SECONDS MODE [ARGUMENTS]. Writes READY-FILE once the program is
found, records for SECONDS, prints the events and exits non-zero with the faults found.
MODE "game": the calls and the host's changes with the sound off. MODE "resume" YES-FILE
CALLS LAST: Yes to resuming (its time in YES-FILE) is heard as one line. MODE "behind":
Calls So Far opened, then left behind the main window while numbers are called. MODE "claim"
ENTER-FILE: a late ticket typed in Check a Claim (Enter at the time in ENTER-FILE) is heard
deciding verdict first, in few words. MODE "front": Calls So Far in front while numbers are
called. MODE "phoneclaim" KEY-FILE: a claim from a phone, then a key at the time in KEY-FILE.
MODE "checked" F10-FILE F9-FILE ACCEPT-FILE: the claims' list brought forward, the claim
checked and accepted. MODE "book" STRIPS FILE: a book printed from Print Tickets."""
import re
import sys
import time

import pyatspi
from gi.repository import GLib

from atspitree import app, find

ready_file, seconds, mode = sys.argv[1], float(sys.argv[2]), sys.argv[3]
events = []


def record(event):
    try:
        role = event.source.getRoleName()
        name = event.source.name
    except Exception:
        role, name = "?", "?"
    events.append((event.type, role, name, event.detail1, str(event.any_data), time.time()))


deadline = time.monotonic() + 20
while app() is None and time.monotonic() < deadline:
    time.sleep(0.2)
if app() is None:
    sys.exit("FAIL: the program never appeared on the accessibility bus")
pyatspi.Registry.registerEventListener(record, "focus:", "object:state-changed:focused",
                                       "object:state-changed:showing", "object:state-changed:selected",
                                       "object:property-change:accessible-name",
                                       "object:property-change:accessible-value")
GLib.timeout_add(int(seconds * 1000), pyatspi.Registry.stop)
# The program learns of new listeners from the registry a moment later (later still in a
# sanitizer build); the script acts once they have surely reached it.
GLib.timeout_add(1000, lambda: open(ready_file, "w").close() and False)
pyatspi.Registry.start()


def heard(since=0.0):
    """What a reader speaks, in order, as (time, role, text): each notification as it is
    shown, each object that takes the focus, each list line or cell that becomes selected."""
    spoken = []
    for kind, role, name, detail, _, at in events:
        if at < since or detail != 1:
            continue
        if kind == "object:state-changed:showing" and role == "notification":
            spoken.append((at, role, name))
        elif kind in ("object:state-changed:focused", "object:state-changed:selected"):
            spoken.append((at, role, name))
    return spoken


for e in events:
    print("event:", e)
faults = []


def finish():
    for fault in faults:
        print("FAIL:", fault)
    sys.exit(1 if faults else 0)


if mode == "resume":
    # Yes brings the game back in one line, within two seconds; the board's refill and its
    # marks tell the reader nothing (it once heard of every cell, and fell a minute behind).
    yes_at = float(open(sys.argv[4]).read())
    line = "Game resumed, %s numbers called, the last was %s" % (sys.argv[5], sys.argv[6])
    after = heard(yes_at)
    said = [(at - yes_at, text) for at, role, text in after if role == "notification"]
    print("heard after Yes:", ["%s (%.2f s)" % (text, at) for at, text in said])
    if [text for _, text in said] != [line]:
        faults.append("after Yes the reader was told %s, not the one line %r" % ([t for _, t in said], line))
    elif said[0][0] > 2:
        faults.append("the resumed game was told %.1f s after Yes" % said[0][0])
    cells = [e for e in events if e[1] == "table cell" and e[5] >= yes_at]
    if len(cells) > 5:
        faults.append("the board told the reader of %d cells after Yes" % len(cells))
    extra = [(role, text) for _, role, text in after if role not in ("notification", "push button", "frame")]
    if extra:
        faults.append("besides the line the reader was given %s" % extra)
    finish()

def verdict_first(said, expected):
    """The answer to "do I pay?" is the first thing heard, within two seconds, in a dozen
    plain words at most, and once."""
    at, first = said[0]
    if not re.fullmatch(expected, first):
        faults.append("the verdict was not heard first: %r" % first)
    if len(first.split()) > 12 or re.search(r"[():]", first):
        faults.append("the verdict is not in a dozen plain words (%d words): %r" % (len(first.split()), first))
    if at > 2:
        faults.append("the verdict was told %.1f s after the key" % at)
    if [text for _, text in said].count(first) > 1:
        faults.append("the verdict was told more than once: %s" % said)


if mode == "claim":
    # The verdict that decides the claim comes first, and the whole is short: at a reader's
    # pace of about three words a second, ten seconds are thirty words.
    enter_at = float(open(sys.argv[4]).read())
    said = [(at - enter_at, text) for at, role, text in heard(enter_at) if role == "notification"]
    print("heard after Enter:", ["%s (%.2f s)" % (text, at) for at, text in said])
    if not said:
        faults.append("the verdicts were not heard")
        finish()
    verdict_first(said, r"Do not pay, Early Five late since call \d+\.")
    finish()

if mode == "behind":
    # Opened, the list says its newest line ("84, call 20") once the window is up (a line told
    # before the window was shown was lost, and the reader said only the list's size); behind the main
    # window it follows the calls in silence, so each number is heard once, from the news,
    # and nothing else.
    shown = [e[5] for e in events if e[0] == "object:state-changed:showing" and e[1] == "dialog"
             and e[2] == "Calls So Far" and e[3] == 1]
    lines = [text for at, role, text in heard(shown[0] if shown else time.time()) if role == "list item"]
    if not lines or not re.fullmatch(r"\d+, call \d+", lines[0]):
        faults.append("Calls So Far did not say its current line once it was shown: %s" % lines[:3])
    spoken = heard()
    try:
        start = next(i for i, (_, role, text) in enumerate(spoken) if text == "Calling")
        stop = next(i for i, (_, role, text) in enumerate(spoken) if text.startswith("Stopped after"))
    except StopIteration:
        faults.append("Start and Stop were not both told: %s" % [t for _, _, t in spoken])
        finish()
    # The resume line a key cut short may be said again among them.
    during = [text for _, role, text in spoken[start + 1:stop] if not text.startswith("Game resumed")]
    print("heard while calling:", during)
    numbers = [text for text in during if text.isdigit()]
    if len(numbers) < 5 or len(set(numbers)) != len(numbers) or len(numbers) != len(during):
        faults.append("the calls were not heard once each and alone: %s" % during)
    if not numbers or spoken[stop][2] != "Stopped after " + numbers[-1]:
        faults.append("%r does not name the last number heard" % spoken[stop][2])
    finish()

if mode == "front":
    # In front, the list's moving line says each call as "71, call 36", without its time, and
    # the news does not say it a second time. With the program's own voice on, the line stays
    # where it was until the host's key moves it to the newest call.
    said = []
    for kind, role, name, detail, _, at in events:
        if detail != 1:
            continue
        if kind == "object:state-changed:focused" and role == "list item":
            said.append((at, "line", name))
        elif kind == "object:state-changed:showing" and role == "notification":
            said.append((at, "news", name))
    try:
        voice_on = next(at for at, kind, name in said if name == "Sound on")
        voice_off = next(at for at, kind, name in said if name == "Sound off" and at > voice_on)
    except StopIteration:
        faults.append("the sound was not switched on and off: %s" % [name for _, _, name in said])
        finish()
    # A reader says an object that is given the focus again, with nothing between, once
    # (the window's activation and the list's own focus both name the current line).
    lines = [(at, name) for i, (at, kind, name) in enumerate(said) if kind == "line" and at < voice_on
             and not (i and said[i - 1][1:] == ("line", name))]
    print("heard with Calls So Far in front:", [name for _, name in lines])
    calls = [re.fullmatch(r"(\d+), call (\d+)", name) for _, name in lines]
    if len(lines) < 11 or not all(calls):
        faults.append("ten calls were not said as their lines: %s" % [name for _, name in lines])
    else:
        positions = [int(c.group(2)) for c in calls]
        if positions != list(range(positions[0], positions[0] + len(positions))):
            faults.append("a call was said twice or missed: %s" % [name for _, name in lines])
        numbers = {c.group(1) for c in calls}
        twice = [name for at, kind, name in said if kind == "news" and name in numbers and at > lines[0][0]]
        if twice:
            faults.append("calls said by the list were told again as news: %s" % twice)
        voiced = [name for at, kind, name in said if kind == "line" and voice_on < at < voice_off]
        print("with the program's voice on:", voiced)
        # Three calls at least were made with the voice on; the key went to the newest.
        moved = [re.fullmatch(r"\d+, call (\d+)", name) for name in voiced]
        if len(voiced) != 1 or not moved[0] or int(moved[0].group(1)) < positions[-1] + 3:
            faults.append("with the voice on the list spoke %s, not only the newest call at the key" % voiced)
    finish()

if mode == "phoneclaim":
    # The claim is said at once; a key pressed before a reader could have said it is followed
    # by its own words, then by the claim again.
    key_at = float(open(sys.argv[4]).read())
    said = [(at, text) for at, role, text in heard() if role == "notification"]
    claims = [at for at, text in said if text.startswith("Claim from a phone for ")]
    print("heard:", ["%s (%+.2f s)" % (text, at - key_at) for at, text in said])
    before = [at for at in claims if at < key_at]
    after = [at for at in claims if at > key_at]
    if not before:
        faults.append("the claim was not told before the key")
    elif not after:
        faults.append("the claim was not told again after the key")
    else:
        listed = [text for at, role, text in heard() if role == "list item"]
        if listed:
            faults.append("the claims' list took the reader from the main window: %s" % listed)
        own = [at for at, text in said if key_at < at < after[0] and not text.startswith("Claim")]
        if not own:
            faults.append("the claim was told again before the key's own words")
        if after[0] - key_at > 3:
            faults.append("the claim was told again %.1f s after the key" % (after[0] - key_at))
        if len(after) > 1:
            faults.append("the claim was told again %d times after one key" % len(after))
    finish()

if mode == "checked":
    # F10 brings the claims' list forward on the newest claim, which is read with its code
    # spelt; F9 checks it, the answer first; Accept is heard once.
    f10_at, f9_at, accept_at = (float(open(name).read()) for name in sys.argv[4:7])
    lines = [(at - f10_at, text) for at, role, text in heard(f10_at) if role == "list item" and at < f9_at]
    print("heard after F10:", lines)
    line = r"Early Five, ticket [2-9A-Z] [2-9A-Z] [2-9A-Z], [2-9A-Z] [2-9A-Z] [2-9A-Z] [2-9A-Z], [2-9A-Z], call \d+"
    if not lines or not re.fullmatch(line, lines[0][1]) or lines[0][0] > 2:
        faults.append("F10 did not read the newest claim: %s" % lines)
    said = [(at - f9_at, text) for at, role, text in heard(f9_at) if role == "notification" and at < accept_at]
    print("heard after F9:", ["%s (%.2f s)" % (text, at) for at, text in said])
    if not said:
        faults.append("no verdict was heard after F9")
    else:
        verdict_first(said, r"Pay Early Five\.")
    accepted = [text for at, role, text in heard(accept_at) if role == "notification" and text.startswith("Accepted")]
    print("heard after Accept:", accepted)
    if len(accepted) != 1 or not re.fullmatch(r"Accepted Early Five for ticket [2-9A-Z ,]+\.", accepted[0]):
        faults.append("Accept was not heard once with the ticket spelt: %s" % accepted)
    finish()

if mode == "book":
    # A long book: "Printing N strips" at most once, "Saved N strips to FILE" once, and the
    # bar's progress in a few changes, not one every strip or two.
    strips, file = sys.argv[4], sys.argv[5]
    said = [text for at, role, text in heard() if role == "notification"]
    print("heard:", said)
    saved = "Saved %s strips to %s" % (strips, file)
    if said.count(saved) != 1:
        faults.append("%r was not heard once: %s" % (saved, said))
    if said.count("Printing %s strips" % strips) > 1:
        faults.append("the start was told more than once: %s" % said)
    # At most twice a second, the first at once (a sanitizer's build takes ten seconds).
    moves = [e[5] for e in events if e[0].endswith("accessible-value") and e[1] == "progress bar"]
    span = moves[-1] - moves[0] if moves else 0
    print("the bar moved %d times in %.1f s" % (len(moves), span))
    if len(moves) > span / 0.5 + 2:
        faults.append("the progress bar sent a reader %d changes in %.1f s" % (len(moves), span))
    finish()

focused_cells = [e for e in events if e[1] == "table cell" and (e[0] == "focus:" or (e[0].endswith("focused") and e[3] == 1))]
if focused_cells:
    faults.append("a board cell took the reader's focus: %s" % (focused_cells[0],))
if not any(e[0].endswith("accessible-name") and e[1] == "push button" and e[2] == "Stop" for e in events):
    faults.append("the button was never named Stop")
# A reader speaks a notification when it is shown: each call once as its number alone, and
# the host's changes in words, in the order they happened.
said = [e[2] for e in events if e[0] == "object:state-changed:showing" and e[1] == "notification" and e[3] == 1]
numbers = [int(name) for name in said if name.isdigit()]
words = [re.sub(r"^Stopped after \d+$", "Stopped", name) for name in said if not name.isdigit()]
# Stop says the number the game stopped on: the last number told before it.
for i, name in enumerate(said):
    stopped = re.fullmatch(r"Stopped after (\d+)", name)
    if stopped:
        before = [n for n in said[:i] if n.isdigit()]
        if not before or before[-1] != stopped.group(1):
            faults.append("%r does not name the last number told (%s)" % (name, before[-1:] or "none"))
if len(numbers) < 3 or len(set(numbers)) != len(numbers):
    faults.append("the calls did not reach the reader once each: %s" % said)
if words != ["Calling", "Stopped", "Calling", "Stopped", "Sound on", "Sound off"] or said[0] != "Calling" or next(i for i, n in enumerate(said) if n.startswith("Stopped")) < 3:
    faults.append("the host's changes were not told in order: %s" % said)
table = find(app(), "table")
if table is None:
    faults.append("no board table")
else:
    cells = table.queryTable()
    for n in numbers:
        name = cells.getAccessibleAt((n - 1) // 10, (n - 1) % 10).name
        if name != "%d, called" % n:
            faults.append("the cell of %d says %r" % (n, name))
    uncalled = next(n for n in range(1, 91) if n not in numbers)
    name = cells.getAccessibleAt((uncalled - 1) // 10, (uncalled - 1) % 10).name
    if name != str(uncalled):
        faults.append("the uncalled cell of %d says %r" % (uncalled, name))
    if cells.getAccessibleAt(9, 0).name:
        faults.append("the empty tenth row is read as %r" % cells.getAccessibleAt(9, 0).name)
about = find(app(), "dialog", "About Tabro-Kalvor")
if about is None:
    faults.append("the About window is not a dialog named by its caption")
else:
    link = find(about, "link")
    actions = link.queryAction() if link is not None else None
    if actions is None or "Press" not in [actions.getName(i) for i in range(actions.nActions)]:
        faults.append("the contact line is not a link that can be pressed")
    elif link.name != "caller@tabro-kalvor.example":
        faults.append("the contact link is named %r" % link.name)
mute = find(app(), "check menu item", "Mute Sound") or find(app(), "menu item", "Mute Sound")
# Qt 6.4 shows a menu item's check mark to readers, though not that it could have one.
if mute is None or not mute.getState().contains(pyatspi.STATE_CHECKED):
    faults.append("Mute Sound, switched on, does not say it is checked")
print("told to the reader:", said)
finish()
