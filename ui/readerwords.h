#pragma once

#include "game.h"

#include <QString>

#include <vector>

struct PhoneClaim;

// What a screen reader hears of the game's news, in the host's words: "Calling", "Stopped
// after 42", "Game resumed, 47 numbers called, the last was 64".
QString readerWords(Game::News what, const Game &game);

// A call as a reader hears it from Calls So Far: "71, call 36", the number first, as the next
// call may cut it short; with its time when the host asks for it, "71, call 36, at 19 54 and
// 17 seconds" (a reader would say "colon" in 19:54:17).
QString spokenCall(const Call &call, bool withTime = false);

// A ticket's code as a reader says it, one character at a time in the groups printed, so a
// host can repeat it to the player: "T C 6, 2 2 2 A, V"; a book alone as "W 3 V". Anything
// else is said as it is.
QString spokenCode(const QString &code);
// A ticket a claim names, as a reader says it: "ticket T C 6, 2 2 2 A, V", or "typed 4 17 23"
// for one typed in.
QString spokenTicket(const QString &label);

// A line a window shows, made fit for a reader's voice: a colon before a space or at the end,
// and a dash between spaces, become a pause, where readers would say "colon" and "dash".
QString spokenLine(const QString &line);

// A claim from a phone as a reader hears it in the host's list: "Top Line, ticket T C 6,
// 2 2 2 A, V, call 22".
QString spokenClaim(const PhoneClaim &claim);

// What a host asking "what did I miss?" hears: the claims from phones waiting, the game not
// being kept, and where the game stands. Said from the game as it is now, so nothing settled
// or mended since is said.
QString missedWords(const Game &game, const std::vector<PhoneClaim> &waiting);
