#include "doorway.h"

#include <QDeadlineTimer>
#include <QEvent>
#include <QNetworkInterface>
#include <QSocketNotifier>
#include <QSysInfo>
#include <QTcpSocket>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <sys/ioctl.h>
#include <sys/socket.h>

namespace {
constexpr int MethodLength = 16;
constexpr int ReadBuffer = 64 * 1024; // what one read may take in before the head is judged
constexpr int ClosingMs = 2000;       // a refused connection's answer gets this long to leave
constexpr int SilentMs = 2000;        // a connection that said nothing this long may make room
constexpr int HandshakeMs = 10000;    // a push channel asked for must be open within this
constexpr int NamesMs = 1000;         // the computer's names are looked up again at most this often
constexpr int ChannelBuffer = 4 * Doorway::MaxFrame; // what an open channel holds read at most

bool tokenChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
        || (c != 0 && std::strchr("!#$%&'*+-.^_`|~", c));
}

bool digits(const QByteArray &text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

const char *reason(int status)
{
    switch (status) {
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 413: return "Content Too Large";
    case 417: return "Expectation Failed";
    case 421: return "Misdirected Request";
    case 426: return "Upgrade Required";
    case 431: return "Request Header Fields Too Large";
    case 503: return "Service Unavailable";
    default: return "Refused";
    }
}

// A whole head read into its parts: the request line and the header fields, names in lower
// case. Judged well formed already.
struct Request
{
    QByteArray method;
    QByteArray target;
    QByteArray version;
    std::vector<std::pair<QByteArray, QByteArray>> fields;

    static Request of(const QByteArray &head)
    {
        Request request;
        const int blank = int(head.indexOf("\r\n\r\n"));
        const QList<QByteArray> lines = head.left(blank).split('\n');
        const QList<QByteArray> first = lines.first().trimmed().split(' ');
        request.method = first.value(0);
        request.target = first.value(1);
        request.version = first.value(2);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const int colon = int(lines[i].indexOf(':'));
            request.fields.emplace_back(lines[i].left(colon).toLower(), lines[i].mid(colon + 1).trimmed());
        }
        return request;
    }
    int count(const char *name) const
    {
        return int(std::count_if(fields.begin(), fields.end(), [name](const auto &f) { return f.first == name; }));
    }
    QByteArray value(const char *name) const
    {
        for (const auto &[field, value] : fields) {
            if (field == name)
                return value;
        }
        return QByteArray();
    }
    // A comma-separated list (Connection) naming a token, in any case.
    bool lists(const char *name, const char *token) const
    {
        for (const auto &[field, value] : fields) {
            if (field != name)
                continue;
            for (const QByteArray &item : value.split(','))
                if (item.trimmed().toLower() == token)
                    return true;
        }
        return false;
    }
};

// The frames a phone sends on its push channel, read from their headers as the bytes come:
// each one counts, whatever its kind, and the rules every client frame must keep are kept.
class FrameReader
{
public:
    enum class Verdict { Fine, Unmasked, TooLarge };

    // Reads on through the bytes; frames counts every header completed.
    Verdict feed(const char *data, qint64 size)
    {
        for (qint64 i = 0; i < size;) {
            if (skip > 0) {
                const qint64 take = std::min<qint64>(skip, size - i);
                skip -= quint64(take);
                i += take;
                continue;
            }
            header[have++] = uchar(data[i++]);
            if (have < 2)
                continue;
            // A client masks every frame it sends: one that does not is no client of ours.
            if (!(header[1] & 0x80))
                return Verdict::Unmasked;
            const int length = header[1] & 0x7f;
            const int extra = length == 126 ? 2 : length == 127 ? 8 : 0;
            if (have < 2 + extra + 4)
                continue;
            quint64 payload = quint64(length);
            if (extra > 0) {
                payload = 0;
                for (int k = 0; k < extra; ++k)
                    payload = (payload << 8) | header[2 + k];
            }
            ++frames;
            have = 0;
            if (payload > quint64(Doorway::MaxFrame))
                return Verdict::TooLarge;
            skip = payload;
        }
        return Verdict::Fine;
    }

    int frames = 0;

private:
    uchar header[14] = {};
    int have = 0;
    quint64 skip = 0; // payload bytes still to pass over
};
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

QByteArray Doorway::answer(int status)
{
    QByteArray body;
    QByteArray answer = QByteArray("HTTP/1.1 ") + QByteArray::number(status) + ' ' + reason(status) + "\r\n";
    if (status == 503) {
        // A phone's browser shows this as it is: a word to the player, not an error code.
        body = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
               "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
               "<title>The caller's room is full</title></head>\n"
               "<body><h1>The caller's room is full: try again in a minute</h1></body></html>\n";
        answer += "Content-Type: text/html; charset=utf-8\r\nRetry-After: 60\r\nCache-Control: no-store\r\n";
    } else if (status == 405) {
        answer += "Allow: GET, HEAD\r\n";
    } else if (status == 426) {
        answer += "Sec-WebSocket-Version: 13\r\n";
    }
    answer += "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n";
    for (const auto &[name, value] : Guarded)
        answer += QByteArray(name) + ": " + value + "\r\n";
    return answer + "\r\n" + body;
}

Doorway::Names Doorway::Names::ofThisComputer()
{
    return {QNetworkInterface::allAddresses(), QSysInfo::machineHostName().toLower()};
}

bool Doorway::ours(const QByteArray &host, quint16 port, const Names &names)
{
    QByteArray name = host.toLower();
    QByteArray portText;
    bool portGiven = false;
    if (name.startsWith('[')) {
        const int close = int(name.indexOf(']'));
        if (close < 0)
            return false;
        const QByteArray rest = name.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(':'))
            return false;
        portGiven = !rest.isEmpty();
        portText = rest.mid(1);
        name = name.mid(1, close - 1);
    } else if (const int colon = int(name.lastIndexOf(':')); colon >= 0) {
        portGiven = true;
        portText = name.mid(colon + 1);
        name = name.left(colon);
    }
    if (portGiven && (!digits(portText) || portText.size() > 5 || portText.toUInt() != port))
        return false;
    if (name.endsWith('.'))
        name.chop(1);
    if (name.isEmpty())
        return false;
    QHostAddress address;
    if (address.setAddress(QString::fromLatin1(name))) {
        if (address.protocol() == QAbstractSocket::IPv6Protocol && !host.startsWith('['))
            return false;
        for (QHostAddress own : names.addresses) {
            own.setScopeId(QString());
            if (own.isEqual(address, QHostAddress::TolerantConversion))
                return true;
        }
        return false;
    }
    // The host name as the machine has it, its first label, and that label on the local
    // network's own domain (what a phone resolves by multicast DNS).
    const QString text = QString::fromLatin1(name);
    if (text == QLatin1String("localhost"))
        return true;
    if (names.host.isEmpty())
        return false;
    const QString label = names.host.section(QLatin1Char('.'), 0, 0);
    return text == names.host || text == label || text == label + QLatin1String(".local");
}

int Doorway::refusal(const QByteArray &head, quint16 port)
{
    const Request request = Request::of(head);
    // Only the hall's own names: a page of another site that the browser was made to send
    // here under that site's name (DNS rebinding) is turned away before anything is read.
    const int hosts = request.count("host");
    if (hosts > 1 || (hosts == 0 && request.version == "HTTP/1.1"))
        return 400;
    if (hosts == 1) {
        const QByteArray host = request.value("host");
        if (!ours(host, port, names)) {
            if (!namesAge.isValid() || namesAge.hasExpired(NamesMs)) {
                names = Names::ofThisComputer();
                namesAge.start();
            }
            if (!ours(host, port, names))
                return 421;
        }
    }
    if (request.method != "GET" && request.method != "HEAD")
        return 405;
    // The server takes no request body: it is refused at once rather than waited for.
    const int lengths = request.count("content-length");
    const QByteArray length = request.value("content-length");
    if (lengths > 1 || (lengths == 1 && !digits(length)))
        return 400;
    if (request.count("transfer-encoding") > 0 || (lengths == 1 && length.toULongLong() > 0))
        return 413;
    if (request.count("expect") > 0)
        return 417;
    if (request.count("upgrade") == 0)
        return 0;
    // A push channel: asked for as RFC 6455 says, or answered now.
    if (request.target != LivePath)
        return 404;
    if (request.version != "HTTP/1.1" || request.method != "GET" || request.value("upgrade").toLower() != "websocket"
        || !request.lists("connection", "upgrade"))
        return 400;
    // Only the page itself opens it: another site's page, with the browser's own Origin,
    // is turned away before the handshake, as is a second Origin.
    const int origins = request.count("origin");
    if (origins > 1 || (origins == 1 && request.value("origin").toLower() != "http://" + request.value("host").toLower()))
        return 403;
    if (request.value("sec-websocket-version") != "13")
        return 426;
    const QByteArray key = request.value("sec-websocket-key");
    if (request.count("sec-websocket-key") != 1 || QByteArray::fromBase64(key).size() != 16 || key.size() != 24)
        return 400;
    return 0;
}

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
            refuse(400);
            break;
        case Doorway::Head::TooLarge:
            refuse(431);
            break;
        case Doorway::Head::Whole:
            whole();
            break;
        case Doorway::Head::Partial:
            break;
        }
    }

    // A whole head: refused here, or left to Qt HttpServer, which makes a push channel of
    // any request that asks for one, so only a sound request for the page's own may.
    void whole()
    {
        if (!doorway)
            return;
        if (const int status = doorway->refusal(head, socket->localPort())) {
            refuse(status);
            return;
        }
        const int blank = int(head.indexOf("\r\n\r\n"));
        const QByteArray fields = head.left(blank).toLower();
        pushing = fields.contains("\r\nupgrade:");
        // HTTP/1.0 ends with its answer unless it asked to be kept; anyone may ask to end.
        const bool old = fields.split('\r').first().endsWith("http/1.0");
        closing = old ? !fields.contains("\r\nconnection: keep-alive") : fields.contains("\r\nconnection: close");
    }

    void refuse(int status)
    {
        refused = true;
        // Nobody reads this connection again: Qt HttpServer's reader is cut off with ours.
        QObject::disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
        socket->write(Doorway::answer(status));
        socket->disconnectFromHost();
        idle.setRemainingTime(ClosingMs);
    }

    // The push channel is open. Qt WebSockets reads the connection as soon as Qt has read
    // it from the network, and answers pings by itself, so its frames are read here one
    // step earlier: when the network has bytes for it, before Qt takes them, the doorway
    // looks at them in the network's own buffer and lets Qt take exactly those.
    void listen()
    {
        channel = true;
        idle.setRemainingTime(Doorway::FrameWindowMs);
        const auto notifiers = socket->findChildren<QSocketNotifier *>();
        for (QSocketNotifier *notifier : notifiers) {
            if (notifier->type() == QSocketNotifier::Read)
                notifier->installEventFilter(this);
        }
        // A client may send nothing before it has the server's answer to its handshake.
        if (socket->bytesAvailable() > 0)
            later(1002);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::SockAct)
            return QObject::eventFilter(watched, event);
        if (ended)
            return true; // nothing is read any more: the channel is going
        if (idle.hasExpired()) {
            idle.setRemainingTime(Doorway::FrameWindowMs);
            counted = frames.frames;
        }
        const qint64 room = ChannelBuffer - socket->bytesAvailable();
        if (room <= 0)
            return false;
        QByteArray bytes(room, Qt::Uninitialized);
        const ssize_t got = ::recv(int(socket->socketDescriptor()), bytes.data(), std::size_t(room), MSG_PEEK | MSG_DONTWAIT);
        if (got <= 0)
            return false; // the end of the connection, or nothing: Qt's to see
        switch (frames.feed(bytes.constData(), got)) {
        case FrameReader::Verdict::Unmasked:
            return later(1002);
        case FrameReader::Verdict::TooLarge:
            return later(1009);
        case FrameReader::Verdict::Fine:
            break;
        }
        // Every frame counts, pings, pongs and fragments too: a flood is cut whatever it is
        // made of. And a phone that does not read what it is sent holds up no more than its
        // share, checked as it sends as well as when the station writes.
        if (frames.frames - counted > Doorway::MaxFrames || socket->bytesToWrite() > Doorway::Backlog)
            return later(0);
        socket->setReadBufferSize(socket->bytesAvailable() + got);
        return false;
    }

    // Ends the channel once this pass is over (Qt is still inside the socket's own code):
    // closed with a code, or cut with 0. Nothing it sent is read from now on.
    bool later(quint16 code)
    {
        ended = true;
        QMetaObject::invokeMethod(this, [this, code] {
            idle.setRemainingTime(ClosingMs);
            socket->skip(socket->bytesAvailable());
            if (code == 0) {
                socket->abort();
                return;
            }
            const char frame[4] = {char(0x88), 2, char(code >> 8), char(code & 0xff)};
            socket->write(frame, sizeof frame);
            socket->disconnectFromHost();
        }, Qt::QueuedConnection);
        return true;
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

    // Past its time: a silent connection, a refused one whose client does not read, a push
    // channel that never opened, or one closed whose client never closes its side. An open
    // channel is the station's to time out.
    bool expired() const
    {
        if (channel)
            return ended && idle.hasExpired();
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
    QDeadlineTimer idle; // also, once a channel, the end of the frames' window
    QElapsedTimer age;
    FrameReader frames;
    int counted = 0;  // frames before this window
    bool answeredOnce = false;
    bool refused = false;
    bool closing = false; // the connection ends with its answer
    bool pushing = false; // asked for the push channel
    bool channel = false; // ... and has it
    bool ended = false;   // ... and was closed or cut
};

Doorway::Doorway(QObject *parent)
    : QTcpServer(parent)
    , names(Names::ofThisComputer())
{
    namesAge.start();
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
        socket->write(answer(503));
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

bool Doorway::answered(QTcpSocket *socket)
{
    auto *watch = socket->findChild<Watch *>(QString(), Qt::FindDirectChildrenOnly);
    if (!watch)
        return false;
    watch->head.clear();
    watch->answeredOnce = true;
    watch->idle.setRemainingTime(IdleMs);
    return std::exchange(watch->closing, false);
}

QTcpSocket *Doorway::opened(const QHostAddress &peer, quint16 port)
{
    for (const QPointer<Watch> &watch : watches) {
        if (watch && watch->pushing && !watch->channel && watch->socket->peerPort() == port
            && watch->socket->peerAddress() == peer) {
            watch->listen();
            return watch->socket;
        }
    }
    return nullptr;
}

QByteArray Doorway::textFrame(const QByteArray &utf8)
{
    QByteArray frame;
    frame.reserve(utf8.size() + 10);
    frame += char(0x81); // final, text
    const qint64 size = utf8.size();
    if (size < 126) {
        frame += char(size);
    } else if (size < 65536) {
        frame += char(126);
        frame += char(size >> 8);
        frame += char(size & 0xff);
    } else {
        frame += char(127);
        for (int shift = 56; shift >= 0; shift -= 8)
            frame += char((size >> shift) & 0xff);
    }
    return frame + utf8;
}

void Doorway::deliver(QTcpSocket *connection, const QByteArray &frame)
{
    if (connection->state() != QAbstractSocket::ConnectedState)
        return;
    qint64 sent = 0;
    if (connection->bytesToWrite() == 0) {
        const ssize_t wrote = ::send(int(connection->socketDescriptor()), frame.constData(), std::size_t(frame.size()),
                                     MSG_NOSIGNAL | MSG_DONTWAIT);
        if (wrote < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return; // the connection is gone: Qt hears of it from the network
        sent = std::max<qint64>(wrote, 0);
    }
    if (sent < frame.size())
        connection->write(frame.constData() + sent, frame.size() - sent);
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
            return end + 2 > MaxHead ? Head::TooLarge : Head::Whole; // the blank line: the head is whole
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
