#!/usr/bin/env bash
# A claim in the running caller, checked as a host does it: after some calls F9 stops the
# calling, a printed ticket's code and Enter give the verdicts (read through AT-SPI, as a
# screen reader reads them), which must be those worked out here from the same calls. A
# ticket of a book printed by another caller (here: another state folder) is judged only
# after Check Anyway. Five numbers typed from a ticket of elsewhere prove no Early Five when
# other numbers were called before them: nothing is recorded.
program=$1
ticketof=$2
here=$(dirname "$0")
source "$here/e2e-lib.sh"

export XDG_STATE_HOME="$work/state"
record="$XDG_STATE_HOME/tabro-kalvor/game.txt"
called() { record_calls; }

"$program" --tickets 1 --output "$work/book.pdf" || fail "no book printed"
code=$(pdftotext "$work/book.pdf" - | grep -m1 -E '^[2-9A-Z]{3}-[2-9A-Z]{4}-[2-9A-Z]$')
rows=$("$ticketof" "$code" | cut -d: -f2)

start_display
start_accessibility_bus
start_program "$program"
calling_every_second
wait_calls 12

xdotool windowfocus --sync "$main_window"
keys F9
claim=$(wait_window '^Check a Claim$')
stopped_at=$(called)
xdotool windowfocus --sync "$claim"
xdotool type --delay 30 "$code"
keys Return
sleep 1.5 # longer than an interval: no call comes while the claim is checked
[ "$(called)" = "$stopped_at" ] || fail "the calling went on during the claim ($stopped_at, then $(called) calls)"
/usr/bin/python3 "$here/verdicts.py" read >"$work/shown.txt" || fail "the verdicts could not be read"
/usr/bin/python3 "$here/verdicts.py" expect "$record" "$rows" >"$work/expected.txt"
diff "$work/expected.txt" "$work/shown.txt" || fail "ticket $code ($rows) after $(called) calls: the verdicts shown (>) are not those worked out (<)"
echo "ticket $code after $stopped_at calls: $(tr '\n' ';' <"$work/shown.txt")"

XDG_STATE_HOME="$work/elsewhere" "$program" --tickets 1 --output "$work/other.pdf" || fail "no other book printed"
other=$(pdftotext "$work/other.pdf" - | grep -m1 -E '^[2-9A-Z]{3}-[2-9A-Z]{4}-[2-9A-Z]$')
keys ctrl+a
xdotool type --delay 30 "$other"
keys Return
anyway() { /usr/bin/python3 "$here/verdicts.py" button "Check Anyway"; }
eventually 5 "a ticket of a book printed elsewhere was not held back" anyway
keys alt+n
/usr/bin/python3 "$here/verdicts.py" read >"$work/other.txt" || fail "Check Anyway gave no verdicts"
anyway && fail "Check Anyway was still offered after it was pressed"
echo "ticket $other of a book printed elsewhere: held back, then judged on Check Anyway"

# A ticket from elsewhere, typed in part: five numbers called, the last one among them. Its
# numbers not typed may have come earlier, so it is no proof of an Early Five at this call:
# not valid, and Accept records nothing.
mapfile -t numbers < <(sed -n 's/^call [0-9]* \([0-9]*\) .*/\1/p' "$record")
last=${numbers[-1]}
read -ra picked <<<"$(ticket_five "$last" "${numbers[@]:0:${#numbers[@]}-1}")"
keys ctrl+a
xdotool type --delay 30 "${picked[*]}"
keys Return
shown() { /usr/bin/python3 "$here/verdicts.py" read >"$work/typed.txt" && grep -qx "$1" "$work/typed.txt"; }
eventually 5 "five typed numbers were taken for a whole ticket's Early Five" shown \
    'Early Five: Cannot tell, only 5 of the ticket'"'"'s fifteen numbers were typed (type the other 10)'
keys alt+a
sleep 0.5
grep -q "^won " "$record" && fail "Accept recorded a prize the numbers typed do not prove: $(grep '^won ' "$record")"
keys Escape
eventually 3 "Escape did not close the claim window" gone '^Check a Claim$'
echo "typed ticket ${picked[*]}: Early Five cannot be told, nothing recorded"
quit_program
