#!/usr/bin/env bash
# The program writes nothing: a full game at the 1-second interval with sound on and every
# window opened, its own folder read-only and HOME and the XDG folders fresh and empty.
# Afterwards no file may exist in any of them that was not there before.
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
sleep 0.5
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
keys Return
sleep 0.5
quit_program

listing >"$work/after.txt"
if ! diff "$work/before.txt" "$work/after.txt"; then
    fail "the program left files behind (lines marked > above)"
fi
echo "nothing was written in HOME, the XDG folders or the program's folder"
