#include "station.h"

#include "doorway.h"

#include <QFile>
#include <QHttpServerRequest>
#include <QHostAddress>
#include <QHttpServerResponder>
#include <QDateTime>
#include <QTcpSocket>
#include <QWebSocket>

#include <algorithm>


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
    for (int i = 0; i < tries; ++i) {
        auto *door = new Doorway(this);
        door->setListenBacklogSize(Doorway::MaxConnections / 2); // a hall arriving at once waits in the kernel, not in retries
        if (door->listen(QHostAddress::Any, quint16(first + i))) {
            doorway = door;
            bind(door);
            heartbeat.start();
            return door->serverPort();
        }
        delete door;
    }
    return 0;
}

qintptr Station::listener() const
{
    return doorway ? doorway->socketDescriptor() : -1;
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
    latest = QString::fromUtf8(board);
    desk.follow(board, QDateTime::currentMSecsSinceEpoch());
    for (Client &client : clients) {
        if (!client.socket)
            continue;
        // A phone that stopped reading holds up nothing: it is dropped, and catches up
        // from a snapshot when it comes back.
        if (client.socket->bytesToWrite() > Backlog)
            drop(client.socket);
        else
            client.socket->sendTextMessage(latest);
    }
}

void Station::welcome()
{
    while (hasPendingWebSocketConnections()) {
        QWebSocket *socket = nextPendingWebSocketConnection().release();
        socket->setParent(this);
        // Only the page's own channel, from the page itself.
        const QUrl url = socket->requestUrl();
        const QUrl origin(socket->origin());
        const bool ours = url.path() == QLatin1String(Doorway::LivePath)
            && (socket->origin().isEmpty()
                || (origin.host() == url.host() && origin.port(80) == url.port(80) && origin.scheme() == QLatin1String("http")));
        if (!ours) {
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated);
            socket->deleteLater();
            continue;
        }
        if (doorway)
            doorway->opened(socket->peerAddress(), socket->peerPort());
        socket->setMaxAllowedIncomingFrameSize(MaxIncoming);
        socket->setMaxAllowedIncomingMessageSize(MaxIncoming);
        socket->setReadBufferSize(4 * MaxIncoming);
        Client client;
        client.socket = socket;
        client.silent.setRemainingTime(SilentMs);
        // One phone, however many channels it opens: an IPv4 address the same however it came.
        bool v4 = false;
        const QHostAddress peer = socket->peerAddress();
        const quint32 four = peer.toIPv4Address(&v4);
        client.address = v4 ? QHostAddress(four).toString() : peer.toString();
        clients.push_back(client);
        auto heard = [this, socket](bool message) {
            auto it = std::find_if(clients.begin(), clients.end(), [socket](const Client &c) { return c.socket == socket; });
            if (it == clients.end())
                return;
            it->silent.setRemainingTime(SilentMs);
            if (message && ++it->messages > MaxMessages)
                drop(socket);
        };
        connect(socket, &QWebSocket::pong, this, [heard] { heard(false); });
        connect(socket, &QWebSocket::textMessageReceived, this, [heard] { heard(true); });
        connect(socket, &QWebSocket::binaryMessageReceived, this, [heard] { heard(true); });
        connect(socket, &QWebSocket::disconnected, this, [this, socket] { drop(socket); });
        // After the count above, which may have dropped a flood.
        connect(socket, &QWebSocket::textMessageReceived, this,
                [this, socket](const QString &message) { claimFrom(socket, message); });
        socket->sendTextMessage(latest);
        countLater();
    }
}

void Station::beat()
{
    static const QString Beat = QStringLiteral("{\"beat\":true}");
    for (Client &client : clients) {
        if (!client.socket)
            continue;
        if (client.silent.hasExpired() || client.socket->bytesToWrite() > Backlog) {
            drop(client.socket);
            continue;
        }
        client.messages = 0;
        client.socket->ping();
        client.socket->sendTextMessage(Beat);
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
    Doorway::answered(socket);
    if (request.method() != QHttpServerRequest::Method::Get)
        return false;
    const QByteArray path = request.url().path(QUrl::FullyEncoded).toLatin1();
    // Qt HttpServer asks before it makes a push channel of a request: only the page's own.
    if (!request.value("Upgrade").isEmpty())
        return path == Doorway::LivePath;
    if (path == "/snapshot") {
        answer(request, socket, 200, snapshot, "application/json", "no-store");
        return true;
    }
    for (const auto &[where, asset] : assets) {
        if (where == path) {
            answer(request, socket, 200, asset.body, asset.type, "no-cache");
            return true;
        }
    }
    return false;
}

void Station::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket)
{
    Doorway::answered(socket);
    answer(request, socket, 404, "Not found\n", "text/plain; charset=utf-8", "no-store");
}

void Station::answer(const QHttpServerRequest &request, QTcpSocket *socket, int status, const QByteArray &body,
                     const QByteArray &type, const QByteArray &caching)
{
    QHttpServerResponder responder = makeResponder(request, socket);
    responder.writeStatusLine(QHttpServerResponder::StatusCode(status));
    for (const auto &[name, value] : Doorway::Guarded)
        responder.writeHeader(name, value);
    responder.writeHeader("Content-Type", type);
    responder.writeHeader("Cache-Control", caching);
    responder.writeHeader("Content-Length", QByteArray::number(body.size()));
    responder.writeBody(body);
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
        socket->sendTextMessage(QString::fromUtf8(desk.booksMessage()));
        return;
    }
    // A page tells the tickets it holds on every channel it opens: their verdicts follow.
    if (ClaimDesk::heldTickets(message.left(Station::MaxIncoming).toUtf8(), it->holds)) {
        for (const QString &code : it->holds) {
            for (const QByteArray &verdict : desk.verdictsFor(code))
                socket->sendTextMessage(QString::fromUtf8(verdict));
        }
        return;
    }
    if (!ClaimDesk::isClaim(text))
        return;
    const ClaimDesk::Answer answer = desk.admit(it->address, text, QDateTime::currentMSecsSinceEpoch());
    socket->sendTextMessage(QString::fromUtf8(answer.text()));
    if (answer.status == 202)
        Q_EMIT claimed(answer.claim);
}

void Station::setBooks(const std::vector<BookList::Book> &books)
{
    desk.setBooks(books);
    const QString text = QString::fromUtf8(desk.booksMessage());
    for (Client &client : clients) {
        if (client.socket && client.tickets)
            client.socket->sendTextMessage(text);
    }
}

void Station::tellVerdict(const QString &code, const QByteArray &message)
{
    desk.keepVerdict(code, message);
    const QString text = QString::fromUtf8(message);
    for (Client &client : clients) {
        if (client.socket && std::find(client.holds.begin(), client.holds.end(), code) != client.holds.end())
            client.socket->sendTextMessage(text);
    }
}
