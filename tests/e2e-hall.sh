#!/usr/bin/env bash
# The hall's display. Two monitors (one wide screen split in two, which the program sees as
# two screens): F11 opens the display on the monitor the caller is not on, filling it; the
# caller's window keeps the keys, so Space still calls, and the display's number and board
# follow the call; Escape closes it. One monitor: the display fills it and takes the keys,
# Space stops the calling there, Escape gives the caller's window back.
program=$1
artifacts=$2
source "$(dirname "$0")/e2e-lib.sh"
mkdir -p "$artifacts"

start_display 3200x1080
xrandr --setmonitor LAPTOP 1280/338x1080/285+0+0 none
xrandr --setmonitor HALL 1920/508x1080/285+1280+0 none
start_window_manager

# geometry WINDOW: "X Y WIDTH HEIGHT" as the window manager placed it.
geometry() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
        /Width:/ { w = $NF } /Height:/ { h = $NF } END { print x, y, w, h }'
}

placed() { [ "$(geometry "$1")" = "$2" ]; }

forget_game
start_program "$program"
[ "$(geometry "$main_window" | cut -d' ' -f1)" -lt 1280 ] || fail "the caller did not open on the first monitor"
keys space
wait_calls 1
keys F11
hall=$(wait_window '^Hall Display$')
eventually 3 "the display does not fill the other monitor" placed "$hall" "1280 0 1920 1080"
wait_calls 2 # a call since the display opened: it is drawn
active_is "$main_window" || fail "the display took the focus from the caller's window"
import -window root -crop 1920x1080+1280+0 +repage "$work/hall-0.png"
# The big number and the board both change at the next call.
for i in $(seq 30); do
    sleep 0.1
    import -window root -crop 1920x1080+1280+0 +repage "$work/hall-1.png"
    differs "$work/hall-0.png" "$work/hall-1.png" && break
done
convert "$work/hall-0.png" -crop 690x600+40+40 +repage "$work/number-0.png"
convert "$work/hall-1.png" -crop 690x600+40+40 +repage "$work/number-1.png"
convert "$work/hall-0.png" -crop 1120x1000+780+40 +repage "$work/board-0.png"
convert "$work/hall-1.png" -crop 1120x1000+780+40 +repage "$work/board-1.png"
differs "$work/number-0.png" "$work/number-1.png" || fail "the display's number did not follow the call"
differs "$work/board-0.png" "$work/board-1.png" || fail "the display's board did not mark the call"
cp "$work/hall-1.png" "$artifacts/hall-display.png"
echo "two monitors: the display filled the other one and followed the calls; the caller kept the keys"

# The projector unplugged and plugged back in, ten quick bursts: once the screens settle
# the display is on it again, and the keys stay with the host.
for i in $(seq 10); do
    xrandr --delmonitor HALL
    sleep "0.0$((RANDOM % 9 + 1))"
    xrandr --setmonitor HALL 1920/508x1080/285+1280+0 none
    sleep "0.0$((RANDOM % 9 + 1))"
done
eventually 5 "after ten bursts of the projector the display is not on it" placed "$hall" "1280 0 1920 1080"
active_is "$main_window" || fail "after the bursts the keys are not with the caller's window"
echo "ten bursts of the projector: the display is back on it, the keys with the caller"
# Shift+F11: the next place, the host's own screen, where the display takes the keys; again:
# back on the projector.
keys shift+F11
eventually 3 "Shift+F11 did not move the display to the host's screen" placed "$hall" "0 0 1280 1080"
eventually 3 "on the host's screen the display did not take the keys" active_is "$hall"
keys shift+F11
eventually 3 "Shift+F11 did not move the display back" placed "$hall" "1280 0 1920 1080"
echo "Shift+F11 moved the display to the next screen and back"
xdotool windowfocus --sync "$main_window"
keys Escape
eventually 3 "Escape did not close the display" gone '^Hall Display$'
quit_program

# One monitor, a display of its own: the display covers the caller and takes the keys.
start_display 1280x720
start_window_manager
forget_game
start_program "$program"
keys F11
hall=$(wait_window '^Hall Display$')
eventually 3 "alone on the screen, the display did not take the keys" active_is "$hall"
keys space
wait_calls 1
import -window root "$work/single-0.png"
wait_calls 3
import -window root "$artifacts/hall-display-720p.png"
differs "$work/single-0.png" "$artifacts/hall-display-720p.png" || fail "the display did not follow the calls"
keys Escape
eventually 3 "Escape did not close the display" gone '^Hall Display$'
eventually 3 "the caller's window did not get the keys back" active_is "$main_window"
echo "one monitor: the display took the keys, Space called, Escape gave them back"
# A question answered, or a window of the host's closed: the display is in front again.
keys F11
hall=$(wait_window '^Hall Display$')
eventually 3 "the display did not take the keys" active_is "$hall"
keys F12
question=$(wait_window '^Quitting Game$')
xdotool windowfocus --sync "$question"
keys n
eventually 3 "after No to Exit the display is not in front with the keys" active_is "$hall"
keys F7
about=$(wait_window '^About Tabro-Kalvor$')
xdotool windowfocus --sync "$about"
keys space # its OK button
eventually 3 "after the About window closed the display is not in front with the keys" active_is "$hall"
echo "one monitor: after a question and a window the display is in front again"
keys Escape
eventually 3 "Escape did not close the display" gone '^Hall Display$'
quit_program
