#!/usr/bin/env bash
# Runs phoneclaims.py on a private display, bus, accessibility bus and sound server: the real
# caller sharing the game, a book printed here, a hall of phones holding tickets, and a
# burst of claims.
# Usage: phoneclaims.sh BUILD-BIN-FOLDER [PHONES] [CALLS]
set -euo pipefail
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../tests/e2e-lib.sh"

export XDG_STATE_HOME="$work/state"
"$bin/tabro-kalvor" --tickets 50 --output "$work/book.pdf"
pdftotext "$work/book.pdf" - | grep -oE '\b[2-9A-Z]{3}-[2-9A-Z]{4}-[2-9A-Z]\b' | sort -u >"$work/codes"
start_display
start_sound_server
start_accessibility_bus
HOME="$work/pulse/home" /usr/bin/python3 "$here/phoneclaims.py" "$bin" "$XDG_STATE_HOME/tabro-kalvor/game.txt" \
    "$work/codes" "${2:-1000}" "${3:-20}"
