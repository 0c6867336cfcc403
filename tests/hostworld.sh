#!/usr/bin/env bash
# A host's own folders, as the suite's tests find them named in HOME and the XDG variables:
# "lay FOLDER" makes them, with a game in progress on record, its lock, a setting and a
# runtime file, and notes every entry; "check FOLDER" fails, naming each difference, when
# any entry was added, removed or changed since. No test may touch them.
set -euo pipefail
mode=$1
world=$2
listing() { # every entry with its type, permissions, size, modification time and content's sum
    (cd "$world" && find . -printf '%p %y %m %s %T@\n' | sort)
    (cd "$world" && find . -type f -print0 | sort -z | xargs -0 md5sum)
}
case "$mode" in
    lay)
        rm -rf "$world"
        mkdir -p "$world/home" "$world/state/tabro-kalvor" "$world/config" "$world/cache" "$world/data" "$world/runtime"
        chmod 700 "$world/runtime" "$world/state/tabro-kalvor"
        {
            echo "tabro-kalvor game record 1"
            echo "state playing"
            echo "interval 1200"
            echo "sound 1"
            echo "prizes early-five top-line middle-line bottom-line full-house"
            echo "next 4"
            echo "called 3"
            echo "order $(seq 90 -1 1 | tr '\n' ' ' | sed 's/ $//')"
            echo "call 1 90 2026-12-09T20:15:03.120Z"
            echo "call 2 89 2026-12-09T20:15:04.320Z"
            echo "call 3 88 2026-12-09T20:15:05.520Z"
            echo "end"
        } >"$world/state/tabro-kalvor/game.txt"
        printf '%-15s\n' kept >"$world/state/tabro-kalvor/lock"
        echo "the host's own settings" >"$world/config/settings.conf"
        echo "the host's own desktop" >"$world/runtime/session"
        listing >"$world.laid"
        ;;
    check)
        [ -f "$world.laid" ] || { echo "FAIL: the host's folders were never laid" >&2; exit 1; }
        if ! listing | diff -u "$world.laid" - >"$world.diff"; then
            echo "FAIL: a test touched the host's own folders:" >&2
            cat "$world.diff" >&2
            exit 1
        fi
        echo "the host's folders (HOME, state, config, cache, data, runtime) are as they were laid"
        ;;
esac
