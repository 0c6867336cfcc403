"""Driving the real caller from outside, as a user does: keys, windows, the interval."""
import subprocess
import time


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
