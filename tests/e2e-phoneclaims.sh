#!/usr/bin/env bash
# Tickets on the phone and claims from it, against the real program under Xvfb: a book
# printed here (so in play), the game shared with phones and called at 1 s, then
# phoneclaims.py: Chromium draws tickets typed or linked by their code as printed, marks
# them, offers Claim on a complete line; the claim stops the calling and reaches the host's
# list (read through AT-SPI); hostile claims are refused and shown nowhere; with the page's
# channel gone the host calls on, F9 judges the claim at its call, Accept records it there,
# and the page, back by itself, gets the verdict; a burst of 500 claims delays no call.
program=$1
ticketof=$2
artifacts=$3
here=$(dirname "$0")
source "$here/e2e-lib.sh"

export XDG_STATE_HOME="$work/state"
"$program" --tickets 50 --output "$work/book.pdf" || fail "no book printed"
pdftotext "$work/book.pdf" - | grep -oE '\b[2-9A-Z]{3}-[2-9A-Z]{4}-[2-9A-Z]\b' | sort -u >"$work/codes"
[ "$(wc -l <"$work/codes")" -eq 300 ] || fail "the book's 300 codes were not found ($(wc -l <"$work/codes"))"
xargs "$ticketof" <"$work/codes" >"$work/tickets"

start_display
start_accessibility_bus
start_program "$program"
share_with_phones
/usr/bin/python3 "$here/phoneclaims.py" "$XDG_STATE_HOME/tabro-kalvor/game.txt" "$work/tickets" "$artifacts" \
    "$main_window" || fail "the tickets' and claims' test failed"
kill -0 "$program_pid" || fail "the program ended"
quit_program
