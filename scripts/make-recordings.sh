#!/usr/bin/env bash
# Makes the spoken recordings in sounds/: 1.wav to 90.wav and the greeting program.wav.
# Needs espeak-ng and sox. Re-running it reproduces the same files (sox runs without dither
# and with a fixed seed).
#
# Each number is said once, plainly, the way a caller reads it off the token; silence is
# trimmed from both ends, every clip is levelled to the same loudness (RMS), and a clip
# longer than MAX_SECONDS is sped up to fit, so one never runs into the next call at the
# shortest interval of one second.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
out="$here/sounds"
voice=${VOICE:-en-gb}
speed=${SPEED:-165}
MAX_SECONDS=0.85
TARGET_RMS=0.12 # about -18 dBFS
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

level() { # in out
    local in=$1 result=$2 trimmed="$work/trimmed.wav"
    sox -R -D "$in" -r 22050 -c 1 -b 16 "$trimmed" \
        silence 1 0.02 0.5% reverse silence 1 0.02 0.5% reverse
    local length rms gain
    length=$(soxi -D "$trimmed")
    tempo=$(awk -v l="$length" -v m="$MAX_SECONDS" 'BEGIN { if (l > m) printf "%.4f", l / m; else print "1" }')
    if [ "$tempo" != "1" ]; then
        sox -R -D "$trimmed" "$work/fast.wav" tempo -s "$tempo"
        mv "$work/fast.wav" "$trimmed"
    fi
    rms=$(sox "$trimmed" -n stat 2>&1 | awk '/RMS +amplitude/ { print $3 }')
    gain=$(awk -v r="$rms" -v t="$TARGET_RMS" 'BEGIN { printf "%.2f", 20 * log(t / r) / log(10) }')
    # gain -l limits the peaks rather than clipping them
    sox -R -D "$trimmed" -b 16 "$result" gain -l "$gain" fade t 0.005 0 0.02
}

for n in $(seq 1 90); do
    espeak-ng -v "$voice" -s "$speed" -w "$work/raw.wav" "$n"
    level "$work/raw.wav" "$out/$n.wav"
done

espeak-ng -v "$voice" -s 150 -w "$work/raw.wav" "Hello from Tabro-Kalvor. Eyes down, and good luck!"
MAX_SECONDS=10 level "$work/raw.wav" "$out/program.wav"

longest=$(for f in "$out"/[0-9]*.wav; do soxi -D "$f"; done | sort -g | tail -n 1)
echo "made 90 numbers and the greeting in $out; the longest number lasts ${longest} s"
