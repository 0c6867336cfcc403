#pragma once

#include "gamestate.h"

#include <QWidget>

#include <functional>

// The game for the room, on the hall's big screen: the number just called as large as the
// screen allows, the count of calls, the last five numbers (newest first) and the whole
// board with the called numbers marked. It holds nothing of its own: every paint reads the
// game. On a second screen it fills that screen and leaves the focus with the host's
// window; with one screen it fills it and takes the keys (Space starts and stops the
// calling, Escape closes it).
class HallDisplay : public QWidget
{
    Q_OBJECT

public:
    // startStop presses the main window's Start/Stop button.
    HallDisplay(const GameState &game, std::function<void()> startStop, QWidget *owner);

    // Fills the screen that is not the main window's (the largest, if several), or the
    // main window's own when there is no other.
    void place(const QScreen *hostScreen);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    const GameState &game;
    std::function<void()> startStop;
};
