#!/usr/bin/env bash
# Runs longrecordings.py on a private display, bus and sound server with two null sinks:
# "null" at 22050 Hz, then "fast" at 48000 Hz made the default halfway.
# Usage: longrecordings.sh BUILD-BIN-FOLDER [CALLS]
set -euo pipefail
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../tests/e2e-lib.sh"

start_desktop_with_sink fast 48000 2
mkdir -p "$work/caller"
cp "$bin/tabro-kalvor" "$bin/tabro-kalvor-sound.so" "$work/caller/"
HOME="$work/pulse/home" /usr/bin/python3 "$here/longrecordings.py" "$work/caller" "${2:-40}"
