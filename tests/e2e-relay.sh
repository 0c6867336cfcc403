#!/usr/bin/env bash
# Players anywhere, against the real program under Xvfb and Debian's Mosquitto on 127.0.0.1,
# configured from data/broker (its ACL as shipped): the page exported with --export-page into
# the broker's http_dir, a ticket dealt in Deal Tickets, Share Beyond the Hall turned on and
# the calling at 1 s; then relay.py: Chromium follows the game from the dealt link, shows
# nothing forged, replayed or unsigned, a claim reaches the host and its verdict comes back,
# and the broker stopped and started again while calling.
program=$1
artifacts=$2
here=$(dirname "$0")
source "$here/e2e-lib.sh"

export XDG_STATE_HOME="$work/state"
read -r caller_port players_port tls_port < <(python3 -c '
import socket
s = [socket.socket() for _ in range(3)]
for x in s: x.bind(("127.0.0.1", 0))
print(*[x.getsockname()[1] for x in s])')

# The shipped configuration; the broker's count every second rather than every 10.
shipped_broker "$caller_port" "$players_port"
sed -i "s|^sys_interval 10|sys_interval 1|" "$work/broker.conf"
# And the players' listener as across the internet, wss with a certificate for localhost from
# an authority of the test's own; relay.py serves the page exported for it over https.
mkdir -p "$work/pki"
tls_spki=$(bash "$here/certificates.sh" "$work/pki") || fail "could not make the broker's certificate"
printf 'listener %s 127.0.0.1\nprotocol websockets\ncertfile %s\nkeyfile %s\n' \
    "$tls_port" "$work/pki/broker.pem" "$work/pki/broker.key" >>"$work/broker.conf"

"$program" --export-page "$work/www" --broker "ws://127.0.0.1:$players_port" || fail "--export-page failed"
for file in index.html page.js relay.js mqtt.min.js mqtt.LICENSE.md nacl-fast.min.js tickets.js mytickets.js page.css; do
    [ -s "$work/www/$file" ] || fail "the exported page has no $file"
done
grep -q "connect-src ws://127.0.0.1:$players_port;" "$work/www/index.html" || fail "the page's policy does not name its broker"
"$program" --export-page "$work/nowhere" 2>/dev/null && fail "--export-page without a broker succeeded"
"$program" --export-page "$work/www-tls" --broker "wss://localhost:$tls_port" || fail "--export-page for wss failed"
grep -q "connect-src wss://localhost:$tls_port;" "$work/www-tls/index.html" || fail "the page's policy does not name its wss broker"

mkdir -p "$XDG_STATE_HOME/tabro-kalvor"
printf 'tabro-kalvor relay 1\nhost 127.0.0.1\nport %s\ntls 0\nuser caller\npassword secret\nplayers ws://127.0.0.1:%s\npage\nend\n' \
    "$caller_port" "$players_port" >"$XDG_STATE_HOME/tabro-kalvor/relay.conf"

start_display
start_program "$program"
# Game → Deal Tickets: two players, a ticket each.
keys alt+g d
deal=$(wait_window '^Deal Tickets$')
xdotool windowfocus --sync "$deal"
xdotool type --delay 30 "Asha"
keys Return
xdotool type --delay 30 "Ben"
keys alt+d
eventually 10 "no book was dealt" grep -qs ' dealt ' "$XDG_STATE_HOME/tabro-kalvor/books.txt"
keys Escape
xdotool windowfocus --sync "$main_window"
# Game → Share Beyond the Hall: the settings are there, the box has the focus.
keys alt+g b
relay=$(wait_window '^Share Beyond the Hall$')
xdotool windowfocus --sync "$relay"
keys space
shot "$relay" "$artifacts/relay-window-off.png"
xdotool windowfocus --sync "$main_window"
calling_every_second
wait_calls 1

/usr/bin/python3 "$here/relay.py" "$XDG_STATE_HOME/tabro-kalvor" "$work/broker.conf" "$players_port" "$caller_port" \
    "$artifacts" "$main_window" "$relay" "$tls_port" "$tls_spki" || fail "the relay's test failed"
kill -0 "$program_pid" || fail "the program ended"
quit_program
