#pragma once

#include "claimdesk.h"
#include "relay.h"
#include "relaylink.h"

#include <QElapsedTimer>
#include <QLibrary>
#include <QObject>
#include <QStringList>

#include <atomic>
#include <deque>
#include <memory>
#include <set>

class BoardFeed;
class BooksInPlay;
class Game;
class PhoneClaims;

// Share Beyond the Hall: while on, the caller publishes the board, the books in play and the
// host's verdicts through an MQTT broker for players anywhere, and takes their claims into
// the same list as the hall's phones, admitted by the same desk. The network runs on the
// relay's own thread: a broker down, slow or refusing never reaches the window's thread. The
// relay is a plugin, loaded the first time it is used. The private key and the settings live
// in the state folder, private to the user.
class RelaySharing : public QObject
{
    Q_OBJECT

public:
    // The claims a broker's players may send the host in a minute, all tickets together: a
    // player on the broker has no address of its own, so a flood is bounded here and per ticket.
    static constexpr int ClaimsPerMinute = 60;
    static constexpr int MaxWaiting = 64; // claims read from the broker, not yet judged
    // Claims from the broker's players are counted by ticket: this stands before its code in
    // the place of a phone's address.
    static constexpr const char *FromRelay = "broker:";

    RelaySharing(const Game &game, PhoneClaims &claims, BooksInPlay &books, const QByteArray &palette,
                 QObject *parent = nullptr);
    ~RelaySharing() override;

    const RelaySettings &settings() const { return kept; }
    // Kept in the state folder (0600); false, with why, when it cannot be written.
    bool setSettings(const RelaySettings &settings, QString &why);

    bool on() const { return relay != nullptr; }
    // Starts or stops publishing; false, with why, when the settings are not enough, the key
    // cannot be kept, or the plugin cannot be loaded.
    bool setOn(bool on, QString &why);
    Relay::State state() const { return current; }
    // Seconds until the next attempt, while waiting for one.
    int retryIn() const;
    // On and connected: the players are being reached.
    bool reaching() const { return on() && current.link == Relay::Link::Connected; }
    // The players' pages following, as the broker counts its clients; -1 when it does not say.
    int players() const { return following; }
    // The state line: "Connected: players are being reached", "Reconnecting in 4 s: Connection
    // refused", ...; empty while off.
    QString stateWords() const;
    // Claims turned away since sharing started because too many came at once.
    int turnedAway() const { return refused; }

    // The game's public key (made the first time), empty with why when it cannot be.
    QByteArray publicKey(QString &why);
    // The players' link, with tickets when given; empty with why when there is no key.
    QString link(const QStringList &tickets, QString &why);
    // Writes the page for a static host, for the players' broker of these settings.
    bool exportPage(const QString &folder, QString &why);
    static bool exportPage(const QString &folder, const QString &players, const QByteArray &palette, QString &why);
    // The books in play to the broker's players: when sharing starts and whenever they change.
    void readBooks();

    // The state folder's files.
    static QString keyPath();
    static QString settingsPath();

Q_SIGNALS:
    // On or off, the link's state, the players' count or the claims turned away: read again.
    void changed();

private:
    bool loadRelay(QString &why);
    void claimed(const QByteArray &message);
    void published(const QByteArray &snapshot);

    const Game &game;
    PhoneClaims &claims;
    BooksInPlay &books;
    QByteArray palette;
    RelaySettings kept;
    QLibrary plugin;
    CreateRelay create = nullptr;
    RelayPublicKey publicKeyOf = nullptr;
    RelayPage pageFiles = nullptr;
    QByteArray seed;
    QByteArray key;
    Relay *relay = nullptr;
    BoardFeed *feed = nullptr;
    ClaimDesk desk;
    Relay::State current;
    QElapsedTimer since; // when the state last changed
    int following = -1;
    int refused = 0;
    std::deque<qint64> recent;      // the last minute's claims, all tickets together
    std::set<QString> verdicts;     // tickets with a verdict kept on the broker this game
    std::shared_ptr<std::atomic<int>> waiting = std::make_shared<std::atomic<int>>(0);
    int generation = 0; // of the relay now on: what an earlier one queued is dropped
};
