#!/usr/bin/env bash
# The program as a user gets it: the Debian package made from this build, unpacked into a
# scratch folder, checked by the desktop's validators, then started under a virtual
# display with a sound server, where Space must make it call a number that is heard and
# Share With Phones must serve the page.
build=$1
onsets=$2
source "$(dirname "$0")/e2e-lib.sh"

(cd "$build" && cpack -G DEB -B "$work/package" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb="$work/package/$(cat "$build/package-file-name")"
root="$work/unpacked"
dpkg-deb -x "$deb" "$root"

desktop="$root/usr/share/applications/example.tabro_kalvor.TabroKalvor.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate found faults"
appstreamcli validate --no-net "$root/usr/share/metainfo/example.tabro_kalvor.TabroKalvor.metainfo.xml" \
    || fail "appstreamcli found faults"
icon=$(sed -n 's/^Icon=//p' "$desktop")
for size in 16x16 32x32 48x48 256x256 scalable; do
    ls "$root/usr/share/icons/hicolor/$size/apps/$icon".* >/dev/null 2>&1 || fail "no $size icon named $icon"
done
command=$(ls "$root"/usr/games/tabro-kalvor "$root"/usr/bin/tabro-kalvor 2>/dev/null | head -n 1 || true)
[ -x "$command" ] || fail "the package holds no command"
ls "$(dirname "$command")"/*.wav >/dev/null 2>&1 && fail "recordings were installed beside the command"
echo "validators passed; the command is $command"

start_display
start_sound_server
forget_game
start_program "$command"
wm_class=$(xprop -id "$main_window" WM_CLASS | sed 's/.*= //')
grep -q "\"$(sed -n 's/^StartupWMClass=//p' "$desktop")\"" <<<"$wm_class" \
    || fail "the window's class $wm_class does not match the desktop entry"
parec -d null.monitor --raw --format=s16le --rate=22050 --channels=1 >"$work/calls.raw" &
recorder=$!
pids+=("$recorder")
keys space
wait_calls 3
kill "$recorder" # before the program leaves: see e2e-sound.sh
# The phones' server is a plugin of its own: the unpacked program finds it and serves.
keys alt+g h
share=$(wait_window '^Share With Phones$')
xdotool windowfocus --sync "$share"
keys space
/usr/bin/python3 -c 'import sys; sys.path.insert(0, sys.argv[1]); import phonepage; phonepage.wait(10, "the unpacked program served no page to phones", phonepage.port)' \
    "$(dirname "$0")" || fail "the unpacked program's phones' server did not serve"
quit_program

# With the plugin gone, sharing says why on the error output and the program goes on.
find "$root" -name tabro-kalvor-phones.so -delete
forget_game
start_program "$command"
keys alt+g h
share=$(wait_window '^Share With Phones$')
xdotool windowfocus --sync "$share"
keys space
eventually 5 "a missing phones' server was not said on the error output" \
    grep -q "the phones' server could not be loaded" "$work/program.log"
kill -0 "$program_pid" || fail "the program ended without its phones' server"
quit_program
"$onsets" "$work/calls.raw" --expect-at-least 2 --interval 1.2 --tolerance 0.15 \
    || fail "the unpacked program's calls were not heard"
