#!/usr/bin/env bash
# What a host hears: a sound server with a null sink records the program's output while it
# calls at the 1.2 s interval. With sound on each call is one separate announcement about
# 1.2 s after the one before; muted, the calls go on in silence.
program=$1
onsets=$2
artifacts=$3
source "$(dirname "$0")/e2e-lib.sh"
mkdir -p "$artifacts"

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
