#!/usr/bin/env bash
# Runs relay.py on a private display, bus and sound server: the real caller sharing the game
# beyond the hall through Debian's Mosquitto on the loopback, with 0, 1,000 and 10,000 players.
# Usage: relay.sh BUILD-BIN-FOLDER [PLAYERS...] (default: 1000 5000 10000; 20 calls each, within one game)
set -euo pipefail
bin=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../tests/e2e-lib.sh"

export XDG_STATE_HOME="$work/state"
start_display
start_sound_server
HOME="$work/pulse/home" /usr/bin/python3 -u "$here/relay.py" "$bin" "$XDG_STATE_HOME" "$work" 20 "${@:-1000 5000 10000}"
