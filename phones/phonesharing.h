#pragma once

#include "phoneserver.h"

#include <QByteArray>
#include <QLibrary>
#include <QObject>
#include <QStringList>
#include <QThread>

class BoardFeed;
class BooksInPlay;
class Game;
class PhoneClaims;

// Share With Phones: while on, the board is served to the players' phones on the hall's
// own network, from a thread of its own, fed with snapshots made from the game's signals;
// off, the port is closed before setOn returns and every phone dropped on the server's
// thread, which setOn never waits for, whatever the crowd. Nothing a phone sends reaches
// the game, and no network stall reaches the window's thread. The server itself is a
// plugin, loaded the first time sharing starts.
class PhoneSharing : public QObject
{
    Q_OBJECT

public:
    static constexpr quint16 FirstPort = 8090; // then the next free one
    static constexpr int Ports = 10;

    // books: the books whose tickets may claim; palette: the page's colours, as CSS custom
    // properties.
    PhoneSharing(const Game &game, BooksInPlay &books, const QByteArray &palette, QObject *parent = nullptr);
    ~PhoneSharing() override;

    bool on() const { return sharing; }
    quint16 port() const { return listening; }
    // Starts or stops serving; false when no port could be opened, or the server could not
    // be loaded (then unavailable() is true, and why was said on the error output).
    bool setOn(bool on);
    bool unavailable() const { return missing; }
    // Where phones find the page, the hall's network first: "http://192.168.1.20:8090/".
    QStringList addresses() const;
    int phones() const { return following; }

    // The claims the phones sent, waiting for the host; kept while sharing is off.
    PhoneClaims &claims() { return *claimList; }

Q_SIGNALS:
    void sharingChanged(bool on);
    // The phones following the game, at most once a second.
    void phonesChanged(int phones);

private:
    // The server's plugin, loaded once; false, with `missing` set, when it cannot be.
    bool loadServer();
    // The books in play, to the server.
    void sendBooks();

    const Game &game;
    BooksInPlay &books;
    QByteArray palette;
    QThread thread;
    QObject *home = new QObject; // lives on the server's thread: what runs there runs through it
    QLibrary plugin;
    bool missing = false;
    CreatePhoneServer create = nullptr;
    PhoneAddresses findAddresses = nullptr;
    PhoneServer *server = nullptr; // made, used and deleted on the server's thread only
    BoardFeed *feed = nullptr;
    bool sharing = false;
    quint64 generation = 0; // each time sharing starts: what an earlier server says is old
    quint16 listening = 0;
    int listener = -1;
    int following = 0;
    PhoneClaims *claimList;
};
