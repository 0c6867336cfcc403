#!/usr/bin/env bash
# Runs relay.py on a private display, bus and sound server: the real caller sharing the game
# beyond the hall through Debian's Mosquitto, configured as shipped, on the loopback, with 0,
# 1,000, 5,000 and 10,000 players.
# Usage: relay.sh BUILD-BIN-FOLDER [PLAYERS...] (default: 1000 5000 10000; 20 calls each, within one game)
set -euo pipefail
bin=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../tests/e2e-lib.sh"

export XDG_STATE_HOME="$work/state"
read -r caller_port players_port < <(python3 -c '
import socket
s = [socket.socket() for _ in range(2)]
for x in s: x.bind(("127.0.0.1", 0))
print(*[x.getsockname()[1] for x in s])')
shipped_broker "$caller_port" "$players_port"
start_display
start_sound_server
HOME="$work/pulse/home" /usr/bin/python3 -u "$here/relay.py" "$bin" "$XDG_STATE_HOME" "$work" 20 \
    "$work/broker.conf" "$caller_port" "$players_port" "${@:-1000 5000 10000}"
