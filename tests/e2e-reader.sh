#!/usr/bin/env bash
# What a screen reader and the desktop get from the caller, on a private session bus: an
# AT-SPI client (pyatspi, as screen readers use it) records the accessibility events
# while Space starts the calling, and a stand-in for the desktop's screen saver service
# records the inhibitions taken on Start and released on Stop and while a question waits.
# Then the program is killed: Yes to resuming is heard as one line, and with Calls So Far
# open behind the main window each call is heard once.
program=$1
here=$(dirname "$0")
source "$here/e2e-lib.sh"

start_display
start_accessibility_bus
/usr/bin/python3 "$here/screensaver.py" "$work/saver.log" &
pids+=($!)
eventually 5 "the screen saver stand-in did not start" grep -q ready "$work/saver.log"

forget_game
start_program "$program"
keys F8 # the reader is the host's voice for the numbers while the sound is off
/usr/bin/python3 "$here/reader.py" "$work/ready" 12 game >"$work/reader.log" 2>&1 &
reader=$!
pids+=("$reader")
reader_ready() { [ -e "$work/ready" ]; }
eventually 10 "the reader did not find the program" reader_ready

saver() { grep -q "$1" "$work/saver.log"; }
keys space
eventually 5 "Start did not keep the screen awake" saver '^Inhibit 1 The Tabro-Kalvor'
wait_calls 3
saver '^UnInhibit' && fail "the screen was let go while calling"
keys space
eventually 3 "Stop did not let the screen sleep again" saver '^UnInhibit 1$'
# While a question waits nothing is called and the screen may sleep; No goes on calling.
keys space
eventually 3 "Start did not keep the screen awake again" saver '^Inhibit 2'
keys F12
question=$(wait_window '^Quitting Game$')
eventually 3 "the screen was held while the Exit question waited" saver '^UnInhibit 2$'
xdotool windowfocus --sync "$question"
keys n
eventually 3 "No to Exit did not keep the screen awake again" saver '^Inhibit 3'
xdotool windowfocus --sync "$main_window"
keys space
eventually 3 "Stop did not let the screen go" saver '^UnInhibit 3$'
keys F8 F8
keys F7
wait_window '^About Tabro-Kalvor$' >/dev/null

status=0
wait "$reader" || status=$?
grep -v '^event:' "$work/reader.log"
[ "$status" -eq 0 ] || { cat "$work/reader.log" >&2; fail "the screen reader was not told what it should be"; }
echo "screen saver: $(tr '\n' ';' <"$work/saver.log")"

# listen NAME SECONDS MODE [ARGUMENTS]: a reader records for SECONDS into NAME.log; returns
# once it listens. heard NAME: waits for it and shows what it heard, or fails.
listen() {
    local name=$1
    rm -f "$work/ready"
    /usr/bin/python3 "$here/reader.py" "$work/ready" "${@:2}" >"$work/$name.log" 2>&1 &
    reader=$!
    pids+=("$reader")
    eventually 20 "the reader did not find the program" reader_ready
}
heard() {
    local status=0
    wait "$reader" || status=$?
    grep -v '^event:' "$work/$1.log"
    [ "$status" -eq 0 ] || { cat "$work/$1.log" >&2; fail "$2"; }
}

# A crash, then Yes: the game comes back as one line a reader hears at once.
record="$HOME/.local/state/tabro-kalvor/game.txt"
kill -9 "$program_pid"
wait "$program_pid" 2>/dev/null || true
called=$(record_calls)
last=$(sed -n 's/^call [0-9]* \([0-9]*\) .*/\1/p' "$record" | tail -n 1)
start_program "$program"
listen resume 4 resume "$work/yes" "$called" "$last"
question=$(wait_window '^Game In Progress$')
xdotool windowfocus --sync "$question"
date +%s.%N >"$work/yes"
keys Return
heard resume "Yes to resuming was not heard as one line at once"

# Calls So Far opened, then left behind the main window while five numbers are called.
xdotool windowfocus --sync "$main_window"
listen behind 16 behind
keys F5
calls_window=$(wait_window '^Calls So Far$')
sleep 0.5
xdotool windowfocus --sync "$main_window"
keys space
wait_calls $((called + 5))
keys space
heard behind "with Calls So Far behind the main window the calls were not heard once each"

# A late ticket in Check a Claim, typed without its rows: the deciding verdict is heard
# first, the prizes it cannot tell said once, the whole in few words.
mapfile -t numbers < <(sed -n 's/^call [0-9]* \([0-9]*\) .*/\1/p' "$record")
read -ra picked <<<"$(ticket_five "${numbers[@]}")"
xdotool windowfocus --sync "$main_window"
keys F9
claim_window=$(wait_window '^Check a Claim$')
xdotool windowfocus --sync "$claim_window"
xdotool type --delay 30 "${picked[*]}"
listen claim 5 claim "$work/enter"
date +%s.%N >"$work/enter"
keys Return
heard claim "a claim's verdicts were not heard deciding one first, in few words"
