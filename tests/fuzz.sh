#!/usr/bin/env bash
# Builds the player's fuzz target (the CMake target fuzz_player, on the shipped sound
# library) with clang++ and libFuzzer in WORK-FOLDER/build, and runs it for SECONDS.
# Usage: fuzz.sh SECONDS WORK-FOLDER. A crash leaves its input in WORK-FOLDER/crash-*.
set -euo pipefail
seconds=${1:-5}
out=${2:-$(mktemp -d)}
here=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$out/corpus"
# The build's tools keep their caches in the work folder, never in the user's own.
export HOME="$out/home" XDG_CACHE_HOME="$out/home/.cache" XDG_CONFIG_HOME="$out/home/.config" \
    XDG_DATA_HOME="$out/home/.local/share" XDG_STATE_HOME="$out/home/.local/state" XDG_RUNTIME_DIR="$out/runtime"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

if [ ! -f "$out/build/build.ninja" ]; then
    cmake -S "$here" -B "$out/build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTK_FUZZ=ON -DTK_SANITIZE=OFF -DTK_BENCH=OFF -DTK_WERROR=OFF >/dev/null
fi
cmake --build "$out/build" --target fuzz_player >/dev/null
fuzzer="$out/build/bin/fuzz_player"

# Start from small wave files of each kind the player knows, and the head of a recording.
seed() { # name, format tag, channels, rate, byte rate, block align, bits (as printf escapes)
    { printf "RIFF\x64\x00\x00\x00WAVEfmt \x10\x00\x00\x00$2$3$4$5$6$7data\x40\x00\x00\x00"
      head -c 64 /dev/zero | tr '\0' 'A'; } >"$out/corpus/seed-$1.wav"
}
seed pcm16 '\x01\x00' '\x01\x00' '\x22\x56\x00\x00' '\x44\xac\x00\x00' '\x02\x00' '\x10\x00'
seed stereo8 '\x01\x00' '\x02\x00' '\x80\xbb\x00\x00' '\x00\x77\x01\x00' '\x02\x00' '\x08\x00'
seed float32 '\x03\x00' '\x01\x00' '\x44\xac\x00\x00' '\x10\xb1\x02\x00' '\x04\x00' '\x20\x00'
head -c 300 "$here/sounds/7.wav" >"$out/corpus/seed-recording.wav"

cd "$out"
"$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=4096 -timeout=10 \
    -artifact_prefix="$out/" -print_final_stats=1 corpus 2>&1 | tee "$out/fuzz.log" | grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|#[0-9]+ +DONE)|ERROR|crash' || true
if ls "$out"/crash-* "$out"/leak-* "$out"/timeout-* >/dev/null 2>&1; then
    echo "FAIL: the fuzzer found a crash; the input is in $out" >&2
    exit 1
fi
grep -q 'stat::number_of_executed_units' "$out/fuzz.log" || { tail -n 30 "$out/fuzz.log" >&2; exit 1; }
