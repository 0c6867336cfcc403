#!/usr/bin/env bash
# The players' phones, against the real program under Xvfb: Share With Phones turned on in
# its window, the calling at 1 s, then phones.py: Chromium follows the game, sharing off and
# on again, 200 phones, hostile clients, and sharing off closing the port.
program=$1
tk_phones=$2
artifacts=$3
here=$(dirname "$0")
source "$here/e2e-lib.sh"

export XDG_STATE_HOME="$work/state"
start_display
start_program "$program"
share_with_phones
shot "$share" "$artifacts/phones-window.png"
/usr/bin/python3 "$here/phones.py" "$XDG_STATE_HOME/tabro-kalvor/game.txt" "$tk_phones" "$artifacts" "$share" \
    || fail "the phones' test failed"
kill -0 "$program_pid" || fail "the program ended"
quit_program
