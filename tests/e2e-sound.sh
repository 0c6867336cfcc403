#!/usr/bin/env bash
# What a host hears: a sound server with a null sink records the program's output while it
# calls at the 1.2 s interval. With sound on each call is one separate announcement about
# 1.2 s after the one before; muted, the calls go on in silence.
program=$1
onsets=$2
artifacts=$3
source "$(dirname "$0")/e2e-lib.sh"
mkdir -p "$artifacts"

# The null sink stands in for a sound card. Left to rewind, it renders up to two seconds
# ahead and a stream that joins it waits that long once; a card's sink rewinds for the
# newcomer, so the stand-in is told not to render ahead.
start_sound_server() {
    mkdir -p "$work/pulse"
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --log-target=stderr \
        -L "module-native-protocol-unix socket=$work/pulse/native auth-anonymous=1" \
        -L "module-null-sink sink_name=null rate=22050 channels=1 norewinds=1" >"$work/pulse.log" 2>&1 &
    pids+=($!)
    export PULSE_SERVER="unix:$work/pulse/native"
    local i
    for i in $(seq 100); do
        pactl info >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    cat "$work/pulse.log" >&2
    fail "the sound server did not start"
}

# record SECONDS FILE KEYS...: starts the program, types the keys, records for a while, quits.
record() {
    local seconds=$1 file=$2
    shift 2
    start_program "$program"
    parec -d null.monitor --raw --format=s16le --rate=22050 --channels=1 >"$file" &
    local recorder=$!
    pids+=("$recorder")
    shot "$main_window" "$work/before.png"
    local before
    before=$(number_box "$work/before.png")
    keys "$@"
    sleep "$seconds"
    shot "$main_window" "$work/after.png"
    differs "$before" "$(number_box "$work/after.png")" || fail "no number was called"
    quit_program
    kill "$recorder"
    wait "$recorder" 2>/dev/null || true
}

start_display
start_sound_server

record 9 "$work/on.raw" space
echo "sound on:"
"$onsets" "$work/on.raw" --expect-at-least 6 --interval 1.2 --tolerance 0.15 | tee "$artifacts/sound-on.txt"
[ "${PIPESTATUS[0]}" -eq 0 ] || fail "the announcements were not heard one per call"

record 5 "$work/off.raw" F8 space
echo "sound off:"
"$onsets" "$work/off.raw" --silent | tee "$artifacts/sound-off.txt"
[ "${PIPESTATUS[0]}" -eq 0 ] || fail "a muted caller made a sound"
