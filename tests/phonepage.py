"""What the phones' tests share: failing with a word, waiting for a condition, finding the
port the caller serves its page on."""
import os
import sys
import time
import urllib.request


def fail(what):
    print("FAIL: " + what, file=sys.stderr)
    sys.exit(1)


def wait(seconds, what, test, step=0.05):
    """test()'s first true value within the given seconds; fails with what otherwise."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = test()
        if value:
            return value
        time.sleep(step)
    fail("%s (after %s s)" % (what, seconds))


def listening(pid):
    """The TCP ports the process listens on, from its open sockets and the kernel's tables."""
    inodes = set()
    try:
        for fd in os.listdir("/proc/%d/fd" % pid):
            try:
                target = os.readlink("/proc/%d/fd/%s" % (pid, fd))
            except OSError:
                continue
            if target.startswith("socket:["):
                inodes.add(target[8:-1])
    except OSError:
        return set()
    ports = set()
    for table in ("/proc/%d/net/tcp" % pid, "/proc/%d/net/tcp6" % pid):
        try:
            with open(table) as lines:
                next(lines)
                for line in lines:
                    fields = line.split()
                    if fields[3] == "0A" and fields[9] in inodes:  # 0A: listening
                        ports.add(int(fields[1].rsplit(":", 1)[1], 16))
        except OSError:
            pass
    return ports


def port(pid=None):
    """The port on 8090 to 8099 serving the game's snapshot, or None. Only the given caller's
    (TK_PROGRAM_PID by default), so another caller on this machine is never taken for it."""
    pid = pid or int(os.environ.get("TK_PROGRAM_PID", "0"))
    candidates = sorted(p for p in listening(pid) if 8090 <= p < 8100) if pid else range(8090, 8100)
    for p in candidates:
        try:
            if b'"calls"' in urllib.request.urlopen("http://127.0.0.1:%d/snapshot" % p, timeout=2).read():
                return p
        except OSError:
            pass
    return None
