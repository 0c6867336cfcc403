#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

class Game;

// The game as the players' phones see it: one small JSON text holding everything the page
// shows (the calls, the state in a word, the sound switch, the prizes still to win and the
// winners), made again once after any change and handed on. It only reads the game.
class BoardFeed : public QObject
{
    Q_OBJECT

public:
    explicit BoardFeed(const Game &game, QObject *parent = nullptr);

    QByteArray snapshot() const { return latest; }
    // The game as it stands now, as the page reads it.
    static QByteArray of(const Game &game, quint64 sequence);
    // A change waiting for the coalescing pass is handed on now.
    void flush();

Q_SIGNALS:
    // A new snapshot; several changes in one pass of the event loop make one.
    void changed(const QByteArray &snapshot);

private:
    void refresh();

    const Game &game;
    QByteArray latest;
    quint64 sequence = 0;
    QTimer pending; // coalesces the several signals of one tick
};
