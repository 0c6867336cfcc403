#pragma once

#include "game.h"

#include <QString>

// What a screen reader hears of the game's news, in the host's words: "Calling", "Stopped
// after 42", "Game resumed, 47 numbers called, the last was 64".
QString readerWords(Game::News what, const Game &game);
