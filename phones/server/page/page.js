// The board on a player's phone: everything comes from the caller's push channel as one
// snapshot at a time, so a page that lost its connection catches up whole from the next
// one. Until that comes it shows what it has as old, never as live: the caller beats every
// two seconds and calls at its interval, so a page that hears nothing for two of either
// greys the board and says so, and is live again the moment data comes.
"use strict";
(function () {
  const Words = {
    waiting: "New game: waiting for the first call",
    calling: "Calling",
    stopped: "Stopped",
    paused: "Paused",
    claim: "Checking a claim",
    over: "All 90 called",
  };
  const BeatMs = 2000;     // the caller's heartbeat
  const MarginMs = 500;    // what a busy network or caller may add to it
  const DeadMs = 12000;    // this long without a word, the channel is made anew
  const RetryMs = [1000, 2000, 4000];
  const $ = (id) => document.getElementById(id);

  const cells = [0];
  const board = $("board");
  for (let n = 1; n <= 90; n++) {
    const cell = document.createElement("li");
    cell.textContent = n;
    const called = document.createElement("span");
    called.className = "hidden";
    cell.appendChild(called);
    board.appendChild(cell);
    cells.push(cell);
  }

  let socket = null;
  let live = false;
  let lastHeard = 0;
  let shown = null;    // the number in the live region: set once per call, so it is read once
  let attempt = 0;
  let lastBoard = null;

  function show(b) {
    lastBoard = b;
    const calls = b.calls;
    const newest = calls.length ? calls[calls.length - 1] : 0;
    if (newest !== shown) {
      $("number").textContent = newest ? String(newest) : "–";
      shown = newest;
    }
    $("count").textContent = calls.length ? "Calls: " + calls.length : "No calls yet";
    const before = calls.slice(-5, -1).reverse();
    $("before").textContent = before.join("  ");
    $("before").setAttribute("aria-label", before.length ? "Called before: " + before.join(", ") : "");
    showState();
    const lit = new Set(calls);
    for (let n = 1; n <= 90; n++) {
      const on = lit.has(n);
      cells[n].className = n === newest ? "new" : on ? "lit" : "";
      cells[n].lastChild.textContent = on ? ", called" : "";
    }
    // Prizes come by their keys, with the caller's names for them.
    const named = (key) => (b.names && b.names[key]) || key;
    $("toWin").textContent = b.toWin.length ? "To win: " + b.toWin.map(named).join(" · ") : "Every prize is won";
    const winners = $("winners");
    winners.textContent = "";
    for (const w of b.winners) {
      const item = document.createElement("li");
      item.textContent = named(w.prize) + ": " + (w.ticket || "a ticket") + ", call " + w.call + " (" + w.number + ")";
      winners.appendChild(item);
    }
  }

  function showState() {
    let state;
    if (!live) {
      state = lastBoard ? "Reconnecting…" : "Connecting…";
    } else {
      state = Words[lastBoard.state] || "";
      if (!lastBoard.sound)
        state = state ? state + " · Sound off" : "Sound off";
    }
    if ($("state").textContent !== state)
      $("state").textContent = state;
    const link = $("link");
    link.textContent = live ? "" : lastBoard ? "Reconnecting… the board below may be old" : "Connecting…";
    link.className = live ? "link live" : "link";
    document.body.classList.toggle("stale", !live);
  }

  function connect() {
    // The page anywhere is handed its channel through the broker (relay.js).
    const ws = window.TkChannel ? window.TkChannel() : new WebSocket("ws://" + location.host + "/live");
    socket = ws;
    lastHeard = Date.now();
    ws.onmessage = (event) => {
      if (socket !== ws)
        return;
      lastHeard = Date.now();
      let b;
      try {
        b = JSON.parse(event.data);
      } catch (e) {
        return;
      }
      if (b.beat) {
        // Data comes in order: a beat after a board means the board is the newest.
        if (!live && lastBoard && ws.boardSeen) {
          live = true;
          showState();
        }
        return;
      }
      // The player's tickets: the books in play and the answers to claims are theirs.
      if (typeof MyTickets !== "undefined" && MyTickets.heard(b, ws))
        return;
      attempt = 0;
      live = true;
      ws.boardSeen = true;
      show(b);
      if (typeof MyTickets !== "undefined")
        MyTickets.follow(b);
    };
    ws.onclose = () => lost(ws);
    ws.onerror = () => lost(ws);
  }

  function lost(ws) {
    if (socket !== ws)
      return;
    socket = null;
    try { ws.close(); } catch (e) { /* already closed */ }
    live = false;
    showState();
    setTimeout(connect, RetryMs[Math.min(attempt++, RetryMs.length - 1)]);
  }

  // How long the page may hear nothing before what it shows may be old: two beats, or two
  // calls while the game calls faster than it beats.
  function quietLimit() {
    let limit = 2 * BeatMs + MarginMs;
    if (lastBoard && lastBoard.state === "calling" && lastBoard.interval > 0)
      limit = Math.min(limit, 2 * lastBoard.interval + MarginMs);
    return limit;
  }

  // A network that holds data back, a phone that slept, or Wi-Fi that went, may leave a
  // channel that never says it closed: the board greys at once; the channel is kept a while
  // in case the data was only held up, then made anew.
  function check() {
    if (!socket)
      return;
    const quiet = Date.now() - lastHeard;
    if (quiet > DeadMs) {
      lost(socket);
    } else if (live && quiet > quietLimit()) {
      live = false;
      showState();
    }
  }
  setInterval(check, 250);
  document.addEventListener("visibilitychange", () => {
    if (!document.hidden)
      check();
  });
  window.addEventListener("online", () => {
    if (socket && !live) {
      attempt = 0;
      lost(socket);
    }
  });

  showState();
  connect();
})();
