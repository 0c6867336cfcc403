// The page anywhere: the board through a message broker (MQTT over WebSocket) instead of the
// hall's own server. The link is the game's whole identity: the broker (b) and the caller's
// public key (k), from which the game's topic comes, and for a player dealt tickets their
// codes (t). The caller signs everything it publishes with a sequence; the page shows
// nothing unsigned, signed with another key, replayed or out of order. To the rest of the
// page this is the hall's push channel: TkChannel() gives an object that acts as its
// WebSocket.
"use strict";
(() => {
  const params = new URLSearchParams(location.hash.slice(1));
  const key = params.get("k") || "";
  const wanted = document.querySelector('meta[name="tk-broker"]');
  const broker = params.get("b") || (wanted ? wanted.content : "");
  const words = (text) => {
    const note = document.createElement("p");
    note.className = "link";
    note.setAttribute("role", "alert");
    note.textContent = text;
    document.querySelector("main").prepend(note);
  };
  if (!/^[A-Za-z0-9_-]{43}$/.test(key) || !/^wss?:\/\/[^/?#\s]+/.test(broker)) {
    words("This is not a whole game link: ask the host to send it again.");
    window.TkChannel = () => ({ readyState: 3, send() {}, close() {} });
    return;
  }

  const fromBase64Url = (text) => Uint8Array.from(atob(text.replace(/-/g, "+").replace(/_/g, "/") + "="),
    (c) => c.charCodeAt(0));
  const publicKey = fromBase64Url(key);
  const topic = "tabro-kalvor/" + key;
  const boardTopic = topic + "/board";
  const presenceTopic = topic + "/presence";
  const ticketTopic = topic + "/ticket/";
  const Floor = "tk-relay-board-" + key; // the newest board this phone showed, across reloads
  const MaxWatched = 24;
  const encoder = new TextEncoder();
  const decoder = new TextDecoder("utf-8", { fatal: true });
  const shown = {}; // topic -> the sequence last shown
  let floor = 0;
  try {
    floor = Number(localStorage.getItem(Floor)) || 0;
  } catch (e) { /* nothing kept */ }
  const nonce = Array.from(crypto.getRandomValues(new Uint8Array(8)), (b) => b.toString(16).padStart(2, "0")).join("");

  // WebCrypto's Ed25519 where the browser has it (a page from https or this machine); else
  // TweetNaCl, loaded from beside the page.
  let verifier = null;
  function verify(signature, data) {
    if (!verifier) {
      verifier = (async () => {
        try {
          const k = await crypto.subtle.importKey("raw", publicKey, { name: "Ed25519" }, false, ["verify"]);
          return (s, d) => crypto.subtle.verify({ name: "Ed25519" }, k, s, d);
        } catch (e) {
          await new Promise((done, failed) => {
            const script = document.createElement("script");
            script.src = new URL("nacl-fast.min.js", document.baseURI).href;
            script.onload = done;
            script.onerror = failed;
            document.head.appendChild(script);
          });
          return async (s, d) => nacl.sign.detached.verify(d, s, publicKey);
        }
      })();
    }
    return verifier.then((check) => check(signature, data));
  }

  // A sealed message: 64 bytes of signature over the topic, a zero byte and the text
  // {"seq":N,"body":{...}}. Null for anything else.
  async function open(where, payload) {
    if (!(payload instanceof Uint8Array) || payload.length <= 64 || payload.length > 65536) return null;
    const name = encoder.encode(where);
    const text = payload.subarray(64);
    const data = new Uint8Array(name.length + 1 + text.length);
    data.set(name);
    data.set(text, name.length + 1);
    if (!(await verify(payload.slice(0, 64), data))) return null;
    let message;
    try {
      message = JSON.parse(decoder.decode(text));
    } catch (e) {
      return null;
    }
    if (!message || !Number.isSafeInteger(message.seq) || typeof message.body !== "object" || !message.body) return null;
    return message;
  }

  // One sequence per topic, never going back: the same message again (the broker's copy
  // after a reconnect) changes nothing; an older one is not shown.
  function inOrder(where, seq) {
    const least = Math.max(shown[where] || 0, where === boardTopic ? floor : 0);
    if (seq < least) return false;
    shown[where] = seq;
    if (where === boardTopic && seq > floor) {
      floor = seq;
      try {
        localStorage.setItem(Floor, String(seq));
      } catch (e) { /* private browsing */ }
    }
    return true;
  }

  window.TkChannel = () => {
    const channel = { readyState: 0, onmessage: null, onclose: null, onerror: null };
    const watched = new Set();
    // Whether the caller is connected to the broker, as it and the broker say: while it is
    // gone, nothing from it is shown as live (no board, no heartbeat), whatever the broker keeps.
    let present = true;
    let queue = Promise.resolve();
    const client = mqtt.connect(broker, {
      protocolVersion: 4,
      clean: true,
      reconnectPeriod: 0, // the page's own rhythm reconnects
      connectTimeout: 10000,
      keepalive: 2, // the broker's answer every 2 s is the page's heartbeat while the game rests
      resubscribe: false,
      timerVariant: "native", // no worker from a blob, which the page's policy forbids
      clientId: "tk-player-" + nonce + Math.floor(Math.random() * 1e6),
    });
    const deliver = (text) => {
      if (channel.readyState === 1 && channel.onmessage) channel.onmessage({ data: text });
    };
    const watch = (code) => {
      if (watched.has(code) || watched.size >= MaxWatched || !/^[0-9A-Z]{3}-[0-9A-Z]{4}-[0-9A-Z]$/.test(code)) return;
      watched.add(code);
      client.subscribe(ticketTopic + code, { qos: 0 });
    };
    const end = () => {
      if (channel.readyState === 3) return;
      channel.readyState = 3;
      client.end(true);
      if (channel.onclose) channel.onclose();
    };
    client.on("connect", () => {
      channel.readyState = 1;
      // The presence first: the broker sends what it keeps in the order asked.
      client.subscribe([presenceTopic, boardTopic, topic + "/books"], { qos: 0 });
      if (typeof MyTickets !== "undefined") for (const code of MyTickets.tickets()) watch(code);
    });
    client.on("message", (where, payload) => {
      // Checked one after another, so that what arrives in order is shown in order.
      queue = queue.then(() => open(where, payload)).then((message) => {
        if (!message || !inOrder(where, message.seq)) return;
        const body = message.body;
        if (where === presenceTopic) {
          present = body.here !== false;
          return;
        }
        if (!present && where === boardTopic) return;
        if (where.startsWith(ticketTopic)) {
          if (body.claim !== where.slice(ticketTopic.length)) return;
          // The answer to a claim is for the page that sent it; the host's verdict for all.
          if (body.status !== undefined && body.nonce !== nonce) return;
        }
        deliver(JSON.stringify(body));
      }).catch(() => {});
    });
    // The broker's answer to the keep-alive: the channel is alive even while the game rests.
    client.on("packetreceive", (packet) => {
      if (packet && packet.cmd === "pingresp" && present) deliver('{"beat":true}');
    });
    client.on("close", end);
    client.on("offline", end);
    client.on("error", end);
    channel.send = (text) => {
      let message;
      try {
        message = JSON.parse(text);
      } catch (e) {
        return;
      }
      if (!message || channel.readyState !== 1) return;
      // The tickets a page holds: their verdicts are kept on the broker, each on its topic.
      if (Array.isArray(message.hold)) {
        for (const code of message.hold) if (typeof code === "string") watch(code);
        return;
      }
      // The books in play come by themselves; a claim goes to the caller, with its call.
      if (typeof message.claim !== "string") return;
      watch(message.claim);
      const claim = { claim: message.claim, prize: message.prize, call: message.call, nonce };
      client.publish(topic + "/claim", JSON.stringify(claim), { qos: 0 });
    };
    channel.close = end;
    return channel;
  };

  // Tickets dealt by link: added as if typed, and the link kept without them, so a reload
  // still finds the game.
  const dealt = (params.get("t") || "").split(",").filter((code) => code).slice(0, 12);
  if (dealt.length && typeof MyTickets !== "undefined") {
    for (const code of dealt) MyTickets.add(code, false);
  }
  params.delete("t");
  history.replaceState(null, "", location.pathname + location.search + "#" + params.toString());
})();
