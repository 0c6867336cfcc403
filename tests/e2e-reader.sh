#!/usr/bin/env bash
# What a screen reader and the desktop get from the caller, on a private session bus: an
# AT-SPI client (pyatspi, as screen readers use it) records the accessibility events
# while Space starts the calling, and a stand-in for the desktop's screen saver service
# records the inhibitions taken on Start and released on Stop and while a question waits.
# Then the program is killed: Yes to resuming is heard as one line, and with Calls So Far
# open behind the main window each call is heard once.
program=$1
ticketof=$2
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

# Calls So Far in front while ten numbers are called: each heard once, as its line; then,
# with the program's own voice on, three more in silence, and the first key in the list says
# the newest.
xdotool windowfocus --sync "$claim_window"
keys Escape
xdotool windowfocus --sync "$main_window"
listen front 32 front
before=$(record_calls)
keys space
xdotool windowfocus --sync "$calls_window"
wait_calls $((before + 10))
keys F8
wait_calls $((before + 13))
keys Down F8
xdotool windowfocus --sync "$main_window"
keys space
heard front "with Calls So Far in front the calls were not heard once each, as their lines"

# A claim from a phone, and a key at once after it: the claim is said again after the key's
# own words, where the key had silenced it. The claim must be one the rules may pay: a
# ticket of a book printed here whose Early Five the last call completed, the calling
# stopped there.
"$program" --tickets 50 --output "$work/book50.pdf" >/dev/null 2>&1 || fail "no book printed"
pdftotext "$work/book50.pdf" - | grep -oE '\b[2-9A-Z]{3}-[2-9A-Z]{4}-[2-9A-Z]\b' | sort -u | xargs "$ticketof" >"$work/tickets"
keys alt+g h
share=$(wait_window '^Share With Phones$')
xdotool windowfocus --sync "$share"
keys space
xdotool windowfocus --sync "$main_window"
code=$(/usr/bin/python3 - "$record" "$work/tickets" <<'PY'
import subprocess, sys, time
record, tickets = sys.argv[1], {}
for line in open(sys.argv[2]):
    code, rows = line.split(":", 1)
    tickets[code] = {int(n) for n in rows.replace("|", " ").split()}
def calls():
    return [int(line.split()[2]) for line in open(record) if line.startswith("call ")]
def space():
    subprocess.run(["xdotool", "key", "space"], check=True)
space()
deadline = time.monotonic() + 90
seen = calls()
while time.monotonic() < deadline:
    made = calls()
    if made == seen:
        time.sleep(0.05)
        continue
    seen = made
    found = [code for code, numbers in tickets.items() if made[-1] in numbers and len(numbers & set(made)) == 5]
    if found:
        space()
        time.sleep(1.5)
        if calls() == made:
            print(found[0])
            sys.exit(0)
        space()
        seen = calls()
sys.exit("no ticket's Early Five was completed by a call")
PY
) || fail "no claim a phone could make"
sleep 3
listen phoneclaim 8 phoneclaim "$work/key"
PYTHONPATH="$here" /usr/bin/python3 - "$code" <<'PY' || fail "the phone's claim was not taken"
import json, sys
import websocket
from phonepage import port, wait
where = wait(20, "the caller serves no page", port)
phone = websocket.create_connection("ws://127.0.0.1:%d/live" % where, timeout=10)
phone.send(json.dumps({"claim": sys.argv[1], "prize": "early-five"}))
while True:
    answer = json.loads(phone.recv())
    if "claim" in answer:
        sys.exit(0 if answer["status"] == 202 else "the claim was answered %s" % answer)
PY
sleep 0.3
date +%s.%N >"$work/key"
keys space
heard phoneclaim "a claim from a phone was not said again after the key that silenced it"
keys space

# F10 brings the claims' list forward on the newest claim; F9 checks it as of its call, the
# answer heard first; Accept is heard once.
listen checked 12 checked "$work/f10" "$work/f9" "$work/accept"
date +%s.%N >"$work/f10"
keys F10
wait_window '^Claims From Phones$' >/dev/null
sleep 2
date +%s.%N >"$work/f9"
keys F9
claim_window=$(wait_window '^Check a Claim$')
sleep 3
xdotool windowfocus --sync "$claim_window"
date +%s.%N >"$work/accept"
keys alt+a
heard checked "a claim from a phone was not brought forward, checked and accepted as a reader needs"
keys Escape
xdotool windowfocus --sync "$main_window"

# A book of 100 strips from Print Tickets: its start said at most once and its end once, its
# progress in a few changes.
listen book 20 book 100 book.pdf
keys ctrl+p
print_window=$(wait_window '^Print Tickets$')
xdotool windowfocus --sync "$print_window"
keys ctrl+a
xdotool type --delay 30 100
keys Return
save_window=$(wait_window '^Save the Tickets$')
xdotool windowfocus --sync "$save_window"
keys ctrl+a
xdotool type --delay 10 "$work/book.pdf"
keys Return
eventually 20 "the book was not saved" test -s "$work/book.pdf"
heard book "a book of 100 strips was not told in a few words"
