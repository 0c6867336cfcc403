#!/usr/bin/python3
"""Players anywhere, against the running caller (calling at 1 s, shared beyond the hall, a book
dealt to two players). Starts the broker itself, so that it can stop and start it again.

Usage: relay.py STATE-FOLDER BROKER-CONF PLAYERS-PORT CALLER-PORT ARTIFACTS MAIN-WINDOW RELAY-WINDOW
                TLS-PORT TLS-SPKI
TLS-PORT: the broker's players' listener over TLS, with a certificate for localhost (pki/ beside
BROKER-CONF); the page exported for it is in www-tls/ there. TLS-SPKI: that certificate's key's
SHA-256, which the browser trusts."""
import base64
import functools
import http.server
import json
import os
import socket
import ssl
import subprocess
import sys
import threading
import time
import urllib.parse

import nacl.signing
import paho.mqtt.client as mqtt

from browser import Browser
from phonepage import fail, wait

state, conf, players_port, caller_port, artifacts, main_window, relay_window, tls_port, tls_spki = sys.argv[1:10]
players_port, caller_port, tls_port = int(players_port), int(caller_port), int(tls_port)
record = os.path.join(state, "game.txt")
Alphabet = "2346789ABCDEFGHJKMNPQRTUVWXYZ"


def code_of(book, serial):
    """A ticket's code, as the program writes it: book, serial and the check character."""
    values = [Alphabet.index(c) for c in book]
    values += [(serial // 29 ** p) % 29 for p in (3, 2, 1, 0)]
    check = ((29 - sum((i + 1) * v for i, v in enumerate(values)) % 29) * 11) % 29
    text = "".join(Alphabet[v] for v in values)
    return "%s-%s-%s" % (text[:3], text[3:], Alphabet[check])


def calls():
    try:
        return [line.split() for line in open(record) if line.startswith("call ")]
    except FileNotFoundError:
        return []


def listening(port):
    with socket.socket() as s:
        return s.connect_ex(("127.0.0.1", port)) == 0


def start_broker():
    process = subprocess.Popen(["/usr/sbin/mosquitto", "-c", conf], stdout=subprocess.DEVNULL,
                               stderr=open(os.path.join(os.path.dirname(conf), "broker.log"), "a"))
    wait(10, "the broker did not start", lambda: listening(players_port))
    return process


def keys(window, *names):
    subprocess.run(["xdotool", "windowfocus", "--sync", window, "key", "--delay", "50", *names], check=True)


def height(window):
    out = subprocess.run(["xdotool", "getwindowgeometry", window], capture_output=True, text=True).stdout
    return int(out.split("Geometry: ")[1].split("x")[1])


def seal(signing_key, topic, seq, body):
    text = json.dumps({"seq": seq, "body": body}, separators=(",", ":")).encode()
    return signing_key.sign(topic.encode() + b"\0" + text).signature + text


broker = start_broker()
browser = None
try:
    seed = base64.b64decode(open(os.path.join(state, "relay.key")).read().split("\n")[1])
    key = base64.urlsafe_b64encode(bytes(nacl.signing.SigningKey(seed).verify_key)).decode().rstrip("=")
    topic = "tabro-kalvor/" + key
    book = next(line.split()[1] for line in open(os.path.join(state, "books.txt")) if " dealt " in line)
    ticket = code_of(book, 1)  # Ben's: the second player's first ticket
    link = "http://127.0.0.1:%d/#b=%s&k=%s&t=%s" % (
        players_port, urllib.parse.quote("ws://127.0.0.1:%d" % players_port, safe=""), key, ticket)

    # The caller was calling with no broker: it reaches the broker within its backoff.
    wait(15, "the caller did not reach the broker", lambda: height(main_window) > 0 and calls())
    browser = Browser()
    browser.open(link)

    def page():
        return browser.evaluate("""JSON.stringify({number: document.getElementById('number').textContent,
          count: document.getElementById('count').textContent, link: document.getElementById('link').textContent,
          ticket: (t => t && {lit: [...t.querySelectorAll('td.lit, td.new')].map(c => Number(c.textContent)),
                              all: [...t.querySelectorAll('td')].map(c => Number(c.textContent)).filter(n => n),
                              status: t.querySelector('.status').textContent,
                              claims: [...t.querySelectorAll('button.claim')].map(b => b.textContent.replace(/^Claim /, ''))})
                  (document.querySelector('article.ticket[data-code="%s"]'))})""" % ticket)

    def shown():
        return json.loads(page() or "null")

    def in_step():
        now = calls()
        seen = shown()
        return seen and now and seen["number"] == now[-1][2] and seen["count"] == "Calls: %d" % len(now)

    wait(20, "the page did not follow the calls", in_step)
    # Checked again a few calls later: every call shows within a second of the record.
    for _ in range(3):
        before = len(calls())
        wait(3, "a call was not shown", lambda: len(calls()) > before)
        wait(1, "call %d did not reach the page within a second" % (before + 1), in_step, step=0.02)
    seen = shown()
    if not seen["ticket"]:
        fail("the dealt ticket %s was not added from the link" % ticket)
    wait(2, "the dealt ticket is not marked as called", lambda: set(shown()["ticket"]["lit"]) ==
         {int(c[2]) for c in calls()}.intersection(shown()["ticket"]["all"]))
    if "#" not in browser.evaluate("location.href") or "t=" in browser.evaluate("location.hash"):
        fail("the page's address lost the game or kept the tickets: %s" % browser.evaluate("location.href"))
    print("the page follows the calls through the broker; ticket %s from the dealt link is marked" % ticket)

    # A browser without WebCrypto's Ed25519 (or a page from plain http on another machine,
    # where there is no WebCrypto at all) checks the signatures with the vendored TweetNaCl.
    plain = Browser()
    try:
        plain.send("Page.addScriptToEvaluateOnNewDocument",
                   source="Object.defineProperty(Crypto.prototype, 'subtle', {get() { return undefined; }});")
        plain.open(link)
        wait(20, "a browser without WebCrypto did not follow the calls", lambda: plain.evaluate(
            "document.getElementById('count').textContent") == "Calls: %d" % len(calls()) and
            plain.evaluate("typeof nacl") == "object")
    finally:
        plain.close()
    print("without WebCrypto the page checks signatures with TweetNaCl and follows the calls")

    # Across the internet: the page from a static https host, its broker over wss (the
    # certificate for localhost trusted by its key, as a real one would be by its authority).
    work = os.path.dirname(conf)
    class Quiet(http.server.SimpleHTTPRequestHandler):
        def log_message(self, *args):
            pass

    pages = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(
        Quiet, directory=os.path.join(work, "www-tls")))
    tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    tls.load_cert_chain(os.path.join(work, "pki", "broker.pem"), os.path.join(work, "pki", "broker.key"))
    pages.socket = tls.wrap_socket(pages.socket, server_side=True)
    threading.Thread(target=pages.serve_forever, daemon=True).start()
    secure = Browser(flags=("--ignore-certificate-errors-spki-list=" + tls_spki,))
    try:
        secure.open("https://localhost:%d/#b=%s&k=%s" % (
            pages.server_address[1], urllib.parse.quote("wss://localhost:%d" % tls_port, safe=""), key))
        wait(20, "the page from https did not follow the calls over wss", lambda: secure.evaluate(
            "document.getElementById('count').textContent") == "Calls: %d" % len(calls()))
        if secure.evaluate("location.protocol + isSecureContext") != "https:true":
            fail("the page was not served over https")
    finally:
        secure.close()
        pages.shutdown()
    print("the page from https follows the calls through the broker's wss listener")

    # Forged, unsigned and replayed boards, published with the caller's own password (the worst
    # case: a broker that lets anyone publish): none is ever shown.
    spy = mqtt.Client(client_id="tk-test-spy", protocol=mqtt.MQTTv311)
    caught = []
    spy.on_message = lambda client, data, message: caught.append(message.payload)
    spy.connect("127.0.0.1", caller_port)
    spy.subscribe(topic + "/board")
    spy.loop_start()
    wait(5, "no board caught", lambda: caught)
    old = caught[0]
    captured = len(calls())
    forger = mqtt.Client(client_id="tk-test-forger", protocol=mqtt.MQTTv311)
    forger.username_pw_set("caller", "secret")
    forger.connect("127.0.0.1", caller_port)
    forger.loop_start()
    stranger = nacl.signing.SigningKey.generate()
    all90 = {"seq": 0, "state": "calling", "sound": True, "calls": list(range(1, 91)), "at": 0, "toWin": [],
             "winners": []}
    future = int(time.time() * 1e6) + 10 ** 9
    forgeries = [
        json.dumps(all90).encode(),                                          # unsigned
        seal(stranger, topic + "/board", future, all90),                     # another key
        old,                                                                 # an older board again
        seal(stranger, topic + "/books", future, all90)[:64] + old[64:],     # a signature taken from elsewhere
    ]
    samples = []
    for forged in forgeries:
        if forged is old:  # old enough to tell from the board shown
            wait(10, "the calling stopped", lambda: len(calls()) >= captured + 4)
        forger.publish(topic + "/board", forged, qos=1, retain=True).wait_for_publish()
        end = time.monotonic() + 1.5
        while time.monotonic() < end:
            samples.append((shown()["count"], len(calls())))
            time.sleep(0.05)
    # The record is written on its own thread just after the board goes out: a page may be a
    # call ahead of it, never more; the replayed board is several calls behind.
    for count, made in samples:
        number = int(count.split()[-1])
        if number > made + 1 or number < made - 2:
            fail("the page showed %r while the caller had made %d calls: a forgery was shown" % (count, made))
    wait(3, "the page did not stay with the caller", in_step)
    print("unsigned, foreign-signed, replayed and spliced boards: none shown (%d looks)" % len(samples))

    # A claim from the page: the calling is stopped the moment the ticket offers one, the claim
    # goes through the broker, F9 checks it, Accept sends the verdict back to the page.
    seen = wait(90, "the dealt ticket never offered a claim", lambda: shown()["ticket"]["claims"] and shown())
    keys(main_window, "space")
    seen = shown()
    if not seen["ticket"]["claims"]:
        keys(main_window, "space")
        seen = wait(90, "the dealt ticket never offered a claim", lambda: shown()["ticket"]["claims"] and shown())
        keys(main_window, "space")
        seen = shown()
    prize = seen["ticket"]["claims"][0]
    browser.evaluate("document.querySelector('article.ticket[data-code=\"%s\"] button.claim').click()" % ticket)
    wait(5, "the claim was not answered through the broker",
         lambda: "waiting for the host" in shown()["ticket"]["status"])
    keys(main_window, "F9")
    claim = wait(10, "Check a Claim did not open", lambda: subprocess.run(
        ["xdotool", "search", "--onlyvisible", "--name", "^Check a Claim$"], capture_output=True,
        text=True).stdout.split())[0]
    time.sleep(0.5)
    keys(claim, "alt+a")
    wait(10, "the verdict did not reach the page", lambda: "Valid: %s is yours" % prize in shown()["ticket"]["status"])
    print("claimed %s for %s: the host's Accept came back as %r" % (prize, ticket, shown()["ticket"]["status"]))
    keys(claim, "Escape")
    browser.screenshot(os.path.join(artifacts, "relay-page.png"))
    keys(main_window, "space")
    resumed = len(calls())
    wait(5, "the calling did not go on", lambda: len(calls()) > resumed)
    wait(2, "the page did not follow", in_step)

    # The broker stopped while calling: the page says so, the host is told under the board;
    # started again, the page catches up and the line goes.
    tall = height(main_window)
    started = len(calls())
    broker.terminate()
    broker.wait(10)
    wait(12, "the page did not say it lost the game", lambda: "Reconnecting" in shown()["link"])
    wait(12, "the host was not told", lambda: height(main_window) > tall)
    subprocess.run(["xdotool", "windowraise", main_window], check=True)
    time.sleep(0.3)
    subprocess.run(["import", "-window", main_window, os.path.join(artifacts, "relay-broker-down.png")], check=True)
    time.sleep(3)
    broker = start_broker()
    back = time.monotonic()
    wait(15, "the page did not catch up after the broker came back", in_step)
    print("broker back: the page caught up in %.1f s" % (time.monotonic() - back))
    wait(10, "the host's line did not go", lambda: height(main_window) == tall)
    subprocess.run(["xdotool", "windowraise", relay_window], check=True)
    time.sleep(0.3)
    subprocess.run(["import", "-window", relay_window, os.path.join(artifacts, "relay-window.png")], check=True)

    # Sharing beyond the hall turned off while calling: the broker tells the pages the caller
    # is gone, and the page stops showing the board as live; on again, it is live at once.
    keys(relay_window, "alt+h")
    off = time.monotonic()
    wait(5, "the page still showed the board as live after the caller left",
         lambda: "Reconnecting" in shown()["link"])
    print("the caller gone: the page said so after %.1f s" % (time.monotonic() - off))
    keys(relay_window, "alt+h")
    wait(10, "the page did not follow again once the caller was back", in_step)

    # No tick late through the outage: the calls kept their second.
    wait(15, "the calling stopped", lambda: len(calls()) >= started + 10)
    times = [time.mktime(time.strptime(c[3][:19], "%Y-%m-%dT%H:%M:%S")) + int(c[3][20:23]) / 1000
             for c in calls()[started - 1:]]
    gaps = [b - a for a, b in zip(times, times[1:])]
    if len(gaps) < 8 or any(abs(g - 1.0) > 0.15 for g in gaps):
        fail("ticks were late while the broker was away: %s" % ["%.3f" % g for g in gaps])
    print("%d calls 1 s apart (%.3f to %.3f s) while the broker went and came back" % (len(gaps), min(gaps), max(gaps)))
    spy.loop_stop()
    forger.loop_stop()
finally:
    if browser:
        browser.close()
    broker.terminate()
    broker.wait(10)
