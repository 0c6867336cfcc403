#pragma once

#include "game.h"
#include "randomsource.h"
#include "seams.h"

#include <QTimer>

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <random>
#include <vector>

// Test doubles for the game's seams. Each records what the game did to it.

class FakeBoard : public Board
{
public:
    void setrowcolwidth() override { ++sized; }
    void clear() override
    {
        ++cleared;
        marks.clear();
    }
    void fill() override { ++filled; }
    void marknumber(std::int16_t n) override { marks.push_back(n); }

    int sized = 0;
    int cleared = 0;
    int filled = 0;
    std::vector<int> marks;
};

class FakeControls : public Controls
{
public:
    QString startCaption() const override { return caption; }
    void setStartCaption(const QString &text) override { caption = text; }
    QString calledText() const override { return called; }
    void setCalledText(const QString &text) override { called = text; }
    void setCounterText(const QString &text) override { counter = text; }
    void setMuteChecked(bool checked) override { muteChecked = checked; }
    void setZoomText(const QString &text) override
    {
        zoomOpen = true; // a closed zoom window is re-created for the number
        zoom = text;
    }
    void closeZoom() override
    {
        ++zoomClosed;
        zoomOpen = false;
    }

    QString caption;
    QString called;
    QString counter;
    QString zoom;
    bool zoomOpen = false;
    bool muteChecked = false;
    int zoomClosed = 0;
};

// The game's repeating timer, as the window has it.
inline QTimer &timerOf(Game &game)
{
    return *game.findChild<QTimer *>(QStringLiteral("tmrRand"));
}

// The voice: what the game asked it to say, and each time calling went on or off.
class FakeVoice : public Announcer, public Greeter
{
public:
    void prepare() override { log << QStringLiteral("device WaveAudio"); }
    void announce(std::int16_t n) override { log << QStringLiteral("announce %1").arg(n); }
    void setCalling(bool on) override { calling.push_back(on); }
    void hush() override { ++hushes; }
    void greet() override { log << QStringLiteral("greet"); }

    QStringList log;
    std::vector<bool> calling;
    int hushes = 0;
};

class FakeQuestion : public Question
{
public:
    bool askYesNo(const QString &prompt, const QString &title) override
    {
        asked << prompt + QLatin1Char('|') + title;
        if (whileOpen)
            whileOpen();
        if (!answers.empty())
            return take();
        return decide ? decide(prompt) : true;
    }

    QStringList asked;
    std::deque<bool> answers;           // given first; then decide, or Yes
    std::function<bool(const QString &prompt)> decide;
    std::function<void()> whileOpen;    // runs while the box would be on screen

private:
    bool take()
    {
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }
};

class FakeQuitter : public Quitter
{
public:
    void endProgram() override { ++ended; }
    int ended = 0;
};

// Feeds given values first, then a fixed pseudo-random sequence; reseeding changes nothing,
// so a test sees the same orders every run.
class ScriptedRandom : public RandomSource
{
public:
    explicit ScriptedRandom(std::uint32_t seed = 1) : engine(seed) {}

    float next() override
    {
        ++draws;
        if (!script.empty()) {
            const float r = script.front();
            script.pop_front();
            return r;
        }
        return float(engine() >> 8) * (1.0f / 16777216.0f);
    }
    void reseed() override { ++reseeds; }

    std::deque<float> script;
    int draws = 0;
    int reseeds = 0;

private:
    std::mt19937 engine;
};

// A game wired to fakes and loaded, as the program starts it. seed: the fixed sequence's;
// first: values the first order is drawn from, before it.
struct GameRig
{
    explicit GameRig(std::uint32_t seed = 7, std::deque<float> first = {})
        : random(seed)
    {
        random.script = std::move(first);
        game.Form_Load();
    }

    const GameState &state() const { return game.state(); }
    void tick(int times = 1)
    {
        for (int i = 0; i < times; ++i)
            game.tmrRand_Timer();
    }

    FakeBoard board;
    FakeControls controls;
    FakeVoice voice;
    FakeQuestion question;
    FakeQuitter quitter;
    ScriptedRandom random;
    Game game{board, controls, voice, question, quitter, random};
};
