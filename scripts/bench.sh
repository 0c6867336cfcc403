#!/usr/bin/env bash
# The benchmark command's runs, on a private display and sound server: the performance
# figures, long recordings, the screen reader's pace and the players' phones seen from
# outside, the long soak, and the player's fuzzer for a longer while.
# Usage: bench.sh BUILD-FOLDER [--quick]
set -euo pipefail
build=$1
quick=${2:-}
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/tests/e2e-lib.sh"

start_display
start_sound_server
echo "Machine: $(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
echo
# Measured from outside, each on a display and sound server of its own: ninety long
# recordings, then the screen reader keeping pace.
bash "$here/bench/outside/longrecordings.sh" "$build/bin" 60
echo
bash "$here/bench/outside/readerpace.sh" "$build/bin/tabro-kalvor"
echo
# A hall's worth of phones following the game on the loopback.
bash "$here/bench/outside/phones.sh" "$build/bin" 1000 30
echo
if [ "$quick" = "--quick" ]; then
    "$build/bin/tk-bench" --quick
    echo
    "$build/bin/tk-soak" 1000
    echo
    bash "$here/tests/fuzz.sh" 20 "$build/fuzz-long"
else
    "$build/bin/tk-bench"
    echo
    "$build/bin/tk-soak" 10000
    echo
    bash "$here/tests/fuzz.sh" 300 "$build/fuzz-long"
fi
