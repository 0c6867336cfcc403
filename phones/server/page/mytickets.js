// The player's own tickets on the phone: typed by their code (or opened from the link a
// ticket's QR code gives, /#t=CODE), rebuilt here by the program's own generator, marked as
// the numbers are called, and claimed from here when a prize in play is complete. They are
// kept on this phone only; the caller keeps nothing per player. Only books the caller
// printed are taken, and the caller checks every claim again.
"use strict";
const MyTickets = (() => {
  const Kept = "tk-tickets";
  const MaxTickets = 12;
  const FullHouses = ["full-house", "second-full-house", "third-full-house"];
  const $ = (id) => document.getElementById(id);

  let books = null;    // the books in play, once the caller has said
  let board = null;    // the last board
  let socket = null;   // the push channel, to send claims on
  let game = null;     // the game the claims below were made in
  const tickets = [];  // {code, book, cells, view, said, claims: {prize key: {call, words}}}
  const waiting = [];  // codes typed before the caller said which books are in play

  // The section, after the board.
  const section = document.createElement("section");
  section.className = "tickets";
  section.setAttribute("aria-label", "My tickets");
  section.innerHTML =
    '<h2>My tickets</h2>' +
    '<form id="addTicket" autocomplete="off"><label for="ticketCode">Ticket code</label>' +
    '<input id="ticketCode" maxlength="20" autocapitalize="characters" spellcheck="false" placeholder="K7Q-2A4F-X">' +
    '<button id="addButton">Add</button></form>' +
    '<p id="ticketNews" class="news" role="status"></p><div id="ticketList"></div>';
  const prizesSection = document.querySelector(".prizes");
  prizesSection.parentNode.insertBefore(section, prizesSection);

  function keep() {
    try {
      localStorage.setItem(Kept, JSON.stringify(tickets.map((t) => t.code)));
    } catch (e) { /* private browsing: the tickets last as long as the page */ }
  }

  function news(words) {
    $("ticketNews").textContent = words;
  }

  // A prize by its key, in the words the caller gives it.
  function named(key) {
    return (board && board.names && board.names[key]) || key;
  }

  // The caller sends each ticket's verdicts to every page holding it, now or when it comes back.
  function hold() {
    if (socket && socket.readyState === WebSocket.OPEN)
      socket.send(JSON.stringify({ hold: tickets.map((t) => t.code) }));
  }

  // A code typed or linked: refused with a word, or drawn and kept.
  function add(typed, quiet) {
    const read = Tickets.read(typed);
    if (read.why) {
      if (!quiet) news(read.why);
      return false;
    }
    if (tickets.some((t) => t.code === read.code)) {
      if (!quiet) news("Ticket " + read.code + " is here already.");
      return false;
    }
    if (books === null) {
      if (!waiting.includes(read.code)) waiting.push(read.code);
      if (!quiet) news("Ticket " + read.code + ": waiting for the caller…");
      return true;
    }
    if (!books.includes(read.book)) {
      if (!quiet) news("Book " + read.book + " was not printed by this caller.");
      return false;
    }
    if (tickets.length >= MaxTickets) {
      if (!quiet) news("A phone holds " + MaxTickets + " tickets: remove one first.");
      return false;
    }
    const ticket = { code: read.code, book: read.book, cells: read.cells, said: "", told: "", claims: {} };
    ticket.view = draw(ticket);
    tickets.push(ticket);
    keep();
    hold();
    if (!quiet) news("Ticket " + read.code + " added.");
    mark(ticket);
    return true;
  }

  function remove(ticket) {
    const at = tickets.indexOf(ticket);
    if (at >= 0) tickets.splice(at, 1);
    ticket.view.root.remove();
    keep();
    hold();
    news("Ticket " + ticket.code + " removed.");
  }

  function draw(ticket) {
    const root = document.createElement("article");
    root.className = "ticket";
    root.dataset.code = ticket.code;
    const head = document.createElement("h3");
    head.textContent = "Ticket " + ticket.code;
    const grid = document.createElement("table");
    grid.setAttribute("aria-label", "Ticket " + ticket.code);
    const cells = [];
    for (const row of ticket.cells) {
      const line = grid.insertRow();
      for (const n of row) {
        const cell = line.insertCell();
        cell.textContent = n ? String(n) : "";
        if (!n) cell.className = "empty";
        cells.push({ n, cell });
      }
    }
    // Not a live region of its own: twelve of them would speak at every call. What matters
    // to the player (claim now, a verdict) is told once, in the section's news.
    const status = document.createElement("p");
    status.className = "status";
    const actions = document.createElement("div");
    actions.className = "actions";
    const drop = document.createElement("button");
    drop.className = "remove";
    drop.textContent = "Remove";
    drop.setAttribute("aria-label", "Remove ticket " + ticket.code);
    drop.addEventListener("click", () => remove(ticket));
    root.append(head, grid, status, actions, drop);
    $("ticketList").appendChild(root);
    return { root, cells, status, actions };
  }

  // When each prize of the ticket was completed: the call, or 0 while it is not.
  function completions(cells, calls) {
    const at = new Map(calls.map((n, i) => [n, i + 1]));
    const when = (numbers) => {
      let last = 0;
      for (const n of numbers) {
        if (!at.has(n)) return 0;
        last = Math.max(last, at.get(n));
      }
      return last;
    };
    const rows = cells.map((row) => row.filter((n) => n));
    const all = rows.flat();
    const called = all.map((n) => at.get(n) || 0).filter((c) => c).sort((a, b) => a - b);
    const lines = rows.map(when).filter((c) => c).sort((a, b) => a - b);
    const done = {
      "early-five": called.length >= 5 ? called[4] : 0,
      "top-line": when(rows[0]),
      "middle-line": when(rows[1]),
      "bottom-line": when(rows[2]),
      "four-corners": when([rows[0][0], rows[0][4], rows[2][0], rows[2][4]]),
      "one-line": lines.length >= 1 ? lines[0] : 0,
      "two-lines": lines.length >= 2 ? lines[1] : 0,
    };
    for (const name of FullHouses) done[name] = when(all);
    return done;
  }

  // The prizes this ticket may claim now: still to win, or won at this very call by another
  // ticket (shared).
  function open(b, code) {
    const last = b.calls.length;
    const names = new Set(b.toWin);
    for (const w of b.winners) if (w.call === last && w.ticket !== code) names.add(w.prize);
    // A ticket that won a full house takes none of the others.
    if (b.winners.some((w) => w.ticket === code && FullHouses.includes(w.prize)))
      for (const name of FullHouses) names.delete(name);
    // The full houses are one claim: the first still to win.
    const firstHouse = FullHouses.find((name) => names.has(name));
    for (const name of FullHouses) if (name !== firstHouse) names.delete(name);
    return names;
  }

  function mark(ticket) {
    if (!board) return;
    const calls = board.calls;
    const lit = new Set(calls);
    const newest = calls.length ? calls[calls.length - 1] : 0;
    for (const { n, cell } of ticket.view.cells) {
      if (!n) continue;
      const on = lit.has(n);
      const name = n === newest ? "new" : on ? "lit" : "";
      if (cell.className !== name) {
        cell.className = name;
        cell.setAttribute("aria-label", on ? n + ", called" : String(n));
      }
    }
    const last = calls.length;
    const done = completions(ticket.cells, calls);
    const now = [];
    const late = [];
    for (const name of open(board, ticket.code)) {
      if (!done[name]) continue;
      (done[name] === last ? now : late).push(name);
    }
    // A ticket of a book no longer in play is marked but not claimed from here.
    const playing = books === null || books.includes(ticket.book);
    let words = "";
    if (!playing) words = "Book " + ticket.book + " is not in play in this game.";
    else if (now.length) words = now.map(named).join(" and ") + " complete: claim now!";
    else if (late.length) words = late.map(named).join(" and ") + " complete, but not at the last call: too late to claim.";
    const verdicts = Object.entries(ticket.claims).filter(([, c]) => c.words);
    const answers = verdicts.map(([, c]) => c.words).join(" · ");
    if (verdicts.length) words = answers + (words ? " · " + words : "");
    const urgent = [answers, playing && now.length ? now.join(" and ") + " complete: claim now!" : ""]
      .filter((w) => w).join(" · ");
    if (urgent !== ticket.told) {
      ticket.told = urgent;
      if (urgent) news("Ticket " + ticket.code + ": " + urgent);
    }
    if (words !== ticket.said) {
      ticket.said = words;
      ticket.view.status.textContent = words;
      ticket.view.root.classList.toggle("complete", now.length > 0 && playing);
    }
    const wanted = playing ? now.filter((name) => !(ticket.claims[name] && ticket.claims[name].call === last)) : [];
    const shown = [...ticket.view.actions.children].map((button) => button.dataset.prize);
    if (shown.join() !== wanted.join()) {
      ticket.view.actions.textContent = "";
      for (const name of wanted) {
        const button = document.createElement("button");
        button.className = "claim";
        button.dataset.prize = name;
        button.textContent = "Claim " + named(name);
        button.addEventListener("click", () => claim(ticket, name));
        ticket.view.actions.appendChild(button);
      }
    }
  }

  function claim(ticket, prize) {
    if (!socket || socket.readyState !== WebSocket.OPEN) {
      news("Not connected to the caller: call out your claim.");
      return;
    }
    // The call it is made at goes with it: a claim that crosses the next call is still on time.
    const call = board.calls.length;
    ticket.claims[prize] = { call, words: named(prize) + ": claim sent…" };
    socket.send(JSON.stringify({ claim: ticket.code, prize, call }));
    mark(ticket);
  }

  // The caller's answers: the books in play, and what became of a claim.
  function heard(message, ws) {
    if (ws !== socket) {
      socket = ws;
      ws.send('{"books":"?"}');
      hold();
    }
    if (Array.isArray(message.books)) {
      books = message.books.map(String);
      for (const code of waiting.splice(0)) add(code, false);
      for (const ticket of tickets) mark(ticket);
      return true;
    }
    if (typeof message.claim === "string") {
      const ticket = tickets.find((t) => t.code === message.claim);
      if (!ticket) return true;
      const prize = message.prize || Object.keys(ticket.claims).find((p) => /sent…$/.test(ticket.claims[p].words));
      if (!prize) return true;
      const call = typeof message.call === "number" ? message.call : 0;
      const record = ticket.claims[prize] || (ticket.claims[prize] = { call });
      // A verdict told again (the page came back) never replaces one of a later claim.
      if (call < record.call) return true;
      record.call = call || record.call;
      const name = named(prize);
      if (message.verdict) record.words = /^Valid/.test(message.verdict) ? message.verdict : name + ": " + message.verdict;
      else if (message.status === 202) record.words = name + ": claim sent, waiting for the host";
      else record.words = name + ": " + (message.why || "refused");
      mark(ticket);
      return true;
    }
    return false;
  }

  function follow(b) {
    board = b;
    // A new game: what was said of the last one's claims stands no more.
    if (b.game !== game) {
      if (game !== null) for (const ticket of tickets) ticket.claims = {};
      game = b.game;
    }
    for (const ticket of tickets) mark(ticket);
  }

  $("addTicket").addEventListener("submit", (event) => {
    event.preventDefault();
    if (add($("ticketCode").value, false)) $("ticketCode").value = "";
  });

  let kept = [];
  try {
    kept = JSON.parse(localStorage.getItem(Kept) || "[]");
  } catch (e) { /* nothing kept, or not readable */ }
  // Kept tickets were in play when added: drawn at once, their books checked when known.
  for (const code of Array.isArray(kept) ? kept.slice(0, MaxTickets) : []) {
    const read = Tickets.read(code);
    if (read.why || tickets.some((t) => t.code === read.code)) continue;
    const ticket = { code: read.code, book: read.book, cells: read.cells, said: "", told: "", claims: {} };
    ticket.view = draw(ticket);
    tickets.push(ticket);
  }
  // A ticket's QR code opens the page with the ticket: /#t=CODE.
  function followLink() {
    let hash = "";
    try {
      hash = decodeURIComponent(location.hash);
    } catch (e) { /* not a link of ours */ }
    const linked = /^#t=([-0-9A-Za-z ]{1,20})$/.exec(hash);
    if (linked) {
      add(linked[1], false);
      history.replaceState(null, "", location.pathname);
    }
  }
  followLink();
  // Another ticket's link opened in the same tab changes only the address's fragment.
  window.addEventListener("hashchange", followLink);

  return { heard, follow, add, tickets: () => tickets.map((t) => t.code) };
})();
