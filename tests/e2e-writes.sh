#!/usr/bin/env bash
# The program writes one file, the record of the game, beside the lock it holds on its
# folder: a full game at the 1-second interval with sound on and every window opened, its
# own folder read-only and HOME and the XDG folders fresh and empty. Afterwards nothing may exist in any of them that was not there
# before but the record's folders, the record and the lock, and the record holds the whole
# game.
program=$1
source "$(dirname "$0")/e2e-lib.sh"

export XDG_DATA_HOME="$HOME/.local/share" XDG_STATE_HOME="$HOME/.local/state"
watched=("$HOME" "$XDG_RUNTIME_DIR")
installed="$work/Program Files – Caller"
mkdir -p "$installed"
cp "$program" "$(dirname "$program")"/*.wav "$(dirname "$program")"/tabro-kalvor-sound.so "$installed/"
chmod -R a-w "$installed"
watched+=("$installed")
listing() { find "${watched[@]}" -printf '%p %s\n' | sort; }

start_display
start_sound_server
# Found where a desktop's server is found, not named to the program.
unset PULSE_SERVER
listing >"$work/before.txt"

start_program "$installed/$(basename "$program")"
# Set Time: the slider has the focus; one step left is 1 second, then Tab twice to OK.
keys F2
dialog=$(wait_window '^Setting The Time Interval$')
xdotool windowfocus --sync "$dialog"
keys Left Tab Tab space
xdotool windowfocus --sync "$main_window"
keys F4
wait_window '^The Zoomed Number$' >/dev/null
xdotool windowfocus --sync "$main_window"
keys F7
about=$(wait_window '^About Tabro-Kalvor$')
eval "$(xdotool getwindowgeometry --shell "$about")"
xdotool mousemove --sync $((X + 200)) $((Y + 112)) click 1 # the contact line: the greeting
wait_sound 5
xdotool windowfocus --sync "$main_window"
keys space

# Ninety calls at one a second, then the continue question.
question=""
for i in $(seq 1200); do
    question=$(xdotool search --onlyvisible --name '^Buzz Off $' 2>/dev/null | head -n 1 || true)
    [ -n "$question" ] && break
    sleep 0.1
done
[ -n "$question" ] || fail "the game did not reach the continue question within two minutes"
echo "a full game was called"
xdotool windowfocus --sync "$question"
keys alt+n # No: the program ends, the game ended by the host
for i in $(seq 50); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.1
done
status=0
wait "$program_pid" || status=$?
[ "$status" -eq 0 ] || fail "No to the continue question ended the program with status $status"

listing >"$work/after.txt"
state="$XDG_STATE_HOME/tabro-kalvor"
record="$state/game.txt"
diff "$work/before.txt" "$work/after.txt" | sed -n 's/^> //p' >"$work/added.txt" || true
unexpected=$(grep -v -x -F -e "$HOME/.local 4096" -e "$XDG_STATE_HOME 4096" -e "$state 4096" -e "$state/lock 16" \
    "$work/added.txt" | grep -v "^$record [0-9]*$" || true)
[ -z "$unexpected" ] || fail "the program wrote more than its record: $unexpected"
diff "$work/before.txt" "$work/after.txt" | grep -q '^<' && fail "the program changed or removed files"
[ "$(stat -c %a "$state")" = 700 ] && [ "$(stat -c %a "$record")" = 600 ] ||
    fail "the record is not private to the user: $(stat -c '%a %n' "$state" "$record")"
grep -q '^state ended$' "$record" || fail "the record does not say the host ended the game"
grep -q '^called 90$' "$record" || fail "the record does not hold the whole game"
# The calls, in order, are the order's numbers.
calls=$(sed -n 's/^call [0-9]* \([0-9]*\) .*/\1/p' "$record" | tr '\n' ' ')
[ "order $calls" = "$(grep '^order ' "$record") " ] || fail "the calls on record are not the game's order"
echo "only the record was written, and it holds the game's ninety calls in order"
