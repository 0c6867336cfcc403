#!/usr/bin/env bash
# The caller's window opens centred on the primary screen whatever the arrangement of the
# others, under a window manager: with the projector left of the laptop, and above it, the
# laptop marked primary. F11 then puts the hall's display full screen on the projector.
program=$1
artifacts=$2
source "$(dirname "$0")/e2e-lib.sh"
mkdir -p "$artifacts"

# One frame buffer that holds both arrangements; the projector is always at the origin.
start_display 3200x1880
start_window_manager

# geometry WINDOW: "X Y WIDTH HEIGHT" as the window manager placed it.
geometry() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
        /Width:/ { w = $NF } /Height:/ { h = $NF } END { print x, y, w, h }'
}
# centred_in WINDOW X Y WIDTH HEIGHT: inside the rectangle, its centre within 40 pixels of
# the rectangle's (the frame's title bar is not in the window's own geometry).
centred_in() {
    local x y w h
    read -r x y w h < <(geometry "$1")
    [ "$x" -ge "$2" ] && [ "$y" -ge "$3" ] && [ $((x + w)) -le $(($2 + $4)) ] && [ $((y + h)) -le $(($3 + $5)) ] &&
        [ $(( (x + w / 2) - ($2 + $4 / 2) )) -le 40 ] && [ $(( ($2 + $4 / 2) - (x + w / 2) )) -le 40 ] &&
        [ $(( (y + h / 2) - ($3 + $5 / 2) )) -le 40 ] && [ $(( ($3 + $5 / 2) - (y + h / 2) )) -le 40 ]
}

placed() { [ "$(geometry "$1")" = "$2" ]; }

# arrangement NAME LAPTOP-X LAPTOP-Y LAPTOP-WIDTH LAPTOP-HEIGHT
arrangement() {
    local name=$1 lx=$2 ly=$3 lw=$4 lh=$5
    xrandr --delmonitor LAPTOP >/dev/null 2>&1 || true
    xrandr --delmonitor HALL >/dev/null 2>&1 || true
    xrandr --setmonitor HALL 1920/508x1080/285+0+0 none
    # The laptop takes the frame buffer's own output, so no monitor spans the two.
    xrandr --setmonitor '*LAPTOP' "$lw/300x$lh/190+$lx+$ly" screen
    forget_game
    start_program "$program"
    eventually 5 "$name: the caller's window is not centred on the laptop ($(geometry "$main_window"))" \
        centred_in "$main_window" "$lx" "$ly" "$lw" "$lh"
    keys F11
    local hall
    hall=$(wait_window '^Hall Display$')
    eventually 5 "$name: the hall's display is not full screen on the projector ($(geometry "$hall"))" \
        placed "$hall" "0 0 1920 1080"
    shot root "$artifacts/placement-$name.png"
    echo "$name: the caller at $(geometry "$main_window") on the laptop, the hall's display at $(geometry "$hall")"
    keys Escape
    quit_program
}

arrangement projector-left 1920 0 1280 800
arrangement projector-above 320 1080 1280 800
