#!/usr/bin/env bash
# What a host hears: a sound server with a null sink records the program's output while it
# calls at the 1.2 s interval. With sound on each call is one separate announcement about
# 1.2 s after the one before; muted, the calls go on in silence. The voice comes back after
# the server was gone for a while or came up late, and the sink may sleep while the caller
# waits.
program=$1
onsets=$2
artifacts=$3
source "$(dirname "$0")/e2e-lib.sh"
mkdir -p "$artifacts"

# Each run starts a game of its own, so the record's count is that run's calls.
start_fresh() {
    forget_game
    start_program "$1"
}

recorder=""
start_recording() { # FILE
    parec -d null.monitor --raw --format=s16le --rate=22050 --channels=1 >"$1" &
    recorder=$!
    pids+=("$recorder")
}
stop_recording() {
    kill "$recorder"
    wait "$recorder" 2>/dev/null || true
}

# heard NAME RAW-FILE AT-LEAST: the recording holds that many announcements 1.2 s apart.
heard() {
    echo "$1:"
    "$onsets" "$2" --expect-at-least "$3" --interval 1.2 --tolerance 0.15 | tee "$artifacts/sound-$1.txt"
    [ "${PIPESTATUS[0]}" -eq 0 ] || fail "$1: the announcements were not heard one per call"
}

# record CALLS FILE KEYS...: starts the program, types the keys, records until the game has
# made that many calls, quits.
record() {
    local calls=$1 file=$2
    shift 2
    start_fresh "$program"
    start_recording "$file"
    shot "$main_window" "$work/before.png"
    local before
    before=$(number_box "$work/before.png")
    keys "$@"
    wait_calls "$calls"
    shot "$main_window" "$work/after.png"
    differs "$before" "$(number_box "$work/after.png")" || fail "no number was called"
    # The recorder goes first: PulseAudio 16 can abort when a client leaves in the middle
    # of a sound that another client records from the monitor.
    stop_recording
    quit_program
}

start_display
start_sound_server

record 8 "$work/on.raw" space
heard on "$work/on.raw" 6

record 4 "$work/off.raw" F8 space
echo "sound off:"
"$onsets" "$work/off.raw" --silent | tee "$artifacts/sound-off.txt"
[ "${PIPESTATUS[0]}" -eq 0 ] || fail "a muted caller made a sound"

# A host's own recordings, twenty seconds each, and a greeting that is no recording. Stop
# lets the call just made finish; switching the sound off cuts it within 50 ms. The
# unplayable file is named once on the error output.
copy="$work/own-recordings"
mkdir -p "$copy"
cp "$program" "$(dirname "$program")/tabro-kalvor-sound.so" "$copy/"
python3 - "$copy" <<'PY'
import math, os, struct, sys, wave
with wave.open(os.path.join(sys.argv[1], "1.wav"), "wb") as out:
    out.setnchannels(1); out.setsampwidth(2); out.setframerate(22050)
    out.writeframes(b"".join(struct.pack("<h", int(12000 * math.sin(2 * math.pi * 440 * i / 22050))) for i in range(22050 * 20)))
PY
for n in $(seq 2 90); do ln "$copy/1.wav" "$copy/$n.wav"; done
echo "this is not a recording" >"$copy/program.wav"
start_fresh "$copy/tabro-kalvor"
keys space
wait_sound 5
keys space
start_recording "$work/stopped.raw"
sleep 1 # a second of what follows Stop
stop_recording
"$onsets" "$work/stopped.raw" --silent >/dev/null && fail "Stop cut the announcement of the call just made"
keys F8
sleep 0.05 # what Mute may take to cut the sound
start_recording "$work/muted.raw"
sleep 1 # a second of what follows Mute
stop_recording
"$onsets" "$work/muted.raw" --silent >/dev/null || fail "the voice went on after the sound was switched off"
echo "own recordings: Stop let the call finish, Mute cut it"
quit_program
grep -c 'program.wav: not a sound file libsndfile reads' "$work/program.log" | grep -qx 1 \
    || fail "the unplayable greeting was not named once: $(cat "$work/program.log")"
echo "unplayable: $(grep program.wav "$work/program.log")"

# The sound switch governs the numbers only: a long greeting plays on through Mute.
ln -f "$copy/1.wav" "$copy/program.wav"
start_fresh "$copy/tabro-kalvor"
keys F7
about=$(wait_window '^About Tabro-Kalvor$')
eval "$(xdotool getwindowgeometry --shell "$about")"
xdotool mousemove --sync $((X + 200)) $((Y + 112)) click 1 # the contact line
wait_sound 5
keys F8
sleep 0.05 # what Mute may take to cut the sound
start_recording "$work/greeting-muted.raw"
sleep 1 # a second of what follows Mute
stop_recording
"$onsets" "$work/greeting-muted.raw" --silent >/dev/null && fail "Mute cut the greeting"
echo "the greeting played on through Mute"
quit_program

# While the window waits the sink goes to sleep; after calling stops it sleeps again.
sink_is() { [ "$(sink_state)" = "$1" ]; }
start_fresh "$program"
eventually 6 "the sink did not suspend while the caller waited: $(sink_state)" sink_is SUSPENDED
keys space
eventually 4 "the sink was not running while calling" sink_is RUNNING
wait_calls 2
keys space
eventually 8 "the sink did not suspend after calling stopped" sink_is SUSPENDED
echo "the sink slept while the caller waited and woke for the calls"

# The server killed mid-game and started again 8 s later: the calls are heard again.
keys space
wait_sound 5
stop_sound_server
sleep 8 # the outage
start_sound_server
wait_sound 5
start_recording "$work/restarted.raw"
sleep 4.5 # long enough for three calls
stop_recording
heard "after-restart" "$work/restarted.raw" 3
lost=$(grep -c "sound server" "$work/program.log" || true)
[ "$lost" -le 1 ] || fail "the outage was reported $lost times"
quit_program

# A server that comes up 3 s after the program: the calls are heard once it is there.
stop_sound_server
start_fresh "$program"
keys space
wait_calls 2 # calling, with no server yet
start_sound_server
wait_sound 5
start_recording "$work/late.raw"
sleep 4.5 # long enough for three calls
stop_recording
heard "late-server" "$work/late.raw" 3
quit_program

# Speakers at another rate plugged in mid-game (a projector's, at 48 kHz stereo) become the
# default device: the calls follow them, converted for their rate.
start_fresh "$program"
keys space
wait_sound 5
HOME="$work/pulse/home" pactl load-module module-null-sink sink_name=hdmi rate=48000 channels=2 norewinds=1 >/dev/null
HOME="$work/pulse/home" pactl set-default-sink hdmi
wait_calls 2 # a call since the change
parec -d hdmi.monitor --raw --format=s16le --rate=22050 --channels=1 >"$work/hdmi.raw" &
recorder=$!
pids+=("$recorder")
sleep 4.5 # long enough for three calls
stop_recording
heard "new-device" "$work/hdmi.raw" 3
quit_program
