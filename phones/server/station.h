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
class QTcpSocket;
class QWebSocket;

// The players' server, on the server's thread: the page and its two assets from the
// program's resources, the board's snapshot, and the push channel (a WebSocket at /live)
// that carries every new snapshot; every other request is answered 404. It has no way to
// the game: what a phone sends is counted and dropped.
class Station : public QAbstractHttpServer
{
    Q_OBJECT

public:
    // A heartbeat on every push channel, so a page whose network holds data back knows
    // within seconds that what it shows may be old; a ping every few beats.
    static constexpr int BeatMs = 2000;
    static constexpr int BeatsAPing = 5;
    static constexpr int SilentMs = 35000;  // a phone that has not answered a ping for this long is gone

    // palette: the page's colours, as CSS custom properties.
    explicit Station(const QByteArray &palette, QObject *parent = nullptr);
    ~Station() override;

    // Listens on every address, IPv4 and IPv6, on the first free port from `first`; 0 when
    // none of `tries` ports is free.
    quint16 open(quint16 first, int tries);
    // Serves on a listening socket opened elsewhere, and closes it when it closes.
    bool adopt(qintptr listening);
    // Closes the port and drops every connection at once.
    void close();
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
        QPointer<QTcpSocket> wire; // its connection, which the boards are written to
        QDeadlineTimer fresh;      // until then, what it was last sent stands for a beat
        QDeadlineTimer silent;
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
    // Sends to a phone still reading; one that has left more than its share unread is
    // dropped instead, and catches up from a snapshot when it comes back.
    void send(QWebSocket *socket, const QString &text);
    // The same for a frame made once for every phone (a board, a beat).
    void send(Client &client, const QByteArray &bytes);
    struct Reply
    {
        int status;
        QByteArray body;
        QByteArray type;
        QByteArray caching;
    };
    // head: the headers alone (a HEAD request); last: the connection ends with it.
    void answer(QTcpSocket *socket, const Reply &reply, bool head, bool last);
    void countLater();
    void claimFrom(QWebSocket *socket, const QString &message);

    QPointer<Doorway> doorway;
    std::vector<Client> clients;
    QByteArray frame; // the latest board, as a frame
    QByteArray snapshot;
    std::vector<std::pair<QByteArray, Asset>> assets; // by path
    QTimer heartbeat{this};
    QTimer counting{this};
    int counted = -1;
    int beats = 0;
    bool ending = false; // the request left to the missing handler ends its connection
    // Claims from phones.
    ClaimDesk desk;
};
