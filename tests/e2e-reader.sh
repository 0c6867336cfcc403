#!/usr/bin/env bash
# What a screen reader and the desktop get from the caller, on a private session bus: an
# AT-SPI client (pyatspi, as screen readers use it) records the accessibility events
# while Space starts the calling, and a stand-in for the desktop's screen saver service
# records the inhibitions taken on Start and released on Stop and while a question waits.
program=$1
here=$(dirname "$0")
source "$here/e2e-lib.sh"

start_display
start_accessibility_bus
/usr/bin/python3 "$here/screensaver.py" "$work/saver.log" &
pids+=($!)
for i in $(seq 50); do grep -q ready "$work/saver.log" 2>/dev/null && break; sleep 0.1; done

start_program "$program"
keys F8 # the reader is the host's voice for the numbers while the sound is off
/usr/bin/python3 "$here/reader.py" "$work/ready" 12 >"$work/reader.log" 2>&1 &
reader=$!
pids+=("$reader")
for i in $(seq 100); do [ -e "$work/ready" ] && break; sleep 0.1; done
[ -e "$work/ready" ] || { cat "$work/reader.log" >&2; fail "the reader did not find the program"; }

keys space
sleep 4.2
grep -q '^Inhibit 1 The Tabro-Kalvor' "$work/saver.log" || fail "Start did not keep the screen awake"
grep -q '^UnInhibit' "$work/saver.log" && fail "the screen was let go while calling"
keys space
sleep 1
grep -q '^UnInhibit 1$' "$work/saver.log" || fail "Stop did not let the screen sleep again"
# While a question waits nothing is called and the screen may sleep; No goes on calling.
keys space
sleep 1
keys F12
question=$(wait_window '^Quitting Game$')
sleep 0.5
grep -q '^UnInhibit 2$' "$work/saver.log" || fail "the screen was held while the Exit question waited"
xdotool windowfocus --sync "$question"
keys n
sleep 0.5
grep -q '^Inhibit 3' "$work/saver.log" || fail "No to Exit did not keep the screen awake again"
xdotool windowfocus --sync "$main_window"
keys space
sleep 0.5
keys F8 F8
keys F7
wait_window '^About Tabro-Kalvor$' >/dev/null

status=0
wait "$reader" || status=$?
grep -v '^event:' "$work/reader.log"
[ "$status" -eq 0 ] || { cat "$work/reader.log" >&2; fail "the screen reader was not told what it should be"; }
echo "screen saver: $(tr '\n' ';' <"$work/saver.log")"
