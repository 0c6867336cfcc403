#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QUrl>

// Players anywhere: where the caller and the players reach the broker, and what the game's
// link holds. The link is the game's whole identity: the page's address, then after # the
// players' broker (b), the caller's public key (k) and, for a player dealt tickets, their
// codes (t). The game's topic comes from the key, so a host keeps one link for a weekly game.
struct RelaySettings
{
    static constexpr quint16 CallerPort = 1883;
    static constexpr quint16 PlayersPort = 9001;
    static constexpr int MaxText = 300; // any one setting
    static constexpr qint64 MaxFileSize = 16 * 1024;

    QString host;          // the caller's way to the broker
    quint16 port = CallerPort;
    bool tls = false;
    QString user;
    QString password;      // kept in the state folder (0600), never in the link or a log
    QString players;       // the players' browsers reach the broker here: "wss://bingo.example.org:8081"
    QString page;          // and the page here: "https://bingo.example.org:8081/"

    // Empty players and page addresses stand for the broker's own WebSocket listener, which
    // also serves the page (Mosquitto's http_dir).
    QString playersAddress() const;
    QString pageAddress() const;

    // Whether the settings are enough to connect; if not, why, for the host.
    bool usable(QString &why) const;

    QByteArray text() const;
    static bool parse(const QByteArray &bytes, RelaySettings &settings, QString &why);
    bool operator==(const RelaySettings &other) const;
};

namespace relaylink {
// The game's topic: "tabro-kalvor/" and the public key in base64url, without padding.
QByteArray topicOf(const QByteArray &publicKey);
// A players' broker address the page may use: ws or wss, a host, no user, query or fragment.
bool brokerAddress(const QString &text, QUrl &url, QString &why);
// The players' link; tickets: codes as printed.
QString playersLink(const QString &page, const QString &players, const QByteArray &publicKey,
                    const QStringList &tickets = {});
// The exported page's Content-Security-Policy: its own files, and exactly its broker.
QString contentPolicy(const QUrl &players);
// The hall's index.html made into the exported one: paths relative to the page, the policy
// and the broker named, the broker's client and the relay's transport loaded before the page.
QByteArray exportedIndex(const QByteArray &hallIndex, const QUrl &players);
// Writes the page's files into folder (made if missing), each whole or not at all; page.css
// gets the palette in front, as the hall's server gives it.
bool writePage(const QString &folder, const QList<QPair<QString, QByteArray>> &files, const QByteArray &palette,
               const QUrl &players, QString &why);
} // namespace relaylink
