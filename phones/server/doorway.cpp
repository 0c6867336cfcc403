#include "doorway.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTcpSocket>

#include <algorithm>
#include <cstring>

#include <sys/ioctl.h>

namespace {
constexpr int MethodLength = 16;
constexpr int ReadBuffer = 64 * 1024; // what one read may take in before the head is judged
constexpr int ClosingMs = 2000;       // a refused connection's answer gets this long to leave
constexpr int SilentMs = 2000;        // a connection that said nothing this long may make room
constexpr int HandshakeMs = 10000;    // a push channel asked for must be open within this

bool tokenChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
        || (c != 0 && std::strchr("!#$%&'*+-.^_`|~", c));
}

QByteArray refusal(int status, const char *reason)
{
    QByteArray answer = QByteArray("HTTP/1.1 ") + QByteArray::number(status) + ' ' + reason
        + "\r\nContent-Length: 0\r\nConnection: close\r\n";
    for (const auto &[name, value] : Doorway::Guarded)
        answer += QByteArray(name) + ": " + value + "\r\n";
    return answer + "\r\n";
}
} // namespace

const std::pair<const char *, const char *> Doorway::Guarded[6] = {
    {"Content-Security-Policy", "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
                                "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'"},
    {"X-Content-Type-Options", "nosniff"},
    {"X-Frame-Options", "DENY"},
    {"Referrer-Policy", "no-referrer"},
    {"Cross-Origin-Resource-Policy", "same-origin"},
    {"Cross-Origin-Opener-Policy", "same-origin"},
};

// One connection's keeper, a child of its socket: it lives and dies with the socket, so the
// count of open connections cannot drift, whatever Qt HttpServer does with the socket.
class Watch : public QObject
{
    Q_OBJECT

public:
    Watch(QTcpSocket *socket, Doorway *doorway)
        : QObject(socket)
        , socket(socket)
        , doorway(doorway)
    {
        ++doorway->count;
        idle.setRemainingTime(Doorway::IdleMs);
        age.start();
        // Connected before Qt HttpServer's own reader, so a head is judged before it is parsed.
        connect(socket, &QTcpSocket::readyRead, this, &Watch::heard);
    }
    ~Watch() override
    {
        if (doorway)
            --doorway->count;
    }

    void heard()
    {
        if (refused || pushing || !socket->isOpen())
            return;
        const qint64 room = Doorway::MaxHead + 1 - head.size();
        head += socket->peek(std::min(socket->bytesAvailable(), std::max<qint64>(room, 0)));
        switch (Doorway::judge(head)) {
        case Doorway::Head::Malformed:
            refuse(refusal(400, "Bad Request"));
            break;
        case Doorway::Head::TooLarge:
            refuse(refusal(431, "Request Header Fields Too Large"));
            break;
        case Doorway::Head::Whole:
            upgrading();
            break;
        case Doorway::Head::Partial:
            break;
        }
    }

    // Qt HttpServer makes a push channel of any request that asks for one: only the page's
    // own path may, and its connection is then the station's to time out.
    void upgrading()
    {
        const int blank = int(head.indexOf("\r\n\r\n"));
        if (!head.left(blank).toLower().contains("\r\nupgrade:"))
            return;
        const int from = int(head.indexOf(' ')) + 1;
        if (head.mid(from, int(head.indexOf(' ', from)) - from) == Doorway::LivePath)
            pushing = true;
        else
            refuse(refusal(404, "Not Found"));
    }

    void refuse(const QByteArray &answer)
    {
        refused = true;
        // Nobody reads this connection again: Qt HttpServer's reader is cut off with ours.
        QObject::disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
        socket->write(answer);
        socket->disconnectFromHost();
        idle.setRemainingTime(ClosingMs);
    }

    // Nothing heard since it came, a while ago: a browser asks at once. Or it asked for a
    // push channel a while ago and never got one (a handshake that failed).
    bool silent() const
    {
        if (!age.hasExpired(SilentMs) || (pushing ? channel : !head.isEmpty() || answeredOnce))
            return false;
        // What it sent may wait unread while the server is busy: that is not silence.
        int waiting = 0;
        return socket->bytesAvailable() == 0 && ::ioctl(int(socket->socketDescriptor()), FIONREAD, &waiting) == 0
            && waiting == 0;
    }

    // Past its time: a silent connection, a refused one whose client does not read, or a
    // push channel that never opened. An open channel is the station's to time out.
    bool expired() const
    {
        if (channel)
            return false;
        return pushing ? age.hasExpired(HandshakeMs) : idle.hasExpired();
    }
    void end()
    {
        socket->abort();
        socket->deleteLater();
    }

    QTcpSocket *socket;
    QPointer<Doorway> doorway;
    QByteArray head;
    QDeadlineTimer idle;
    QElapsedTimer age;
    bool answeredOnce = false;
    bool refused = false;
    bool pushing = false; // asked for the push channel
    bool channel = false; // ... and has it
};

Doorway::Doorway(QObject *parent)
    : QTcpServer(parent)
{
    setMaxPendingConnections(MaxConnections);
    sweeper.setInterval(1000);
    connect(&sweeper, &QTimer::timeout, this, &Doorway::sweep);
    sweeper.start();
}

Doorway::~Doorway()
{
    for (const QPointer<Watch> &watch : watches) {
        if (watch)
            watch->doorway = nullptr;
    }
}

void Doorway::incomingConnection(qintptr descriptor)
{
    auto *socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    if (count >= MaxConnections)
        evictOne();
    if (count >= MaxConnections) {
        // Every place is a phone's push channel: turned away before Qt HttpServer sees it.
        socket->write(refusal(503, "Service Unavailable"));
        socket->disconnectFromHost();
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(ClosingMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        return;
    }
    socket->setReadBufferSize(ReadBuffer);
    // A call is one small write to each phone: sent at once, never held back for an ack.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    watches.emplace_back(new Watch(socket, this));
    addPendingConnection(socket);
}

void Doorway::answered(QTcpSocket *socket)
{
    if (auto *watch = socket->findChild<Watch *>(QString(), Qt::FindDirectChildrenOnly)) {
        watch->head.clear();
        watch->answeredOnce = true;
        watch->idle.setRemainingTime(IdleMs);
    }
}

void Doorway::opened(const QHostAddress &peer, quint16 port)
{
    for (const QPointer<Watch> &watch : watches) {
        if (watch && watch->pushing && watch->socket->peerPort() == port && watch->socket->peerAddress() == peer) {
            watch->channel = true;
            return;
        }
    }
}

void Doorway::evictOne()
{
    // Room is made by the oldest connection that said nothing yet or was already refused,
    // else by the oldest that is not a phone's push channel: a crowd of silent or hostile
    // connections cannot keep a player's page from loading.
    for (const bool anyButPhones : {false, true}) {
        for (const QPointer<Watch> &watch : watches) {
            if (watch && !watch->channel && (anyButPhones || watch->refused || watch->silent())) {
                QTcpSocket *socket = watch->socket;
                socket->abort();
                delete socket;
                return;
            }
        }
    }
}

void Doorway::sweep()
{
    watches.erase(std::remove_if(watches.begin(), watches.end(),
                                 [](const QPointer<Watch> &watch) {
                                     if (!watch)
                                         return true;
                                     if (!watch->expired())
                                         return false;
                                     watch->end();
                                     return true;
                                 }),
                  watches.end());
}

Doorway::Head Doorway::judge(const QByteArray &head)
{
    // The request line: METHOD SP /target SP HTTP/1.x CRLF, judged as far as it has come.
    const int size = int(head.size());
    int i = 0;
    while (i < size && head[i] >= 'A' && head[i] <= 'Z')
        ++i;
    if (i > MethodLength || (i < size && (i == 0 || head[i] != ' ')))
        return Head::Malformed;
    if (i == size)
        return Head::Partial;
    ++i;
    if (i < size && head[i] != '/')
        return Head::Malformed;
    while (i < size && head[i] > ' ' && head[i] < 127)
        ++i;
    if (i < size && head[i] != ' ')
        return Head::Malformed;
    if (i == size)
        return size > MaxHead ? Head::TooLarge : Head::Partial;
    ++i;
    const QByteArray version = head.mid(i, 10);
    const QByteArray http11("HTTP/1.1\r\n");
    const QByteArray http10("HTTP/1.0\r\n");
    if (!http11.startsWith(version) && !http10.startsWith(version))
        return Head::Malformed;
    if (version.size() < 10)
        return Head::Partial;
    i += 10;
    // Header lines: a name of token characters, a colon, a value of visible characters.
    for (;;) {
        const int end = int(head.indexOf("\r\n", i));
        if (end == i)
            return size > MaxHead ? Head::TooLarge : Head::Whole; // the blank line: the head is whole
        const int stop = end < 0 ? size : end;
        int j = i;
        while (j < stop && tokenChar(head[j]))
            ++j;
        if (j < stop && (j == i || head[j] != ':'))
            return Head::Malformed;
        for (int k = j; k < stop; ++k) {
            const char c = head[k];
            if ((c < ' ' && c != '\t' && !(c == '\r' && k == size - 1)) || c == 127)
                return Head::Malformed;
        }
        if (end < 0)
            return size > MaxHead ? Head::TooLarge : Head::Partial;
        i = end + 2;
    }
}

#include "doorway.moc"
