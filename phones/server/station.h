#pragma once

#include "claimdesk.h"

#include <QAbstractHttpServer>
#include <QByteArray>
#include <QDeadlineTimer>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <vector>

class Doorway;
class QWebSocket;

// The players' server, on the server's thread: the page and its two assets from the
// program's resources, the board's snapshot, and the push channel (a WebSocket at /live)
// that carries every new snapshot; every other request is answered 404. It has no way to
// the game: what a phone sends is counted and dropped.
class Station : public QAbstractHttpServer
{
    Q_OBJECT

public:
    static constexpr int BeatMs = 10000;    // a heartbeat on every push channel, so a page can tell a dead one
    static constexpr int SilentMs = 35000;  // a phone that has not answered a ping for this long is gone
    static constexpr qint64 Backlog = 256 * 1024; // unsent bytes a phone may leave waiting before it is dropped
    static constexpr int MaxIncoming = 1024;      // the most a phone may send in one message
    static constexpr int MaxMessages = 20;        // ... and in messages between two heartbeats

    // palette: the page's colours, as CSS custom properties.
    explicit Station(const QByteArray &palette, QObject *parent = nullptr);
    ~Station() override;

    // Listens on every address, IPv4 and IPv6, on the first free port from `first`; 0 when
    // none of `tries` ports is free.
    quint16 open(quint16 first, int tries);
    // Closes the port and drops every connection at once.
    void close();
    // The listening socket, to be shut from another thread when this one is busy.
    qintptr listener() const;
    void publish(const QByteArray &snapshot);

    // Claims from phones: the books they may come from (sent to every page that asks), and a
    // verdict for a ticket, to every page holding it now or when it comes back this game.
    void setBooks(const std::vector<BookList::Book> &books);
    void tellVerdict(const QString &code, const QByteArray &message);

Q_SIGNALS:
    // The phones following the game, at most once a second.
    void phonesChanged(int phones);
    // A claim the desk admitted, for the host's list.
    void claimed(const PhoneClaim &claim);

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    struct Client
    {
        QPointer<QWebSocket> socket;
        QDeadlineTimer silent;
        int messages = 0;
        bool tickets = false; // a page with tickets, which wants the books in play
        QString address;      // the phone's, whose claims are counted whatever its channel
        std::vector<QString> holds; // the tickets its page holds, for their verdicts
    };
    struct Asset
    {
        QByteArray body;
        QByteArray type;
    };

    void welcome();
    void beat();
    void drop(QWebSocket *socket);
    void answer(const QHttpServerRequest &request, QTcpSocket *socket, int status, const QByteArray &body,
                const QByteArray &type, const QByteArray &caching);
    void countLater();
    void claimFrom(QWebSocket *socket, const QString &message);

    QPointer<Doorway> doorway;
    std::vector<Client> clients;
    QString latest;
    QByteArray snapshot;
    std::vector<std::pair<QByteArray, Asset>> assets; // by path
    QTimer heartbeat{this};
    QTimer counting{this};
    int counted = -1;
    // Claims from phones.
    ClaimDesk desk;
};
