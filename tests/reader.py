#!/usr/bin/python3
"""A screen reader's view of the caller, through AT-SPI: records what the program tells a
reader while the shell script drives it, then checks it.

Usage: reader.py READY-FILE SECONDS. Writes READY-FILE once the program is found, records
for SECONDS, prints the events and exits non-zero with the faults found."""
import re
import sys
import time

import pyatspi
from gi.repository import GLib

from atspitree import app, find

ready_file, seconds = sys.argv[1], float(sys.argv[2])
events = []


def record(event):
    try:
        role = event.source.getRoleName()
        name = event.source.name
    except Exception:
        role, name = "?", "?"
    events.append((event.type, role, name, event.detail1, str(event.any_data)))


deadline = time.monotonic() + 20
while app() is None and time.monotonic() < deadline:
    time.sleep(0.2)
if app() is None:
    sys.exit("FAIL: the program never appeared on the accessibility bus")
pyatspi.Registry.registerEventListener(record, "focus:", "object:state-changed:focused",
                                       "object:state-changed:showing", "object:property-change:accessible-name")
GLib.timeout_add(int(seconds * 1000), pyatspi.Registry.stop)
GLib.timeout_add(300, lambda: open(ready_file, "w").close() and False)
pyatspi.Registry.start()

for e in events:
    print("event:", e)
faults = []
focused_cells = [e for e in events if e[1] == "table cell" and (e[0] == "focus:" or e[3] == 1)]
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
for fault in faults:
    print("FAIL:", fault)
sys.exit(1 if faults else 0)
