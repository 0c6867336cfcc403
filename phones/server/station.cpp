#include "station.h"

#include "doorway.h"
#include "listening.h"

#include <QFile>
#include <QHttpServerRequest>
#include <QHostAddress>
#include <QDateTime>
#include <QTcpSocket>
#include <QWebSocket>

#include <algorithm>

#include <unistd.h>


static void loadPage()
{
    Q_INIT_RESOURCE(page);
}

Station::Station(const QByteArray &palette, QObject *parent)
    : QAbstractHttpServer(parent)
{
    loadPage();
    auto read = [](const QString &name) {
        QFile file(QStringLiteral(":/phones/") + name);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    };
    assets.push_back({"/", {read(QStringLiteral("index.html")), "text/html; charset=utf-8"}});
    assets.push_back({"/page.css", {palette + read(QStringLiteral("page.css")), "text/css; charset=utf-8"}});
    assets.push_back({"/page.js", {read(QStringLiteral("page.js")), "text/javascript; charset=utf-8"}});
    assets.push_back({"/icon.svg", {read(QStringLiteral("icon.svg")), "image/svg+xml"}});
    // The players' own tickets: rebuilt from their codes, marked, and claimed from the page.
    assets.push_back({"/tickets.js", {read(QStringLiteral("tickets.js")), "text/javascript; charset=utf-8"}});
    assets.push_back({"/mytickets.js", {read(QStringLiteral("mytickets.js")), "text/javascript; charset=utf-8"}});
    assets.push_back({"/tickets.css", {read(QStringLiteral("tickets.css")), "text/css; charset=utf-8"}});
    heartbeat.setInterval(BeatMs);
    connect(&heartbeat, &QTimer::timeout, this, &Station::beat);
    counting.setSingleShot(true);
    counting.setInterval(1000);
    connect(&counting, &QTimer::timeout, this, [this] {
        const int now = int(std::count_if(clients.begin(), clients.end(), [](const Client &c) { return !c.socket.isNull(); }));
        if (now != counted) {
            counted = now;
            Q_EMIT phonesChanged(now);
        }
    });
    connect(this, &QAbstractHttpServer::newWebSocketConnection, this, &Station::welcome);
}

Station::~Station()
{
    close();
}

quint16 Station::open(quint16 first, int tries)
{
    // A hall arriving at once waits in the kernel, not in retries.
    const Listening listening = Listening::onFirstFree(first, tries, Doorway::MaxConnections / 2);
    return listening.descriptor >= 0 && adopt(listening.descriptor) ? listening.port : 0;
}

bool Station::adopt(qintptr listening)
{
    auto *door = new Doorway(this);
    if (!door->setSocketDescriptor(listening)) {
        delete door;
        ::close(int(listening));
        return false;
    }
    doorway = door;
    bind(door);
    heartbeat.start();
    return true;
}

void Station::close()
{
    heartbeat.stop();
    counting.stop();
    // The push channels first: each holds its connection's socket, which the doorway owns.
    for (Client &client : clients) {
        if (client.socket) {
            client.socket->abort();
            delete client.socket;
        }
    }
    clients.clear();
    delete doorway;
    if (counted > 0) {
        counted = 0;
        Q_EMIT phonesChanged(0);
    }
}

void Station::publish(const QByteArray &board)
{
    snapshot = board;
    frame = Doorway::textFrame(board);
    desk.follow(board, QDateTime::currentMSecsSinceEpoch());
    for (Client &client : clients) {
        if (client.socket)
            send(client, frame);
    }
}

void Station::send(Client &client, const QByteArray &bytes)
{
    if (bytes.size() < 2)
        return;
    if (!client.wire) {
        // Not one the doorway opened (there is none): through the channel itself.
        const int length = bytes[1] & 0x7f;
        send(client.socket, QString::fromUtf8(bytes.mid(length == 126 ? 4 : length == 127 ? 10 : 2)));
        return;
    }
    if (client.wire->bytesToWrite() > Doorway::Backlog) {
        drop(client.socket);
    } else if (client.socket->state() == QAbstractSocket::ConnectedState) {
        Doorway::deliver(client.wire, bytes);
        client.fresh.setRemainingTime(BeatMs / 2);
    }
}

void Station::send(QWebSocket *socket, const QString &text)
{
    if (socket->bytesToWrite() > Doorway::Backlog)
        drop(socket);
    else if (socket->state() == QAbstractSocket::ConnectedState)
        socket->sendTextMessage(text);
}

void Station::welcome()
{
    while (hasPendingWebSocketConnections()) {
        QWebSocket *socket = nextPendingWebSocketConnection().release();
        socket->setParent(this);
        // Only the page's own channel: the doorway has let through no other, and none from
        // another site's page (its Host and Origin).
        if (socket->requestUrl().path() != QLatin1String(Doorway::LivePath)) {
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated);
            socket->deleteLater();
            continue;
        }
        QTcpSocket *wire = doorway ? doorway->opened(socket->peerAddress(), socket->peerPort()) : nullptr;
        socket->setMaxAllowedIncomingFrameSize(Doorway::MaxFrame);
        socket->setMaxAllowedIncomingMessageSize(Doorway::MaxFrame);
        socket->setReadBufferSize(4 * Doorway::MaxFrame);
        Client client;
        client.socket = socket;
        client.wire = wire;
        client.silent.setRemainingTime(SilentMs);
        // One phone, however many channels it opens: an IPv4 address the same however it came.
        bool v4 = false;
        const QHostAddress peer = socket->peerAddress();
        const quint32 four = peer.toIPv4Address(&v4);
        client.address = v4 ? QHostAddress(four).toString() : peer.toString();
        clients.push_back(client);
        // Every frame a phone sends is counted as it arrives, by the doorway; here each
        // says the phone is still there.
        auto heard = [this, socket] {
            auto it = std::find_if(clients.begin(), clients.end(), [socket](const Client &c) { return c.socket == socket; });
            if (it != clients.end())
                it->silent.setRemainingTime(SilentMs);
        };
        connect(socket, &QWebSocket::pong, this, heard);
        connect(socket, &QWebSocket::textMessageReceived, this, heard);
        connect(socket, &QWebSocket::binaryMessageReceived, this, heard);
        connect(socket, &QWebSocket::disconnected, this, [this, socket] { drop(socket); });
        connect(socket, &QWebSocket::textMessageReceived, this,
                [this, socket](const QString &message) { claimFrom(socket, message); });
        send(clients.back(), frame);
        countLater();
    }
}

void Station::beat()
{
    static const QByteArray Beat = Doorway::textFrame("{\"beat\":true}");
    const bool ping = ++beats % BeatsAPing == 0;
    for (Client &client : clients) {
        if (!client.socket)
            continue;
        if (client.silent.hasExpired()) {
            drop(client.socket);
            continue;
        }
        if (ping)
            client.socket->ping();
        // A board sent a moment ago says as much as a beat: while calling, the calls are
        // the beats, and a phone hears something at least every beat and a half.
        if (client.fresh.hasExpired())
            send(client, Beat);
    }
    clients.erase(std::remove_if(clients.begin(), clients.end(), [](const Client &c) { return c.socket.isNull(); }),
                  clients.end());
}

void Station::drop(QWebSocket *socket)
{
    for (Client &client : clients) {
        if (client.socket == socket) {
            client.socket = nullptr;
        }
    }
    socket->abort();
    socket->deleteLater();
    countLater();
}

void Station::countLater()
{
    if (!counting.isActive())
        counting.start();
}

bool Station::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    const QByteArray path = request.url().path(QUrl::FullyEncoded).toLatin1();
    // Qt HttpServer asks before it makes a push channel of a request: only the page's own,
    // which the doorway has already found sound.
    if (!request.value("Upgrade").isEmpty())
        return path == Doorway::LivePath;
    const bool last = Doorway::answered(socket);
    const bool head = request.method() == QHttpServerRequest::Method::Head;
    if (request.method() != QHttpServerRequest::Method::Get && !head)
        return false;
    if (path == "/snapshot") {
        answer(socket, {200, snapshot, "application/json", "no-store"}, head, last);
        return true;
    }
    for (const auto &[where, asset] : assets) {
        if (where == path) {
            answer(socket, {200, asset.body, asset.type, "no-cache"}, head, last);
            return true;
        }
    }
    // Not ours: the missing handler answers, and the connection ends if it was to.
    ending = last;
    return false;
}

void Station::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket)
{
    const bool last = std::exchange(ending, false) || Doorway::answered(socket);
    answer(socket, {404, "Not found\n", "text/plain; charset=utf-8", "no-store"},
           request.method() == QHttpServerRequest::Method::Head, last);
}

void Station::answer(QTcpSocket *socket, const Reply &reply, bool head, bool last)
{
    // Written whole in one go: the guarded headers with every answer, the body but for HEAD.
    QByteArray text = "HTTP/1.1 " + QByteArray::number(reply.status) + (reply.status == 200 ? " OK\r\n" : " Not Found\r\n");
    for (const auto &[name, value] : Doorway::Guarded)
        text += QByteArray(name) + ": " + value + "\r\n";
    text += "Content-Type: " + reply.type + "\r\nCache-Control: " + reply.caching + "\r\nContent-Length: "
        + QByteArray::number(reply.body.size()) + "\r\n";
    if (last)
        text += "Connection: close\r\n";
    text += "\r\n";
    if (!head)
        text += reply.body;
    socket->write(text);
    if (last)
        socket->disconnectFromHost();
}

// Claims from phones: judged here, on the server's thread; only what the desk admits goes
// on to the host, and every claim gets its answer on its own channel.
void Station::claimFrom(QWebSocket *socket, const QString &message)
{
    const QByteArray text = message.left(ClaimDesk::MaxMessage + 1).toUtf8();
    auto it = std::find_if(clients.begin(), clients.end(), [socket](const Client &c) { return c.socket == socket; });
    if (it == clients.end())
        return;
    if (text == ClaimDesk::BooksAsked && !it->tickets) {
        it->tickets = true;
        send(socket, QString::fromUtf8(desk.booksMessage()));
        return;
    }
    // A page tells the tickets it holds on every channel it opens: their verdicts follow.
    if (ClaimDesk::heldTickets(message.left(Doorway::MaxFrame).toUtf8(), it->holds)) {
        for (const QString &code : it->holds) {
            for (const QByteArray &verdict : desk.verdictsFor(code))
                send(socket, QString::fromUtf8(verdict));
        }
        return;
    }
    if (!ClaimDesk::isClaim(text))
        return;
    const ClaimDesk::Answer answer = desk.admit(it->address, text, QDateTime::currentMSecsSinceEpoch());
    send(socket, QString::fromUtf8(answer.text()));
    if (answer.status == 202)
        Q_EMIT claimed(answer.claim);
}

void Station::setBooks(const std::vector<BookList::Book> &books)
{
    desk.setBooks(books);
    const QString text = QString::fromUtf8(desk.booksMessage());
    for (Client &client : clients) {
        if (client.socket && client.tickets)
            send(client.socket, text);
    }
}

void Station::tellVerdict(const QString &code, const QByteArray &message)
{
    desk.keepVerdict(code, message);
    const QString text = QString::fromUtf8(message);
    for (Client &client : clients) {
        if (client.socket && std::find(client.holds.begin(), client.holds.end(), code) != client.holds.end())
            send(client.socket, text);
    }
}
