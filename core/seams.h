#pragma once

#include <QString>

#include <cstdint>
#include <functional>

class QObject;

struct GameRecord;

// The narrow seams through which the game reaches the windows, the voice and the
// program's end. The windows implement them; tests replace them.

// The board grid of the main window.
class Board
{
public:
    virtual ~Board() = default;
    // Sizes every row and column; once, at start-up.
    virtual void setrowcolwidth() = 0;
    // Every cell loses its text and per-cell format; sizes stay.
    virtual void clear() = 0;
    // Writes 1 to 90 into rows 0 to 8 in the plain format; the current cell ends on 90.
    virtual void fill() = 0;
    // Makes n's cell the current cell and gives it the called-number look.
    virtual void marknumber(std::int16_t n) = 0;
};

// The main window's controls that the game writes and reads.
class Controls
{
public:
    virtual ~Controls() = default;
    virtual QString startCaption() const = 0;          // cmdStart
    virtual void setStartCaption(const QString &caption) = 0;
    virtual QString calledText() const = 0;            // txtgen
    virtual void setCalledText(const QString &text) = 0;
    virtual void setCounterText(const QString &text) = 0; // txtCtr
    virtual void setMuteChecked(bool checked) = 0;     // mnuMute's check mark
    // The zoom window's number; a closed zoom window is re-created hidden for it.
    virtual void setZoomText(const QString &text) = 0;
    virtual void closeZoom() = 0;
};

// The caller's voice, in the game's terms: which player, device and file speak a number
// is the sound layer's business.
class Announcer
{
public:
    virtual ~Announcer() = default;
    // The first step of every tick, also when nothing is called: the announcement player
    // is set to its wave-audio device.
    virtual void prepare() = 0;
    // Speaks number n from its recording; a missing or unplayable one is silent.
    virtual void announce(std::int16_t n) = 0;
    // Numbers are being called with sound on: the sound output is kept open while this
    // holds and let go soon after it ends.
    virtual void setCalling(bool calling) = 0;
    // Silences at once whatever is sounding: the host switched the sound off, or the
    // program ends.
    virtual void hush() = 0;
};

// The information window's greeting, played whatever the sound switch says.
class Greeter
{
public:
    virtual ~Greeter() = default;
    virtual void greet() = 0;
};

// A modal Yes/No question with the question icon, Yes the default button.
class Question
{
public:
    virtual ~Question() = default;
    virtual bool askYesNo(const QString &prompt, const QString &title) = 0;
};

// Ends the program at once: every window closes and no further handler runs.
class Quitter
{
public:
    virtual ~Quitter() = default;
    virtual void endProgram() = 0;
};

// Where the game in progress is kept, so that a crash or a power cut does not lose it.
class Keeper
{
public:
    virtual ~Keeper() = default;
    // The game an earlier run left in progress, if there is one; record.behind when that
    // run went on after it could no longer keep the game.
    virtual bool interrupted(GameRecord &record) = 0;
    // Keeps this record in place of the last one; never waits for the disk.
    virtual void keep(const GameRecord &record) = 0;
    // told gets why the game is not being kept, in words for the host, each time that
    // changes, and an empty text once it is kept again; it runs on context's thread and
    // never after context is gone. A keeper that cannot fail tells nothing.
    virtual void watch(QObject *context, std::function<void(const QString &why)> told)
    {
        Q_UNUSED(context)
        Q_UNUSED(told)
    }
};
