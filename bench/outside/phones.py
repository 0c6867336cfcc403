#!/usr/bin/python3
"""The caller with a hall's worth of phones: calls at the 1-second interval, first with no
phone, then with PHONES push channels open (tk-phones). Prints how late each tick came
against its schedule in both, the time from each call to each phone, the program's memory
without and with the phones, and its CPU time per call in both.

Then, with HOSTILE channels (2,000 if not given) that never read what they are sent, each
sending pings as fast as it can until it is cut, the program's memory before and after.

Usage: phones.py BUILD-BIN RECORD PHONES CALLS [HOSTILE]"""
import os
import resource
import socket
import subprocess
import sys
import time

from caller import calls as calls_on, describe, main_window, share_with_phones, wait_calls as wait_on

folder, record, phones, calls_wanted = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
hostile = int(sys.argv[5]) if len(sys.argv) > 5 else 2000
program = subprocess.Popen([os.path.join(folder, "tabro-kalvor")], stderr=subprocess.DEVNULL)
os.environ["TK_PROGRAM_PID"] = str(program.pid)  # its port, not another caller's
ticks_per_second = os.sysconf("SC_CLK_TCK")


def calls():
    return calls_on(record)


def wait_calls(n):
    wait_on(record, n)


def rss_mb():
    for line in open("/proc/%d/status" % program.pid):
        if line.startswith("VmRSS:"):
            return int(line.split()[1]) / 1024


def cpu_seconds():
    fields = open("/proc/%d/stat" % program.pid).read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / ticks_per_second


def lateness(times):
    """Each tick against the schedule of the first: first + k x 1000 ms."""
    return [t - (times[0] + 1000 * k) for k, t in enumerate(times)]


try:
    main = main_window()
    port = share_with_phones(main)
    wait_calls(2)
    # No phone.
    start = len(calls())
    memory_alone = rss_mb()
    cpu0 = cpu_seconds()
    wait_calls(start + calls_wanted)
    cpu_alone = (cpu_seconds() - cpu0) / calls_wanted
    alone = lateness(calls()[start:start + calls_wanted])
    # A hall's worth of phones.
    clients = subprocess.Popen([os.path.join(folder, "tk-phones"), str(port), str(phones), str(calls_wanted)],
                               stdout=subprocess.PIPE, text=True)
    first = clients.stdout.readline()
    start = len(calls())
    time.sleep(0.3)
    memory_with = rss_mb()
    cpu0 = cpu_seconds()
    wait_calls(start + calls_wanted)
    cpu_with = (cpu_seconds() - cpu0) / calls_wanted
    crowded = lateness(calls()[start:start + calls_wanted])
    report = clients.communicate(timeout=120)[0]
    print("Phones: the caller calling at 1 s, %d calls with no phone, then %d with %d phones on the loopback"
          % (calls_wanted, calls_wanted, phones))
    print("  tick lateness, no phone:    " + describe(alone))
    print("  tick lateness, %d phones: " % phones + describe(crowded))
    print("  " + first.strip())
    for line in report.strip().splitlines():
        print("  " + line)
    print("  resident memory: %.1f MB alone, %.1f MB with %d phones: %.1f kB a phone"
          % (memory_alone, memory_with, phones, (memory_with - memory_alone) * 1024 / phones))
    print("  CPU time per call (the whole program): %.2f ms alone, %.2f ms with %d phones"
          % (cpu_alone * 1000, cpu_with * 1000, phones))

    # Hostile channels: each opens the push channel, never reads, and sends masked pings
    # as fast as the network takes them until the caller cuts it.
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))
    time.sleep(2)
    before = rss_mb()
    hello = ("GET /live HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
             "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n" % port).encode()
    ping = b"\x89\x81\x01\x02\x03\x04" + bytes([ord("x") ^ 1])
    channels = []
    for _ in range(hostile):
        s = socket.socket()
        s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        s.connect(("127.0.0.1", port))
        s.sendall(hello)
        s.setblocking(False)
        channels.append(s)
    time.sleep(3)  # every handshake answered, the answers left unread
    opened = rss_mb()
    flood = ping * 2000
    peak = opened
    cut = 0
    deadline = time.monotonic() + 20
    while channels and time.monotonic() < deadline:
        for s in list(channels):
            try:
                s.send(flood)
            except BlockingIOError:
                pass
            except OSError:
                channels.remove(s)
                s.close()
                cut += 1
        peak = max(peak, rss_mb())
    for s in channels:
        s.close()
    print("  %d hostile channels that never read: %.1f MB before, %.1f MB with them open, %.1f MB at most while "
          "they flooded pings; %d cut within 20 s" % (hostile, before, opened, peak, cut))
finally:
    program.kill()
