#!/usr/bin/env bash
# A game survives its program: killed (-9) or ended by the desktop (TERM) after some calls,
# the next start offers it; Yes brings back the same order and goes on from it, No starts
# afresh, and a game the host ended is not offered again.
program=$1
source "$(dirname "$0")/e2e-lib.sh"

export XDG_STATE_HOME="$work/state"
record="$XDG_STATE_HOME/tabro-kalvor/game.txt"
called() { record_calls; }
field() { grep "^$1 " "$record"; }

# answer_resume KEYS: the question at start-up, answered with the keys given.
answer_resume() {
    local question
    question=$(wait_window '^Game In Progress$')
    xdotool windowfocus --sync "$question"
    keys "$@"
    for i in $(seq 50); do
        xdotool search --onlyvisible --name '^Game In Progress$' >/dev/null 2>&1 || break
        sleep 0.1
    done
    xdotool windowfocus --sync "$main_window"
}

start_display

# 1. Ten calls at one a second, then the program is killed outright.
start_program "$program"
calling_every_second
wait_calls 10
kill -9 "$program_pid"
wait "$program_pid" 2>/dev/null || true
cp "$record" "$work/killed.txt"
grep -q '^state playing$' "$record" || fail "the record of a killed game does not say it was playing"
echo "killed after $(called) calls"

# 1b. A logout or a shutdown while the question is open (TERM, then HUP): the program ends
# within a second, status 0, the record as it was; the same game is offered next time.
for signal in TERM HUP; do
    start_program "$program"
    wait_window '^Game In Progress$' >/dev/null
    kill -"$signal" "$program_pid"
    for i in $(seq 10); do
        kill -0 "$program_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$program_pid" 2>/dev/null && fail "$signal during the resume question left the program running"
    status=0
    wait "$program_pid" || status=$?
    [ "$status" -eq 0 ] || fail "$signal during the resume question ended the program with status $status"
    cmp -s "$record" "$work/killed.txt" || fail "$signal during the resume question changed the record: $(called) calls"
    ! ls "$XDG_STATE_HOME/tabro-kalvor" | grep -q '\.bad$' || fail "$signal during the resume question moved the record aside"
done
echo "TERM and HUP during the resume question ended the program within a second, the record as it was"

# 2. Yes: the same game, waiting for Start; Start goes on with the same order.
start_program "$program"
answer_resume Return
sleep 1.5 # longer than the interval: a game that called on its own would have by now
cmp -s "$record" "$work/killed.txt" || fail "the resumed game called on its own before Start"
keys space
wait_calls $(( $(sed -n 's/^called //p' "$work/killed.txt") + 2 ))
[ "$(field order)" = "$(grep '^order ' "$work/killed.txt")" ] || fail "the resumed game has another order"
grep '^call ' "$work/killed.txt" >"$work/calls-before.txt"
head -n "$(wc -l <"$work/calls-before.txt")" <(grep '^call ' "$record") | diff "$work/calls-before.txt" - \
    || fail "the calls before the kill are not the first calls of the resumed game"
[ "$(field interval)" = "interval 1000" ] || fail "the interval was not resumed: $(field interval)"
echo "resumed: the same order, now $(called) calls"

# 3. The desktop ends the program (TERM): it ends at once, status 0, the game kept.
kill -TERM "$program_pid"
status=0
wait "$program_pid" || status=$?
[ "$status" -eq 0 ] || fail "TERM ended the program with status $status"
grep -q '^state playing$' "$record" || fail "TERM did not keep the game for resuming"
cp "$record" "$work/termed.txt"

# 4. No: a fresh game, kept at once; the host's Exit ends it for good.
start_program "$program"
answer_resume alt+n
[ "$(called)" = 0 ] || fail "No did not start a fresh game (the record holds $(called) calls)"
[ "$(field order)" != "$(grep '^order ' "$work/termed.txt")" ] || fail "No kept the old order"
quit_program
grep -q '^state ended$' "$record" || fail "Exit did not mark the game as ended"

# 5. An ended game is not offered.
start_program "$program"
sleep 1.5 # the question comes at once when there is one
if xdotool search --onlyvisible --name '^Game In Progress$' >/dev/null 2>&1; then
    fail "a game the host ended was offered again"
fi
quit_program
ls -la "$XDG_STATE_HOME/tabro-kalvor" | grep -q 'game.txt.new' && fail "a half-written record was left behind"

# 6. Two callers of one user with no desktop bus to find each other by: the second finds
# the record's folder held, keeps nothing and says why, even while it calls a game.
bus=$DBUS_SESSION_BUS_ADDRESS
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus"
start_program "$program"
first_pid=$program_pid
calling_every_second
wait_calls 3
order=$(field order)
"$program" >"$work/second.log" 2>&1 &
second_pid=$!
pids+=("$second_pid")
eventually 10 "the second caller did not say why it keeps nothing" \
    grep -q "this game is not kept: another caller is keeping its game in" "$work/second.log"
second_window=$(xdotool search --all --sync --onlyvisible --pid "$second_pid" --name '^The Tabro-Kalvor$' | head -n 1)
xdotool windowfocus --sync "$second_window"
keys space # the second calls a game of its own
before=$(called)
sleep 2.5
[ "$(field order)" = "$order" ] || fail "the second caller wrote its game over the first one's"
[ "$(called)" -gt "$before" ] || fail "the first caller's record stopped while the second called"
ls "$XDG_STATE_HOME/tabro-kalvor" | grep -q 'new' && fail "two callers left a temporary behind"
for pid in "$first_pid" "$second_pid"; do
    kill -TERM "$pid"
    status=0
    wait "$pid" || status=$?
    [ "$status" -eq 0 ] || fail "TERM ended a caller with status $status"
done
export DBUS_SESSION_BUS_ADDRESS=$bus
echo "ok: killed and TERM-ed games resumed, a logout during the question keeps the game, No gives a fresh game, an ended game is not offered, and a second caller keeps nothing"
