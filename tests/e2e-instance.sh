#!/usr/bin/env bash
# A second launch on the same desktop (session bus and window manager): the running
# caller's window comes to the front, un-minimised and active, the second process ends at
# once with status 0, and the first caller's game goes on. A caller that was killed leaves
# nothing that stops the next launch. A caller ended while a slow disk still takes its last
# records, and launched again at once: the new caller waits for it, then offers the game.
program=$1
slowdisk=$2
source "$(dirname "$0")/e2e-lib.sh"

start_display
start_window_manager

forget_game
start_program "$program"
keys space
wait_calls 1
xdotool windowminimize --sync "$main_window"

status=0
DESKTOP_STARTUP_ID="second-launch_TIME$(date +%s)" timeout 10 "$program" >"$work/second.log" 2>&1 || status=$?
[ "$status" -eq 0 ] || { cat "$work/second.log" >&2; fail "the second launch ended with status $status"; }
[ "$(wc -l <"$work/second.log")" -eq 1 ] || fail "the second launch said: $(cat "$work/second.log")"
echo "second launch: $(cat "$work/second.log")"
windows=$(xdotool search --onlyvisible --name '^The Tabro-Kalvor$' | wc -l)
[ "$windows" -eq 1 ] || fail "$windows caller windows are shown"
[ "$(xdotool getactivewindow)" = "$main_window" ] || fail "the running caller's window is not the active one"
xwininfo -id "$main_window" | grep -q 'IsViewable' || fail "the running caller's window stayed minimised"
# The game was not touched: calling goes on.
shot "$main_window" "$work/a.png"
wait_for_change "$main_window" "$(number_box "$work/a.png")" 3 >/dev/null || fail "the first caller stopped calling"

# Outside input on the bus: an Activate with a 17 MB startup id is ignored; the game goes on.
/usr/bin/python3 - <<'PY' || fail "the oversized Activate was not answered"
from gi.repository import Gio, GLib
bus = Gio.bus_get_sync(Gio.BusType.SESSION)
data = {"desktop-startup-id": GLib.Variant("s", "x" * 17_000_000)}
bus.call_sync("example.tabro_kalvor.TabroKalvor", "/example/tabro_kalvor/TabroKalvor", "org.freedesktop.Application",
              "Activate", GLib.Variant("(a{sv})", (data,)), None, Gio.DBusCallFlags.NONE, 20000, None)
PY
kill -0 "$program_pid" 2>/dev/null || fail "an oversized startup id ended the program"
shot "$main_window" "$work/b.png"
wait_for_change "$main_window" "$(number_box "$work/b.png")" 3 >/dev/null || fail "after an oversized startup id the caller stopped calling"
echo "a 17 MB startup id on the bus: ignored, the game goes on"

# A first caller that does not answer (stopped): the next launch asks the host within about
# two seconds instead of waiting in silence, and No starts nothing.
kill -STOP "$program_pid"
started=$(date +%s%N)
"$program" >"$work/third.log" 2>&1 &
third=$!
pids+=("$third")
asked=""
for i in $(seq 40); do
    asked=$(xdotool search --onlyvisible --name '^The Tabro-Kalvor$' 2>/dev/null | grep -v "^$main_window$" | head -n 1 || true)
    [ -n "$asked" ] && xwininfo -id "$asked" | grep -q 'Width: *[1-5][0-9][0-9]$' && break
    asked=""
    sleep 0.1
done
elapsed=$(( ($(date +%s%N) - started) / 1000000 ))
[ -n "$asked" ] || fail "a launch beside a stopped caller did not ask the host"
# The sanitizers slow the program's own start by about a second.
limit=$([ -n "${TK_SANITIZED:-}" ] && echo 4000 || echo 2500)
[ "$elapsed" -le "$limit" ] || fail "the host was asked only after $elapsed ms"
xdotool windowfocus --sync "$asked"
keys n
status=0
wait "$third" || status=$?
[ "$status" -eq 1 ] || fail "No to a second caller ended with status $status, not 1"
grep -q "does not answer" "$work/third.log" || fail "the error output did not say why: $(cat "$work/third.log")"
kill -CONT "$program_pid"
echo "a stopped first caller: the host was asked after $elapsed ms, No started nothing"

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

# TERM (a logout) while every flush takes 1.5 s: the caller lets go of its name at once and
# goes on writing; a launch then starts a caller of its own, which waits for the last
# records instead of refusing the folder, and offers the game.
forget_game
ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0" TK_FLUSH_MS=1500 LD_PRELOAD="$slowdisk" start_program "$program"
keys space
wait_calls 2
kill -TERM "$program_pid"
name_free() {
    ! dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:example.tabro_kalvor.TabroKalvor 2>/dev/null | grep -q 'boolean true'
}
eventually 5 "the ending caller kept its name on the bus" name_free
ending=no
kill -0 "$program_pid" 2>/dev/null && ending=yes
first_pid=$program_pid
"$program" >"$work/again.log" 2>&1 &
again=$!
pids+=("$again")
question=$(wait_window '^Game In Progress$')
status=0
wait "$first_pid" || status=$?
[ "$status" -eq 0 ] || fail "the caller ended by TERM ended with status $status"
grep -q "not kept" "$work/again.log" && fail "the new caller did not keep the game: $(cat "$work/again.log")"
echo "launched again while the last caller was still writing ($ending): its game offered; the new caller said: $(cat "$work/again.log")"
xdotool windowfocus --sync "$question"
keys Return
program_pid=$again
main_window=$(wait_window '^The Tabro-Kalvor$')
# The window stands behind the question: F12 pressed while the question is still closing
# goes to the question (slow under the sanitizers), so wait until it is gone.
eventually 10 "Yes did not answer the resume question" \
    bash -c "! xdotool search --onlyvisible --name '^Game In Progress$' >/dev/null 2>&1"
quit_program
