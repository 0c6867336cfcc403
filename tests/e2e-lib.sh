# Shared steps of the end-to-end tests: a private X display, the program under it, keys
# sent as a user types them, and looks at the number display. Sourced, not run.
set -euo pipefail

work=$(mktemp -d)
pids=()
# Every run of the program must have its voice: a program that could not load its sound
# plugin fails the test, whatever else it did.
cleanup() {
    local status=$? pid
    if grep -qs "the sound plugin could not be loaded" "$work"/*.log; then
        echo "FAIL: the program ran without its sound plugin: $(grep -hs "sound plugin" "$work"/*.log | head -n 1)" >&2
        status=1
    fi
    # A process a test stopped (SIGSTOP) is continued, or the wait below would never end.
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        kill -CONT "$pid" 2>/dev/null || true
    done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    # KEEP_WORK=FOLDER keeps a copy of the run's files (logs, shots, recordings) for a look.
    [ -n "${KEEP_WORK:-}" ] && cp -r "$work" "$KEEP_WORK" || true
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT
# Keep the program and its helpers away from the user's own folders, desktop and sound
# server, whatever the environment names: every XDG folder is the test's own, and until a
# test starts a bus or a sound server of its own, nothing listens where they are named.
export HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/home/.config" \
    XDG_CACHE_HOME="$work/home/.cache" XDG_DATA_HOME="$work/home/.local/share" \
    XDG_STATE_HOME="$work/home/.local/state"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export PULSE_SERVER="unix:$work/no-sound-server" DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus"
unset QT_QPA_PLATFORM

fail() {
    echo "FAIL: $*" >&2
    if [ -s "$work/program.log" ]; then
        echo "--- the program said:" >&2
        tail -n 60 "$work/program.log" >&2
    fi
    exit 1
}

# written FILE: waits up to 10 s for a service to write its address into the file.
written() {
    local i
    for i in $(seq 100); do
        [ -s "$1" ] && return 0
        sleep 0.1
    done
    return 1
}

# Between two runs of the program no client holds the display; an X server then resets,
# and a program that connects during the reset is turned away. A desktop's display never
# resets like that, so neither does this one.
# start_display [WIDTHxHEIGHT]: 1024x768 unless told.
start_display() {
    Xvfb -screen 0 "${1:-1024x768}x24" -nolisten tcp -noreset -displayfd 3 3>"$work/display" 2>"$work/xvfb.log" &
    pids+=($!)
    written "$work/display" || fail "Xvfb did not start"
    export DISPLAY=":$(cat "$work/display")"
    start_session_bus
}

# A desktop session has a bus of its own; without one, libdbus would launch a bus tied to
# the display, or none, depending on what the machine has installed.
start_session_bus() {
    dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$work/bus" 2>"$work/bus.log" &
    pids+=($!)
    written "$work/bus" || fail "no session bus"
    export DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/bus")
}

# The null sink stands in for a sound card. Left to rewind, it renders up to two seconds
# ahead and a stream that joins it waits that long once; a card's sink rewinds for the
# newcomer, so the stand-in is told not to render ahead. As on a desktop, an idle sink is
# suspended, here after 2 s. Sets sound_server_pid; stop_sound_server ends it.
start_sound_server() {
    # The server and its tools keep their files apart from the program's home.
    mkdir -p "$work/pulse/home" "$XDG_RUNTIME_DIR/pulse"
    HOME="$work/pulse/home" XDG_CONFIG_HOME="$work/pulse/home/.config" pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --log-target=stderr \
        -L "module-native-protocol-unix socket=$XDG_RUNTIME_DIR/pulse/native" \
        -L "module-null-sink sink_name=null rate=22050 channels=1 norewinds=1" \
        -L "module-suspend-on-idle timeout=2" >>"$work/pulse.log" 2>&1 &
    sound_server_pid=$!
    pids+=($!)
    export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
    local i
    for i in $(seq 100); do
        HOME="$work/pulse/home" pactl info >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    cat "$work/pulse.log" >&2
    fail "the sound server did not start"
}

stop_sound_server() {
    kill -9 "$sound_server_pid"
    wait "$sound_server_pid" 2>/dev/null || true
    rm -f "$XDG_RUNTIME_DIR/pulse/native"
}

# sink_state: RUNNING, IDLE or SUSPENDED.
sink_state() {
    HOME="$work/pulse/home" pactl list short sinks | awk '$2 == "null" { print $NF }'
}

# start_program PATH: starts it and waits for its main window; sets program_pid and main_window.
start_program() {
    "$1" >"$work/program.log" 2>&1 &
    program_pid=$!
    pids+=("$program_pid")
    # The phones' helpers find this caller's port by its process, never another caller's.
    export TK_PROGRAM_PID=$program_pid
    main_window=$(wait_window '^The Tabro-Kalvor$')
    xdotool windowfocus --sync "$main_window"
    sleep 0.3
}

# wait_window TITLE-REGEX: prints the id of the window once it is shown.
wait_window() {
    local i id
    for i in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.1
    done
    fail "no window titled $1"
}

# The accessibility bus screen readers listen on, with Qt's programs talking to it.
start_accessibility_bus() {
    /usr/libexec/at-spi-bus-launcher --launch-immediately 2>"$work/atspi.log" &
    pids+=($!)
    export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
}

# A desktop as the outside benchmarks see it: a display, a sound server with a second
# null sink (NAME RATE CHANNELS) beside the default one, and an accessibility bus.
start_desktop_with_sink() {
    start_display
    start_sound_server
    HOME="$work/pulse/home" pactl load-module module-null-sink sink_name="$1" rate="$2" channels="$3" norewinds=1 >/dev/null
    start_accessibility_bus
}

# A window manager, as a desktop has: openbox, ready once it has taken over the screen.
start_window_manager() {
    openbox --sm-disable >>"$work/openbox.log" 2>&1 &
    pids+=($!)
    local i
    for i in $(seq 50); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
        sleep 0.1
    done
    sleep 0.5 # it has claimed the screen; let it finish starting before windows come
}

keys() {
    xdotool key --delay 50 "$@"
}

# calling_every_second: in the started program, Set Time to 1 second, then Start.
calling_every_second() {
    keys F2
    local dialog
    dialog=$(wait_window '^Setting The Time Interval$')
    xdotool windowfocus --sync "$dialog"
    keys Left Tab Tab space # the slider has the focus: one step left, then OK
    xdotool windowfocus --sync "$main_window"
    keys space
}

# The game's record, for a program run with XDG_STATE_HOME set: how many calls it holds,
# and wait_calls N: until it holds N, at most 30 s.
# Share With Phones turned on in its window, as the host does, then calling every second
# and the first call made; $share is the phones' window.
share_with_phones() {
    keys alt+g h
    share=$(wait_window '^Share With Phones$')
    xdotool windowfocus --sync "$share"
    keys space
    xdotool windowfocus --sync "$main_window"
    calling_every_second
    wait_calls 1
}

# shipped_broker CALLER-PORT PLAYERS-PORT: the shipped Mosquitto configuration and ACL, on this
# machine's loopback and the run's own folder ($work/broker.conf), the caller's password
# "secret"; no persistence, so a restart loses the retained board and the caller must publish
# it again.
shipped_broker() {
    local shipped
    shipped=$(cd "$(dirname "${BASH_SOURCE[0]}")/../data/broker" && pwd)
    mosquitto_passwd -b -c "$work/passwd" caller secret 2>/dev/null || fail "no mosquitto_passwd"
    sed -e "s|^listener 1883$|listener $1 127.0.0.1|" \
        -e "s|^listener 9001$|listener $2 127.0.0.1|" \
        -e "s|^password_file .*|password_file $work/passwd|" \
        -e "s|^acl_file .*|acl_file $shipped/tabro-kalvor.acl|" \
        -e "s|^http_dir .*|http_dir $work/www|" \
        -e "s|^persistence true|persistence false|" \
        "$shipped/mosquitto.conf" >"$work/broker.conf"
    [ "$(id -u)" = 0 ] && echo "user root" >>"$work/broker.conf"
    grep -q "listener $2 127.0.0.1" "$work/broker.conf" || fail "the broker's configuration has moved on"
    mkdir -p "$work/www"
}
record_calls() { sed -n 's/^called //p' "${XDG_STATE_HOME:-$HOME/.local/state}/tabro-kalvor/game.txt" 2>/dev/null || true; }
wait_calls() {
    local i
    for i in $(seq 300); do
        [ "$(record_calls)" -ge "$1" ] 2>/dev/null && return 0
        sleep 0.1
    done
    fail "the record did not reach $1 calls (it holds: $(record_calls))"
}

# eventually SECONDS WHAT COMMAND...: waits until the command succeeds, trying every tenth
# of a second; fails with WHAT when it has not within SECONDS.
eventually() {
    local tries=$(($1 * 10)) what=$2 i
    shift 2
    for ((i = 0; i < tries; i++)); do
        "$@" && return 0
        sleep 0.1
    done
    fail "$what (after $((tries / 10)) s)"
}

# active_is WINDOW: the window has the keys. gone TITLE-REGEX: no such window is shown.
active_is() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ]; }
gone() { ! xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }

# forget_game: no game on record, so the next run starts afresh and counts its own calls.
forget_game() { rm -f "${XDG_STATE_HOME:-$HOME/.local/state}/tabro-kalvor/game.txt"; }

# wait_sound SECONDS: returns once the speakers (the null sink) carry a sound, at most a
# hundredth of a second after it starts; fails when nothing is heard within SECONDS.
wait_sound() {
    python3 - "$1" <<'PY' || fail "nothing was heard within $1 s"
import array, os, select, subprocess, sys, time
deadline = time.monotonic() + float(sys.argv[1])
rec = subprocess.Popen(["parec", "-d", "null.monitor", "--raw", "--format=s16le", "--rate=22050",
                        "--channels=1", "--latency-msec=10"], stdout=subprocess.PIPE)
try:
    while time.monotonic() < deadline:
        if not select.select([rec.stdout], [], [], 0.1)[0]:
            continue
        chunk = os.read(rec.stdout.fileno(), 441)
        if not chunk:
            break
        samples = array.array("h", chunk[: len(chunk) // 2 * 2])
        if samples and max(abs(s) for s in samples) > 3000:
            sys.exit(0)
    sys.exit(1)
finally:
    rec.kill()
PY
}

# shot WINDOW FILE: the window as it is on screen.
shot() {
    import -window "$1" "$2"
}

# number_box FILE: the main window's called-number box, cut out of a shot.
number_box() {
    local height
    height=$(identify -format '%h' "$1")
    convert "$1" -crop "57x25+264+$((height - 42))" +repage "$1.box.png"
    echo "$1.box.png"
}

# differs A B: true when two images differ in any pixel.
differs() {
    local changed
    changed=$(compare -metric AE "$1" "$2" null: 2>&1 || true)
    [ "${changed%% *}" != "0" ]
}

# wait_for_change WINDOW REFERENCE-BOX SECONDS: waits until the number box differs from the
# reference; prints the new box.
wait_for_change() {
    local deadline now box
    deadline=$(( $(date +%s%N) + ${3%.*}000000000 + ${3#*.}00000000 ))
    while :; do
        shot "$1" "$work/poll.png"
        box=$(number_box "$work/poll.png")
        if differs "$box" "$2"; then
            cp "$box" "$work/changed-$(date +%s%N).png"
            ls -t "$work"/changed-*.png | head -n 1
            return 0
        fi
        now=$(date +%s%N)
        [ "$now" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

# quit_program: F12, then Enter on the question; the program must end with status 0.
quit_program() {
    xdotool windowfocus --sync "$main_window"
    keys F12
    local question
    question=$(wait_window '^Quitting Game$')
    xdotool windowfocus --sync "$question"
    keys Return
    local i
    for i in $(seq 50); do
        kill -0 "$program_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$program_pid" 2>/dev/null && fail "the program did not end after Exit and Yes"
    local status=0
    wait "$program_pid" || status=$?
    [ "$status" -eq 0 ] || fail "the program ended with status $status"
}

# ticket_five NUMBERS...: the first five of them a ticket could hold together (at most three
# from one column), as a host would type them from a ticket of elsewhere.
ticket_five() {
    local -A per_column=()
    local picked=() n column
    for n in "$@"; do
        column=$(( n >= 90 ? 8 : n / 10 ))
        [ "${per_column[$column]:-0}" -lt 3 ] || continue
        per_column[$column]=$(( ${per_column[$column]:-0} + 1 ))
        picked+=("$n")
        [ "${#picked[@]}" -eq 5 ] && break
    done
    echo "${picked[*]}"
}
