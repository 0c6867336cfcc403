#pragma once

#include "clipstore.h"
#include "clockrandomsource.h"
#include "frmkalvor.h"
#include "numbertext.h"
#include "procstatus.h"
#include "announcements.h"

#include <QApplication>
#include <QLineEdit>

#include <future>
#include <set>

// The real main window playing whole games as fast as the machine allows: the timer's
// handler is called directly, every continue question is answered Yes, the zoom window
// follows the calls (so every game closes it and the next call makes it again), and the
// voice reads the shipped recordings into a counting output.
class Soak
{
public:
    class CountingOutput : public AudioOutput
    {
    public:
        int sampleRate() const override { return 0; }
        void play(const ClipPtr &) override { ++plays; }
        void setReady(bool) override {}
        void stop() override {}
        long plays = 0;
    };

    // The program's end never comes in a soak.
    class NeverQuit : public Quitter
    {
    public:
        void endProgram() override {}
    };

    // Answers Yes and only counts, so the soak itself does not grow.
    class CountingYes : public Question
    {
    public:
        bool askYesNo(const QString &, const QString &) override
        {
            ++asked;
            return true;
        }
        long asked = 0;
    };

    Soak()
    {
        // Every recording read before the first game, as a host's first call finds them:
        // the store works in order, so what is queued after the reading comes back after it.
        clips.preload(QCoreApplication::applicationDirPath(), 0);
        std::promise<void> read;
        std::future<void> done = read.get_future();
        clips.convert(nullptr, 0, [&read](const ClipPtr &) { read.set_value(); });
        done.wait();
        game.mnuZoom_Click();
        counterBox = window.findChild<QLineEdit *>(QStringLiteral("txtCtr"));
        QObject::connect(&game, &Game::numberCalled, [this](int n) { called.push_back(n); });
    }

    // Plays one game to its end; returns an empty string or what went wrong.
    QString playGame()
    {
        if (window.startCaption() != QStringLiteral("&Start"))
            return QStringLiteral("the button does not offer Start before the game");
        called.clear();
        game.cmdStart_Click();
        for (int call = 1; call <= 90; ++call) {
            game.tmrRand_Timer();
            if (int(called.size()) != call)
                return QStringLiteral("call %1 did not call a number").arg(call);
            if (counterBox->text() != numberText(call))
                return QStringLiteral("call %1 shows the count %2").arg(call).arg(counterBox->text());
        }
        const std::set<int> distinct(called.begin(), called.end());
        if (distinct.size() != 90 || *distinct.begin() != 1 || *distinct.rbegin() != 90)
            return QStringLiteral("the game did not call each of 1 to 90 exactly once");
        if (game.state().callpos != 1 || game.state().callcount != 0 || game.state().running != 0)
            return QStringLiteral("the new game was not prepared");
        // What the event loop would do between games: deliver the posted events and discard
        // the windows the new game closed.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ++games;
        return QString();
    }

    int objectCount() const { return int(window.findChildren<QObject *>().size()); }
    static int windowCount() { return int(QApplication::topLevelWidgets().size()); }

    static long residentKb() { return procStatusKb("VmRSS"); }

    ClipStore clips;
    CountingOutput output;
    Announcements voice{clips, output, QCoreApplication::applicationDirPath()};
    CountingYes question;
    NeverQuit quitter;
    ClockRandomSource random;
    Game game{voice, question, quitter, random};
    frmKalvor window{game, voice};
    QLineEdit *counterBox = nullptr;
    std::vector<int> called;
    long games = 0;
};
