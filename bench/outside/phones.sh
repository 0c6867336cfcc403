#!/usr/bin/env bash
# Runs phones.py on a private display, bus and sound server: the real caller sharing the
# game with a hall's worth of phones on the loopback.
# Usage: phones.sh BUILD-BIN-FOLDER [PHONES] [CALLS] [HOSTILE]
set -euo pipefail
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../tests/e2e-lib.sh"

export XDG_STATE_HOME="$work/state"
start_display
start_sound_server
HOME="$work/pulse/home" /usr/bin/python3 "$here/phones.py" "$bin" "$XDG_STATE_HOME/tabro-kalvor/game.txt" \
    "${2:-1000}" "${3:-30}" "${4:-2000}"
