#!/usr/bin/env bash
# The screen reader's pace: Orca, speaking through speech-dispatcher and espeak-ng into a
# sink of its own, follows a whole game at 1 s with the sound on, then another muted.
# Usage: readerpace.sh PROGRAM
set -euo pipefail
program=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../tests/e2e-lib.sh"

start_desktop_with_sink reader 22050 1
for run in "sound 1" "muted 1" "muted 1.2"; do
    read -r mode interval <<<"$run"
    # The reader, and the speech server it starts, speak into the reader's sink only.
    PULSE_SINK=reader orca --replace --debug-file="$work/orca-$mode-$interval.log" >"$work/orca.out" 2>&1 &
    orca=$!
    pids+=("$orca")
    for i in $(seq 100); do grep -q "Screen reader on" "$work/orca-$mode-$interval.log" 2>/dev/null && break; sleep 0.1; done
    "$program" >"$work/program.log" 2>&1 &
    program_pid=$!
    pids+=("$program_pid")
    /usr/bin/python3 "$here/readerpace.py" "$program" "$work/orca-$mode-$interval.log" "$mode" "$interval"
    kill "$program_pid" "$orca" 2>/dev/null || true
    wait "$program_pid" "$orca" 2>/dev/null || true
    pkill -u "$(id -u)" -f speech-dispatcher 2>/dev/null || true
done
