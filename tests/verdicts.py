#!/usr/bin/python3
"""Halves of the claim test. "read": the verdicts the running caller shows in its Check a
Claim window, read through AT-SPI as a screen reader reads them, one a line. "expect
RECORD ROWS": the verdicts worked out here, independently of the program, from the calls
in its game record and a ticket's rows ("1 12 23 34 45 | 2 50 ..."), for the tambola set,
in the order a host reads them (whether to pay, then valid, late, not complete). "button NAME": whether the
window shows a button of that name."""
import sys
import time


def read():
    from atspitree import app, find

    # Only the claim window's own tree is searched: walking the whole program (the board's
    # hundred cells among it) costs a bus round trip a node, seconds on a busy machine.
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        caller = app()
        window = next((w for w in caller if w is not None and w.name == "Check a Claim"), None) if caller else None
        verdicts = find(window, "list", "Verdicts")
        if verdicts is not None and verdicts.childCount > 0:
            for item in verdicts:
                print(item.name)
            return 0
        time.sleep(0.2)
    seen = "no caller" if caller is None else "no claim window" if window is None else "no verdict list" if verdicts is None else "an empty verdict list"
    sys.exit(f"FAIL: no verdicts on the accessibility bus ({seen})")


def button(name):
    import pyatspi
    from atspitree import app, find

    caller = app()
    window = next((w for w in caller if w is not None and w.name == "Check a Claim"), None) if caller else None
    found = find(window, "push button", name)
    return 0 if found is not None and found.getState().contains(pyatspi.STATE_SHOWING) else 1


def expect(record, rows_text):
    calls = [int(line.split()[2]) for line in open(record) if line.startswith("call ")]
    at = {n: i + 1 for i, n in enumerate(calls)}
    last = len(calls)
    rows = [[int(n) for n in row.split()] for row in rows_text.split("|")]
    numbers = [n for row in rows for n in row]

    def verdict(name, needed, count=None):
        called = sorted(at[n] for n in needed if n in at)
        count = count or len(needed)
        if len(called) < count:
            if count != len(needed):
                return f"{name}: Not complete, {count - len(called)} more of its numbers to come"
            return f"{name}: Not complete, missing " + ", ".join(str(n) for n in needed if n not in at)
        done = called[count - 1]
        if done == last:
            return f"{name}: Valid"
        return f"{name}: Late, complete since call {done} (number {calls[done - 1]})"

    lines = [verdict("Early Five", numbers, 5)]
    for name, row in zip(["Top Line", "Middle Line", "Bottom Line"], rows):
        lines.append(verdict(name, row))
    lines.append(verdict("Four Corners", [rows[0][0], rows[0][-1], rows[2][0], rows[2][-1]]))
    lines.append(verdict("Full House", numbers))
    rank = {"Valid": 0, "Late": 1, "Not complete": 2}
    lines = sorted(lines, key=lambda text: rank[text.split(": ", 1)[1].split(",")[0]])

    def names(of):
        return of[0] if len(of) == 1 else ", ".join(of[:-1]) + " and " + of[-1]

    # The first line answers "do I pay?".
    valid = [line.split(": ")[0] for line in lines if line.endswith(": Valid")]
    late = [line.split(": ")[0] for line in lines if ": Late," in line]
    if valid:
        print("Pay: %s (valid)" % names(valid))
    elif late:
        print("Nothing to pay: %s late" % names(late))
    else:
        print("Nothing to pay: nothing is complete")
    for line in lines:
        print(line)


if sys.argv[1] == "read":
    sys.exit(read())
if sys.argv[1] == "button":
    sys.exit(button(sys.argv[2]))
expect(sys.argv[2], sys.argv[3])
