#pragma once

#include "gamestate.h"
#include "prize.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

// One number called: its place in the game, the number, and when (UTC, milliseconds since
// 1970).
struct Call
{
    int position = 0;
    std::int16_t number = 0;
    qint64 time = 0;

    bool operator==(const Call &other) const
    {
        return position == other.position && number == other.number && time == other.time;
    }
};

// What is kept of a game so that it can be resumed and its calls shown in order: the
// order, how far it went, the interval, the sound switch and every call with its time.
struct GameRecord
{
    static constexpr int Version = 1;
    // What the record holds is bounded where it comes into the game, so that the largest
    // record the program can write (about 40 KB) reads back; a whole game with its calls
    // and a few winners is about 3 KB.
    static constexpr int MaxBytes = 64 * 1024;
    static constexpr int MaxTicketChars = 64; // a code, or "typed:" and up to 15 numbers: at most 50
    static constexpr int MaxWins = 300;      // shares of a prize included

    std::array<std::int16_t, GameState::Numbers + 1> callorder{}; // indexed 1 to 90
    int callpos = 1;
    int callcount = 0;
    int interval = 1200; // milliseconds
    std::int16_t soundflag = 1;
    bool ended = false; // by the host: No to the continue question or Yes to Exit
    prizes::Set prizes = prizes::Tambola; // the prizes this game plays
    std::vector<Call> calls;
    std::vector<Win> wins; // in the order they were accepted
    // Not in the text: the keeper's word that the run which left this record went on
    // calling after its writes failed, so the game may have gone further than this.
    bool behind = false;

    // A game the host may be offered to resume: numbers called, more to come, not ended.
    bool inProgress() const { return !ended && callcount >= 1 && callcount < GameState::Numbers; }

    // The record as text, one fact a line; the same record gives the same bytes anywhere.
    QByteArray text() const;

    // Whether this ticket's wins, however many prizes it takes at once, can be added to
    // the wins so far and the record still read back.
    static bool canRecord(const QString &ticket, std::size_t winsSoFar);

    enum class Reading { Read, Damaged, Newer };
    // Reads a record written by text(); on failure says why in a few words.
    static Reading read(const QByteArray &text, GameRecord &record, QString &why);
};
