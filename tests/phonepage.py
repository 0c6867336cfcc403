"""What the phones' tests share: failing with a word, waiting for a condition, finding the
port the caller serves its page on."""
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


def port():
    """The port on 8090 to 8099 serving the game's snapshot, or None."""
    for p in range(8090, 8100):
        try:
            if b'"calls"' in urllib.request.urlopen("http://127.0.0.1:%d/snapshot" % p, timeout=2).read():
                return p
        except OSError:
            pass
    return None
