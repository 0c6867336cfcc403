#!/usr/bin/python3
"""The caller sharing beyond the hall: calls at the 1-second interval through Mosquitto on the
loopback, configured as shipped (relay.sh), first with no player, then with each number of players given
(tk-relayclients, MQTT over WebSocket). Prints how late each tick came against its schedule,
the time from each call to each player, each player's first board after the broker answered,
and the caller's memory and CPU time per call with each crowd.

Usage: relay.py BUILD-BIN STATE-HOME WORK CALLS BROKER-CONF CALLER-PORT PLAYERS-PORT PLAYERS...
PLAYERS: a number, or NxL: N players split over L leaf brokers bridged from the caller's, as a
broker tree spreads a crowd over several processes (or machines)."""
import base64
import os
import resource
import socket
import subprocess
import sys
import time

from caller import calls as calls_on, describe, keys, main_window, one_second, window

folder, state_home, work, calls_wanted = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
conf, caller_port, players_port = sys.argv[5], int(sys.argv[6]), int(sys.argv[7])
crowds = [n for arg in sys.argv[8:] for n in arg.split()]
state = os.path.join(state_home, "tabro-kalvor")
record = os.path.join(state, "game.txt")
ticks_per_second = os.sysconf("SC_CLK_TCK")


def free_port():
    """A port nobody listens on now."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


# The broker as shipped (its configuration and ACL), on the ports relay.sh gave it; the caller
# has the password, the players none.
os.makedirs(state, exist_ok=True)
with open(os.path.join(state, "relay.conf"), "w") as out:
    out.write("tabro-kalvor relay 1\nhost 127.0.0.1\nport %d\ntls 0\nuser caller\npassword secret\n"
              "players ws://127.0.0.1:%d\nend\n" % (caller_port, players_port))


def more_files():
    """Every descriptor the machine lets a process have: 10,000 players are 10,000 sockets."""
    hard = resource.getrlimit(resource.RLIMIT_NOFILE)[1]
    resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))


broker = subprocess.Popen(["/usr/sbin/mosquitto", "-c", conf], stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL, preexec_fn=more_files)
program = subprocess.Popen([os.path.join(folder, "tabro-kalvor")], stderr=subprocess.DEVNULL)


def calls():
    return calls_on(record)


def wait_calls(n):
    while len(calls()) < n:
        time.sleep(0.05)


def rss_mb(pid):
    for line in open("/proc/%d/status" % pid):
        if line.startswith("VmRSS:"):
            return int(line.split()[1]) / 1024


def cpu_seconds(pid):
    fields = open("/proc/%d/stat" % pid).read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / ticks_per_second


def lateness(times):
    return [t - (times[0] + 1000 * k) for k, t in enumerate(times)]


def measure(clients=None):
    start = len(calls())
    memory = rss_mb(program.pid)
    cpu0, broker0 = cpu_seconds(program.pid), cpu_seconds(broker.pid)
    load0 = cpu_seconds(clients.pid) if clients else 0
    wait_calls(start + calls_wanted)
    cpu = (cpu_seconds(program.pid) - cpu0) / calls_wanted
    broker_cpu = (cpu_seconds(broker.pid) - broker0) / calls_wanted
    load_cpu = (cpu_seconds(clients.pid) - load0) / calls_wanted if clients else 0
    return lateness(calls()[start:start + calls_wanted]), memory, cpu, broker_cpu, load_cpu


try:
    main = main_window()
    keys("alt+g", "b")
    relay = window("^Share Beyond the Hall$")
    subprocess.run(["xdotool", "windowfocus", "--sync", relay, "key", "space"], check=True)
    subprocess.run(["xdotool", "windowfocus", "--sync", main], check=True)
    one_second(main)
    keys("space")
    wait_calls(2)
    seed = base64.b64decode(open(os.path.join(state, "relay.key")).read().split("\n")[1])
    import nacl.signing
    topic = "tabro-kalvor/" + base64.urlsafe_b64encode(
        bytes(nacl.signing.SigningKey(seed).verify_key)).decode().rstrip("=")
    load = os.popen("cat /proc/loadavg").read().split()[:3]
    print("Players anywhere: the caller calling at 1 s through Mosquitto on the loopback, %d calls each"
          % calls_wanted)
    late, memory, cpu, broker_cpu, _ = measure()
    print("  no player: tick lateness " + describe(late))
    print("    the caller: %.1f MB resident, %.2f ms CPU a call; the broker %.2f ms a call"
          % (memory, cpu * 1000, broker_cpu * 1000))
    for crowd in crowds:
        players, leaves = (int(x) for x in (crowd.split("x") + ["1"])[:2])
        extra = []
        ports = [players_port]
        if leaves > 1:
            # Leaf brokers, each bridging the game in from the caller's broker.
            ports = []
            for leaf in range(leaves):
                port = free_port()
                leaf_conf = os.path.join(work, "leaf%d.conf" % leaf)
                with open(leaf_conf, "w") as out:
                    # Mosquitto 2.0.11 starts only with an MQTT listener among its listeners.
                    out.write("listener %d 127.0.0.1\nlistener %d 127.0.0.1\nprotocol websockets\n"
                              "allow_anonymous true\npersistence false\n"
                              "max_queued_messages 10\nallow_duplicate_messages true\n%s"
                              "connection leaf%d\naddress 127.0.0.1:%d\nremote_username caller\n"
                              "remote_password secret\ntopic tabro-kalvor/# in 0\n"
                              % (free_port(), port, "user root\n" if os.geteuid() == 0 else "", leaf, caller_port))
                extra.append(subprocess.Popen(["/usr/sbin/mosquitto", "-c", leaf_conf], stdout=subprocess.DEVNULL,
                                              stderr=subprocess.DEVNULL, preexec_fn=more_files))
                ports.append(port)
            time.sleep(2)
        # The calling rests while the crowd arrives, so that every crowd has its calls in one game.
        keys("space")
        loads = [subprocess.Popen([os.path.join(folder, "tk-relayclients"), str(port), topic, str(players // leaves),
                                   str(calls_wanted + 2)], stdout=subprocess.PIPE, text=True, preexec_fn=more_files)
                 for port in ports]
        firsts = [load.stdout.readline().strip() for load in loads]
        keys("space")
        wait_calls(len(calls()) + 1)
        start = len(calls())
        memory = rss_mb(program.pid)
        watched = [program.pid, broker.pid] + [b.pid for b in extra] + [load.pid for load in loads]
        cpu0 = [cpu_seconds(pid) for pid in watched]
        wait_calls(start + calls_wanted)
        cpu = [(cpu_seconds(pid) - c) / calls_wanted * 1000 for pid, c in zip(watched, cpu0)]
        late = lateness(calls()[start:start + calls_wanted])
        reports = [load.communicate(timeout=600)[0] for load in loads]
        where = "one broker" if leaves == 1 else "%d leaf brokers bridged from the caller's" % leaves
        print("  %d players on %s (%s): tick lateness %s" % (players, where, "; ".join(firsts), describe(late)))
        print("    the caller: %.1f MB resident, %.2f ms CPU a call; the brokers %s ms a call; the players' clients %s ms"
              % (memory, cpu[0], " + ".join("%.1f" % c for c in cpu[1:2 + len(extra)]),
                 " + ".join("%.1f" % c for c in cpu[2 + len(extra):])))
        for report in reports:
            for line in report.strip().splitlines():
                print("    " + line)
        for leaf in extra:
            leaf.kill()
    print("  load average at the start: %s" % " ".join(load))
finally:
    program.kill()
    broker.kill()
