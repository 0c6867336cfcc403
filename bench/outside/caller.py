"""Driving the real caller from outside, as a user does: keys, windows, the interval."""
import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests"))
from phonepage import port as phones_port  # noqa: E402


def keys(*names):
    subprocess.run(["xdotool", "key", "--delay", "60"] + list(names), check=True)


def window(title, seconds=10):
    """The id of the shown window whose title matches, or None after the given seconds."""
    for _ in range(seconds * 10):
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", title], capture_output=True, text=True)
        if found.stdout.strip():
            return found.stdout.split()[0]
        time.sleep(0.1)
    return None


def main_window():
    """The caller's main window, focused."""
    main = window("^The Tabro-Kalvor$")
    if main is None:
        raise SystemExit("the caller's window never appeared")
    subprocess.run(["xdotool", "windowfocus", "--sync", main], check=True)
    return main


def one_second(main):
    """Sets the interval to one second through Set Time, as the host does."""
    keys("F2")
    settime = window("^Setting The Time Interval$")
    keys("Left")
    subprocess.run(["xdotool", "mousemove", "--window", settime, "104", "92", "click", "1"], check=True)
    time.sleep(0.5)
    subprocess.run(["xdotool", "windowfocus", "--sync", main], check=True)


def calls(record):
    """The times of the calls on record so far, in milliseconds since 1970."""
    out = []
    try:
        for line in open(record):
            if line.startswith("call "):
                stamp = line.split()[3]
                t = time.strptime(stamp[:19], "%Y-%m-%dT%H:%M:%S")
                out.append((time.mktime(t) - time.timezone) * 1000 + int(stamp[20:23]))
    except FileNotFoundError:
        pass
    return out


def wait_calls(record, n):
    while len(calls(record)) < n:
        time.sleep(0.05)


def describe(values):
    values = sorted(values)
    p99 = values[min(len(values) - 1, round(0.99 * (len(values) - 1)))]
    return "median %.1f ms, 99th %.1f ms, max %.1f ms (%d)" % (statistics.median(values), p99, values[-1], len(values))


def share_with_phones(main, seconds=10):
    """Shares the game with phones, sets one second and starts calling, as the host does;
    returns the port the phones' page is served on."""
    keys("alt+g", "h")
    share = window("^Share With Phones$")
    subprocess.run(["xdotool", "windowfocus", "--sync", share, "key", "space"], check=True)
    subprocess.run(["xdotool", "windowfocus", "--sync", main], check=True)
    one_second(main)
    keys("space")
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = phones_port()
        if found:
            return found
        time.sleep(0.2)
    raise SystemExit("the phones' page was never served on 8090 to 8099")
