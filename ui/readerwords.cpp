#include "readerwords.h"

#include <QCoreApplication>

QString readerWords(Game::News what, const Game &game)
{
    auto tr = [](const char *text) { return QCoreApplication::translate("frmKalvor", text); };
    const std::vector<Call> &calls = game.calls();
    // No default: a new kind of news is a compile error here until it has its words.
    switch (what) {
    case Game::News::Calling:
        return tr("Calling");
    case Game::News::Stopped:
        // A key press empties a reader's queue, so the number the game stopped on is said again.
        return calls.empty() ? tr("Stopped") : tr("Stopped after %1").arg(calls.back().number);
    case Game::News::Paused:
        return tr("Paused");
    case Game::News::SoundOff:
        return tr("Sound off");
    case Game::News::SoundOn:
        return tr("Sound on");
    case Game::News::NewGame:
        return tr("New game");
    case Game::News::Resumed:
        // Where the resumed game stands, in the words of the question just answered.
        if (calls.empty())
            return tr("Game resumed");
        return (calls.size() == 1 ? tr("Game resumed, 1 number called, the last was %2")
                                  : tr("Game resumed, %1 numbers called, the last was %2").arg(calls.size()))
            .arg(calls.back().number);
    case Game::News::Claim:
        return tr("Checking a claim");
    }
    return QString();
}
