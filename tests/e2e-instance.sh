#!/usr/bin/env bash
# A second launch on the same desktop (session bus and window manager): the running
# caller's window comes to the front, un-minimised and active, the second process ends at
# once with status 0, and the first caller's game goes on. A caller that was killed leaves
# nothing that stops the next launch.
program=$1
source "$(dirname "$0")/e2e-lib.sh"

start_display
start_window_manager

start_program "$program"
keys space
sleep 1.5
xdotool windowminimize --sync "$main_window"

status=0
DESKTOP_STARTUP_ID="second-launch_TIME$(date +%s)" timeout 10 "$program" >"$work/second.log" 2>&1 || status=$?
[ "$status" -eq 0 ] || { cat "$work/second.log" >&2; fail "the second launch ended with status $status"; }
[ "$(wc -l <"$work/second.log")" -eq 1 ] || fail "the second launch said: $(cat "$work/second.log")"
echo "second launch: $(cat "$work/second.log")"
sleep 0.5
windows=$(xdotool search --onlyvisible --name '^The Tabro-Kalvor$' | wc -l)
[ "$windows" -eq 1 ] || fail "$windows caller windows are shown"
[ "$(xdotool getactivewindow)" = "$main_window" ] || fail "the running caller's window is not the active one"
xwininfo -id "$main_window" | grep -q 'IsViewable' || fail "the running caller's window stayed minimised"
# The game was not touched: calling goes on.
shot "$main_window" "$work/a.png"
wait_for_change "$main_window" "$(number_box "$work/a.png")" 3 >/dev/null || fail "the first caller stopped calling"

kill -9 "$program_pid"
wait "$program_pid" 2>/dev/null || true
start_program "$program"
# The crash left a game in progress, which the new caller offers first.
question=$(wait_window '^Game In Progress$')
xdotool windowfocus --sync "$question"
keys alt+n
for i in $(seq 50); do
    xdotool search --onlyvisible --name '^Game In Progress$' >/dev/null 2>&1 || break
    sleep 0.1
done
xdotool search --onlyvisible --name '^Game In Progress$' >/dev/null 2>&1 && fail "No did not answer the resume question"
echo "after a crash the next launch starts a caller of its own"
quit_program
