#!/usr/bin/env bash
# The real program under a virtual X display, driven by key presses: Space starts the
# calling, the number changes every interval, F4 opens the zoom window that follows the
# calls, F7 pressed in it opens About, F12 then Enter ends the program with status 0.
program=$1
artifacts=$2
source "$(dirname "$0")/e2e-lib.sh"
mkdir -p "$artifacts"

start_display
forget_game
start_program "$program"

shot "$main_window" "$work/before.png"
before=$(number_box "$work/before.png")
keys space
# The timer runs from start-up, so the first call comes within one interval, the next one
# interval later; two intervals (2.4 s) bound each wait.
first=$(wait_for_change "$main_window" "$before" 2.4) || fail "no number shown within two intervals of Space"
second=$(wait_for_change "$main_window" "$first" 2.4) || fail "the number did not change within two intervals"
echo "calling: the number display changed twice"
wait_calls 4 # a few numbers on the board for the picture
shot "$main_window" "$artifacts/main-window.png"

keys F4
zoom=$(wait_window '^The Zoomed Number$')
shot "$zoom" "$work/zoom-0.png"
xdotool windowfocus --sync "$main_window"
for i in $(seq 30); do
    sleep 0.2
    shot "$zoom" "$work/zoom-1.png"
    differs "$work/zoom-0.png" "$work/zoom-1.png" && break
done
differs "$work/zoom-0.png" "$work/zoom-1.png" || fail "the zoom window did not show the next call"
cp "$work/zoom-1.png" "$artifacts/zoom-window.png"
echo "zoom: the window follows the calls"

# The menus' keys work from the other windows too: F7 pressed in the zoom window.
xdotool windowfocus --sync "$zoom"
keys F7
about=$(wait_window '^About Tabro-Kalvor$')
shot "$about" "$artifacts/about-window.png"
echo "about: the window opened"

quit_program
echo "exit: F12 and Enter ended the program with status 0"

# Without any display the program says why in one line and ends with status 1.
status=0
env -u DISPLAY -u WAYLAND_DISPLAY "$program" >"$work/nodisplay.log" 2>&1 || status=$?
[ "$status" -eq 1 ] && [ "$(wc -l <"$work/nodisplay.log")" -eq 1 ] || fail "without a display: status $status, $(cat "$work/nodisplay.log")"
echo "no display: $(cat "$work/nodisplay.log")"
# A Wayland socket that is not there names the compositor, not a package.
status=0
env -u DISPLAY WAYLAND_DISPLAY=wayland-gone "$program" >"$work/nowayland.log" 2>&1 || status=$?
[ "$status" -eq 1 ] && [ "$(wc -l <"$work/nowayland.log")" -eq 1 ] && grep -q "compositor" "$work/nowayland.log" ||
    fail "with a Wayland socket that is not there: status $status, $(cat "$work/nowayland.log")"
echo "no compositor: $(cat "$work/nowayland.log")"
