#include "atomicfile.h"
#include "boardfeed.h"
#include "books.h"
#include "booksinplay.h"
#include "claimdesk.h"
#include "doorway.h"
#include "fakes.h"
#include "game.h"
#include "halldisplay.h"
#include "phonecorner.h"
#include "phonesharing.h"
#include "qrcode.h"
#include "station.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QWebSocket>
#include <QtTest>

#include <cerrno>

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
struct Rig : GameRig
{
    QTemporaryDir state;
    BooksInPlay books{state.path()};
    // Start, with the game's own timer held: the test makes every tick itself.
    void start()
    {
        game.cmdStart_Click();
        timerOf(game).stop();
    }
};

const QByteArray Palette(":root{--backdrop:#18101c;}\n");

// One request on a fresh connection; what came back before the answer was whole (then,
// with `ended`, until the server closed the connection), within a few seconds.
QByteArray exchange(quint16 port, const QByteArray &request, bool *ended = nullptr)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(3000))
        return "no connection";
    socket.write(request);
    QByteArray answer;
    QDeadlineTimer deadline(5000);
    bool whole = false;
    while (!deadline.hasExpired()) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(int(deadline.remainingTime())))
            break;
        answer += socket.readAll();
        const int head = int(answer.indexOf("\r\n\r\n"));
        if (head < 0)
            continue;
        const QByteArray length = "Content-Length: ";
        const int at = int(answer.indexOf(length));
        if (at >= 0 && at < head) {
            const int size = answer.mid(at + length.size(), answer.indexOf("\r\n", at) - at - length.size()).toInt();
            if (answer.size() >= head + 4 + size || request.startsWith("HEAD")) {
                whole = true;
                if (!ended)
                    break;
            }
        }
    }
    if (ended) {
        if (whole && socket.state() == QAbstractSocket::ConnectedState)
            socket.waitForDisconnected(int(std::max<qint64>(deadline.remainingTime(), 0)));
        *ended = socket.state() == QAbstractSocket::UnconnectedState;
    }
    return answer;
}

QJsonObject boardOf(const QByteArray &json)
{
    return QJsonDocument::fromJson(json).object();
}

// A phone's push channel: every board it was sent, in order.
struct Phone
{
    QWebSocket socket;
    QList<QJsonObject> boards;
    explicit Phone(quint16 port, const QString &origin = QString())
        : socket(origin)
    {
        QObject::connect(&socket, &QWebSocket::textMessageReceived, &socket, [this](const QString &text) {
            const QJsonObject board = boardOf(text.toUtf8());
            if (!board.contains(QStringLiteral("beat")))
                boards << board;
        });
        socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/live").arg(port)));
    }
    int calls() const { return boards.isEmpty() ? -1 : int(boards.last()[QStringLiteral("calls")].toArray().size()); }
};
// A push channel spoken byte by byte, as a hostile client would: it reads nothing unless
// asked, and its frames are whatever the test makes them.
struct RawChannel
{
    int fd = -1;
    QByteArray heard;
    bool ended = false;

    explicit RawChannel(quint16 port)
    {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        const int small = 4096;
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
            ended = true;
        ::fcntl(fd, F_SETFL, O_NONBLOCK);
        send("GET /live HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
             "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
    }
    ~RawChannel() { ::close(fd); }
    RawChannel(const RawChannel &) = delete;
    RawChannel &operator=(const RawChannel &) = delete;

    // What could be sent now, without waiting; the rest is left for later.
    qint64 send(const QByteArray &bytes)
    {
        const ssize_t sent = ::send(fd, bytes.constData(), std::size_t(bytes.size()), MSG_NOSIGNAL);
        if (sent < 0 && errno != EAGAIN)
            ended = true;
        return std::max<qint64>(sent, 0);
    }
    // Reads what has come; notes whether the server ended the connection.
    void read()
    {
        char buffer[4096];
        for (;;) {
            const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
            if (got > 0) {
                heard.append(buffer, got);
                continue;
            }
            if (got == 0 || errno != EAGAIN)
                ended = true;
            return;
        }
    }
    bool open() { read(); return heard.contains("\r\n\r\n") && heard.startsWith("HTTP/1.1 101"); }
};

// A client's frame: masked, as every client's must be, unless told otherwise.
QByteArray frame(int opcode, const QByteArray &payload = QByteArray(), bool final = true, bool masked = true)
{
    QByteArray bytes;
    bytes += char((final ? 0x80 : 0) | opcode);
    const int mask = masked ? 0x80 : 0;
    if (payload.size() < 126) {
        bytes += char(mask | int(payload.size()));
    } else {
        bytes += char(mask | 126);
        bytes += char(payload.size() >> 8);
        bytes += char(payload.size() & 0xff);
    }
    const char key[4] = {0x11, 0x22, 0x33, 0x44};
    if (masked)
        bytes.append(key, 4);
    for (qsizetype i = 0; i < payload.size(); ++i)
        bytes += masked ? char(payload[i] ^ key[i % 4]) : payload[i];
    return bytes;
}

QByteArray times(const QByteArray &bytes, int count)
{
    QByteArray all;
    all.reserve(bytes.size() * count);
    for (int i = 0; i < count; ++i)
        all += bytes;
    return all;
}
} // namespace

class TestPhones : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void headsAreJudgedAsTheyArrive_data();
    void headsAreJudgedAsTheyArrive();
    void onlyTheComputersOwnNamesAreAnswered_data();
    void onlyTheComputersOwnNamesAreAnswered();
    void theSnapshotFollowsTheGame();
    void thePageIsServedAndNothingElse_data();
    void thePageIsServedAndNothingElse();
    void thePushChannelCarriesEveryCallAndCatchesUp();
    void anotherSiteCannotOpenThePushChannel();
    void offClosesThePortAndDropsEveryPhone();
    void aTakenPortFallsBackToTheNext();
    void connectionsGiveTheirPlaceBack();
    void aPhoneThatStopsReadingIsDropped();
    void aPushChannelThatNeverOpensGivesItsPlaceBack();
    void hostileChannelsAreCut_data();
    void hostileChannelsAreCut();
    void aCrowdNeverTakesAPhonesPlace();
    void offAndOnAtOnceWithACrowd();
    void aBookPrintedElsewhereIsInPlayAtOnce();
    void theHallsCornerKeepsClearOfTheNumber_data();
    void theHallsCornerKeepsClearOfTheNumber();
    void theHallsCodeReadsOnACroppingTv_data();
    void theHallsCodeReadsOnACroppingTv();
};

void TestPhones::headsAreJudgedAsTheyArrive_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<Doorway::Head>("verdict");
    const QByteArray longHeader = "GET / HTTP/1.1\r\nX: " + QByteArray(Doorway::MaxHead, 'a');
    QTest::newRow("whole") << QByteArray("GET / HTTP/1.1\r\nHost: a\r\n\r\n") << Doorway::Head::Whole;
    QTest::newRow("no headers, 1.0") << QByteArray("GET /page.js HTTP/1.0\r\n\r\n") << Doorway::Head::Whole;
    QTest::newRow("first byte") << QByteArray("G") << Doorway::Head::Partial;
    QTest::newRow("half a version") << QByteArray("GET / HTTP/1") << Doorway::Head::Partial;
    QTest::newRow("cut in a header") << QByteArray("GET / HTTP/1.1\r\nHost: a\r") << Doorway::Head::Partial;
    QTest::newRow("lower-case method") << QByteArray("get / HTTP/1.1\r\n") << Doorway::Head::Malformed;
    QTest::newRow("binary") << QByteArray("\x16\x03\x01\x02", 4) << Doorway::Head::Malformed;
    QTest::newRow("no path") << QByteArray("GET http://x/ HTTP/1.1\r\n") << Doorway::Head::Malformed;
    QTest::newRow("HTTP/2") << QByteArray("GET / HTTP/2.0\r\n") << Doorway::Head::Malformed;
    QTest::newRow("long method") << QByteArray("ABCDEFGHIJKLMNOPQ / HTTP/1.1\r\n") << Doorway::Head::Malformed;
    QTest::newRow("header without colon") << QByteArray("GET / HTTP/1.1\r\nHost a\r\n\r\n") << Doorway::Head::Malformed;
    QTest::newRow("control byte in value") << QByteArray("GET / HTTP/1.1\r\nHost: a\x01\r\n\r\n") << Doorway::Head::Malformed;
    QTest::newRow("endless header") << longHeader << Doorway::Head::TooLarge;
    QTest::newRow("endless path") << "GET /" + QByteArray(Doorway::MaxHead, 'a') << Doorway::Head::TooLarge;
    // The limits themselves: a head of exactly MaxHead bytes is taken, one byte more is not;
    // a method of sixteen letters is read on, seventeen are refused.
    const QByteArray start = "GET / HTTP/1.1\r\nX: ";
    QTest::newRow("a head of exactly the limit")
        << start + QByteArray(Doorway::MaxHead - int(start.size()) - 4, 'a') + "\r\n\r\n" << Doorway::Head::Whole;
    QTest::newRow("a head one byte over")
        << start + QByteArray(Doorway::MaxHead - int(start.size()) - 3, 'a') + "\r\n\r\n" << Doorway::Head::TooLarge;
    QTest::newRow("method of sixteen") << QByteArray("ABCDEFGHIJKLMNOP / HTTP/1.1\r\n") << Doorway::Head::Partial;
}

void TestPhones::headsAreJudgedAsTheyArrive()
{
    QFETCH(QByteArray, head);
    QFETCH(Doorway::Head, verdict);
    QCOMPARE(Doorway::judge(head), verdict);
}

void TestPhones::onlyTheComputersOwnNamesAreAnswered_data()
{
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<bool>("ours");
    const QList<std::pair<const char *, bool>> rows = {
        {"192.168.1.20:8090", true},
        {"192.168.1.20", true},
        {"192.168.1.20:8091", false},
        {"192.168.1.20:", false},
        {"192.168.1.20:+8090", false},
        {"192.168.1.21:8090", false},
        {"127.0.0.1:8090", true},
        {"[::1]:8090", true},
        {"[::1]", true},
        {"::1", false},
        {"[fe80::1]:8090", true}, // a link-local address, its interface not named
        {"[::2]:8090", false},
        {"localhost:8090", true},
        {"LocalHost", true},
        {"hall-laptop.lan:8090", true},
        {"hall-laptop", true},
        {"hall-laptop.local:8090", true},
        {"hall-laptop.local.", true},
        {"hall-laptops.local", false},
        {"hall-laptop.lan.attacker.example", false},
        {"localhost.attacker.example", false},
        {"attacker.example:8090", false},
        {"", false},
        {":8090", false},
    };
    for (const auto &[host, ours] : rows)
        QTest::newRow(*host ? host : "empty") << QByteArray(host) << ours;
}

void TestPhones::onlyTheComputersOwnNamesAreAnswered()
{
    QFETCH(QByteArray, host);
    QFETCH(bool, ours);
    Doorway::Names names;
    for (const char *address : {"127.0.0.1", "::1", "192.168.1.20", "fe80::1"})
        names.addresses << QHostAddress(QString::fromLatin1(address));
    names.addresses.last().setScopeId(QStringLiteral("eth0"));
    names.host = QStringLiteral("hall-laptop.lan");
    QCOMPARE(Doorway::ours(host, 8090, names), ours);
}

void TestPhones::theSnapshotFollowsTheGame()
{
    Rig rig;
    BoardFeed feed(rig.game);
    QSignalSpy changes(&feed, &BoardFeed::changed);
    QCOMPARE(boardOf(feed.snapshot())[QStringLiteral("state")].toString(), QStringLiteral("waiting"));
    rig.start();
    rig.game.tmrRand_Timer();
    rig.game.tmrRand_Timer();
    rig.game.tmrRand_Timer();
    QTRY_VERIFY(!changes.isEmpty());
    // The several signals of one pass make one snapshot.
    QCOMPARE(changes.size(), 1);
    QJsonObject board = boardOf(feed.snapshot());
    QCOMPARE(board[QStringLiteral("state")].toString(), QStringLiteral("calling"));
    const QJsonArray calls = board[QStringLiteral("calls")].toArray();
    QCOMPARE(calls.size(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(calls[i].toInt(), rig.game.calls()[std::size_t(i)].number);
    QCOMPARE(qint64(board[QStringLiteral("at")].toDouble()), rig.game.calls().back().time);

    rig.game.mnuMute_Click();
    rig.game.cmdStart_Click(); // Stop
    QTRY_COMPARE(changes.size(), 2);
    board = boardOf(feed.snapshot());
    QCOMPARE(board[QStringLiteral("state")].toString(), QStringLiteral("stopped"));
    QCOMPARE(board[QStringLiteral("sound")].toBool(), false);

    rig.game.claimStarted();
    QTRY_COMPARE(boardOf(feed.snapshot())[QStringLiteral("state")].toString(), QStringLiteral("claim"));
    rig.game.claimEnded();
    rig.game.setPrizes(prizes::bit(Prize::FullHouse));
    QTRY_COMPARE(boardOf(feed.snapshot())[QStringLiteral("toWin")].toArray(), QJsonArray{QStringLiteral("full-house")});
    // The page judges silence by the game's interval, and knows when every number is out.
    QCOMPARE(boardOf(feed.snapshot())[QStringLiteral("interval")].toInt(), Game::StartInterval);
    rig.game.cmdStart_Click();
    timerOf(rig.game).stop();
    while (rig.game.calls().size() < 89)
        rig.game.tmrRand_Timer();
    QTRY_COMPARE(boardOf(feed.snapshot())[QStringLiteral("calls")].toArray().size(), 89);
    QCOMPARE(boardOf(feed.snapshot())[QStringLiteral("state")].toString(), QStringLiteral("calling"));
    // The ninetieth call: while the host is asked whether to go on, the phones say so.
    QString over;
    rig.question.whileOpen = [&] { over = boardOf(BoardFeed::of(rig.game, 99))[QStringLiteral("state")].toString(); };
    rig.game.tmrRand_Timer();
    QCOMPARE(over, QStringLiteral("over"));
}

void TestPhones::thePageIsServedAndNothingElse_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<QByteArray>("holds");
    QTest::addColumn<QByteArray>("lacks");
    QTest::addColumn<bool>("ends"); // the server ends the connection with its answer
    const QByteArray host = "Host: 127.0.0.1\r\n";
    const QByteArray upgrade = "Upgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n";
    auto get = [&](const char *path, const QByteArray &more = QByteArray()) {
        return QByteArray("GET ") + path + " HTTP/1.1\r\n" + host + more + "\r\n";
    };
    QTest::newRow("the page") << get("/") << QByteArray("200") << QByteArray("/page.js") << QByteArray() << false;
    QTest::newRow("its style, the hall's colours first") << get("/page.css") << QByteArray("200")
                                                         << QByteArray("\r\n\r\n:root{--backdrop:#18101c;}") << QByteArray() << false;
    QTest::newRow("its script") << get("/page.js") << QByteArray("200") << QByteArray("WebSocket") << QByteArray() << false;
    QTest::newRow("the snapshot") << get("/snapshot") << QByteArray("200") << QByteArray("\"state\":\"waiting\"") << QByteArray()
                                  << false;
    QTest::newRow("the page's head alone") << "HEAD / HTTP/1.1\r\n" + host + "Connection: close\r\n\r\n" << QByteArray("200")
                                           << QByteArray("Content-Length: ") << QByteArray("<html") << true;
    QTest::newRow("Connection: close") << get("/snapshot", "Connection: close\r\n") << QByteArray("200")
                                       << QByteArray("\"calls\"") << QByteArray() << true;
    QTest::newRow("HTTP/1.0 ends with its answer") << QByteArray("GET /snapshot HTTP/1.0\r\n\r\n") << QByteArray("200")
                                                   << QByteArray("\"calls\"") << QByteArray() << true;
    QTest::newRow("anything else") << get("/start") << QByteArray("404") << QByteArray() << QByteArray() << false;
    QTest::newRow("a file beside it") << get("/../game.txt") << QByteArray("404") << QByteArray() << QByteArray() << false;
    QTest::newRow("a POST to the page") << "POST / HTTP/1.1\r\n" + host + "Content-Length: 5\r\n\r\nstart" << QByteArray("405")
                                        << QByteArray("Allow: GET, HEAD") << QByteArray() << true;
    QTest::newRow("a push channel elsewhere") << get("/control", upgrade + "Sec-WebSocket-Version: 13\r\n") << QByteArray("404")
                                              << QByteArray() << QByteArray() << true;
    // Another site's page, sent here by a browser under that site's name, gets nothing.
    for (const char *path : {"/", "/snapshot", "/page.js", "/mytickets.js"}) {
        QTest::newRow(qPrintable(QStringLiteral("a foreign Host: %1").arg(QLatin1String(path))))
            << "GET " + QByteArray(path) + " HTTP/1.1\r\nHost: attacker.example\r\n\r\n" << QByteArray("421") << QByteArray()
            << QByteArray("\"calls\"") << true;
    }
    QTest::newRow("a foreign Host: the push channel")
        << "GET /live HTTP/1.1\r\nHost: attacker.example:8090\r\nOrigin: http://attacker.example:8090\r\n" + upgrade
               + "Sec-WebSocket-Version: 13\r\n\r\n"
        << QByteArray("421") << QByteArray() << QByteArray("\"calls\"") << true;
    QTest::newRow("no Host in HTTP/1.1") << QByteArray("GET / HTTP/1.1\r\n\r\n") << QByteArray("400") << QByteArray()
                                         << QByteArray("<html") << true;
    QTest::newRow("a push channel from another site's page")
        << get("/live", "Origin: http://attacker.example\r\n" + upgrade + "Sec-WebSocket-Version: 13\r\n") << QByteArray("403")
        << QByteArray() << QByteArray("\"calls\"") << true;
    QTest::newRow("two Hosts") << get("/", "Host: attacker.example\r\n") << QByteArray("400") << QByteArray() << QByteArray() << true;
    // Malformed or unwanted requests: answered at once, never waited on.
    QTest::newRow("malformed") << QByteArray("HELLO THERE\r\n\r\n") << QByteArray("400") << QByteArray() << QByteArray() << true;
    QTest::newRow("random bytes") << QByteArray("\x8f\x00\xff\r\n\r\n", 7) << QByteArray("400") << QByteArray() << QByteArray()
                                  << true;
    QTest::newRow("oversized headers") << get("/", "Cookie: " + QByteArray(20000, 'x') + "\r\n") << QByteArray("431")
                                       << QByteArray() << QByteArray() << true;
    QTest::newRow("a body") << get("/", "Content-Length: 100000\r\n") + QByteArray(100000, 'x') << QByteArray("413")
                            << QByteArray() << QByteArray() << true;
    QTest::newRow("a gigabyte promised") << get("/", "Content-Length: 1000000000\r\n") << QByteArray("413") << QByteArray()
                                         << QByteArray() << true;
    QTest::newRow("a chunk size of -1") << get("/", "Transfer-Encoding: chunked\r\n") + "-1\r\n" << QByteArray("413")
                                        << QByteArray() << QByteArray() << true;
    QTest::newRow("a length that is no number") << get("/", "Content-Length: -1\r\n") << QByteArray("400") << QByteArray()
                                                << QByteArray() << true;
    QTest::newRow("Expect: 100-continue") << get("/", "Expect: 100-continue\r\nContent-Length: 0\r\n") << QByteArray("417")
                                          << QByteArray() << QByteArray() << true;
    QTest::newRow("an upgrade without a key")
        << get("/live", "Upgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: 13\r\n") << QByteArray("400")
        << QByteArray() << QByteArray() << true;
    QTest::newRow("an upgrade over HTTP/1.0")
        << "GET /live HTTP/1.0\r\n" + host + upgrade + "Sec-WebSocket-Version: 13\r\n\r\n" << QByteArray("400") << QByteArray()
        << QByteArray() << true;
    QTest::newRow("an old WebSocket version") << get("/live", upgrade + "Sec-WebSocket-Version: 8\r\n") << QByteArray("426")
                                              << QByteArray("Sec-WebSocket-Version: 13") << QByteArray() << true;
}

void TestPhones::thePageIsServedAndNothingElse()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, status);
    QFETCH(QByteArray, holds);
    QFETCH(QByteArray, lacks);
    QFETCH(bool, ends);
    Rig rig;
    PhoneSharing sharing(rig.game, rig.books, Palette);
    QVERIFY(sharing.setOn(true));
    bool ended = false;
    const QByteArray answer = exchange(sharing.port(), request, &ended);
    QVERIFY2(answer.startsWith("HTTP/1.1 " + status + ' '), answer.left(200).constData());
    QVERIFY2(answer.contains("\r\nX-Content-Type-Options: nosniff\r\n"), answer.left(400).constData());
    QVERIFY(answer.contains("\r\nContent-Security-Policy: default-src 'none';"));
    QVERIFY(answer.contains("\r\nX-Frame-Options: DENY\r\n"));
    QVERIFY(!answer.contains("Access-Control-Allow-Origin"));
    QVERIFY2(answer.contains(holds), answer.left(400).constData());
    if (!lacks.isEmpty())
        QVERIFY2(!answer.contains(lacks), answer.left(400).constData());
    if (ends) {
        QVERIFY(answer.contains("\r\nConnection: close\r\n"));
        QVERIFY2(ended, "the connection was left open");
    }
}

void TestPhones::thePushChannelCarriesEveryCallAndCatchesUp()
{
    Rig rig;
    PhoneSharing sharing(rig.game, rig.books, Palette);
    QVERIFY(sharing.setOn(true));
    auto phone = std::make_unique<Phone>(sharing.port());
    QTRY_COMPARE(phone->calls(), 0); // the board as it stands comes first
    QTRY_COMPARE(sharing.phones(), 1);
    rig.start();
    for (int i = 1; i <= 3; ++i) {
        rig.game.tmrRand_Timer();
        QTRY_COMPARE(phone->calls(), i);
    }
    // Gone for a while (a phone asleep): the calls go on; back, it has them all at once.
    phone.reset();
    rig.game.tmrRand_Timer();
    rig.game.tmrRand_Timer();
    Phone back(sharing.port());
    QTRY_COMPARE(back.calls(), 5);
    QCOMPARE(back.boards.size(), 1);
    QCOMPARE(back.boards.first()[QStringLiteral("calls")].toArray().last().toInt(), rig.game.calls().back().number);
    // What a phone sends changes nothing.
    back.socket.sendTextMessage(QStringLiteral("{\"start\":true}"));
    back.socket.sendBinaryMessage(QByteArray(100, '\x01'));
    QTest::qWait(200);
    QCOMPARE(rig.game.calls().size(), std::size_t(5));
}

void TestPhones::anotherSiteCannotOpenThePushChannel()
{
    Rig rig;
    PhoneSharing sharing(rig.game, rig.books, Palette);
    QVERIFY(sharing.setOn(true));
    Phone stranger(sharing.port(), QStringLiteral("http://evil.example"));
    Phone page(sharing.port(), QStringLiteral("http://127.0.0.1:%1").arg(sharing.port()));
    QTRY_COMPARE(page.calls(), 0);
    QTRY_COMPARE(stranger.socket.state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(stranger.boards.size(), 0);
}

void TestPhones::offClosesThePortAndDropsEveryPhone()
{
    Rig rig;
    PhoneSharing sharing(rig.game, rig.books, Palette);
    QSignalSpy switched(&sharing, &PhoneSharing::sharingChanged);
    QVERIFY(sharing.setOn(true));
    const quint16 port = sharing.port();
    Phone phone(port);
    QTRY_COMPARE(phone.calls(), 0);
    QVERIFY(sharing.setOn(false));
    QCOMPARE(switched.size(), 2);
    QVERIFY(sharing.addresses().isEmpty());
    QTRY_COMPARE(phone.socket.state(), QAbstractSocket::UnconnectedState);
    QTcpSocket late;
    late.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(!late.waitForConnected(2000));
    QCOMPARE(late.error(), QAbstractSocket::ConnectionRefusedError);
}

void TestPhones::aTakenPortFallsBackToTheNext()
{
    QTcpServer squatter;
    if (!squatter.listen(QHostAddress::Any, PhoneSharing::FirstPort))
        QSKIP("the first port is taken by something else on this machine");
    Rig rig;
    PhoneSharing sharing(rig.game, rig.books, Palette);
    QVERIFY(sharing.setOn(true));
    QVERIFY(sharing.port() > PhoneSharing::FirstPort);
    QVERIFY(sharing.port() < PhoneSharing::FirstPort + PhoneSharing::Ports);
    QVERIFY(sharing.addresses().isEmpty() || sharing.addresses().first().endsWith(QStringLiteral(":%1/").arg(sharing.port())));
}

// Phones come and go all evening (asleep, out of range, reloaded): every connection that
// ends, push channel or page load, must give its place back, or the hall runs out of them.
void TestPhones::connectionsGiveTheirPlaceBack()
{
    Rig rig;
    Station station(Palette);
    station.publish(BoardFeed::of(rig.game, 1));
    const quint16 port = station.open(PhoneSharing::FirstPort, PhoneSharing::Ports);
    QVERIFY(port != 0);
    const Doorway *doorway = station.findChild<Doorway *>();
    QVERIFY(doorway);
    for (int round = 0; round < 3; ++round) {
        std::vector<std::unique_ptr<Phone>> phones;
        for (int i = 0; i < 20; ++i)
            phones.push_back(std::make_unique<Phone>(port));
        QTcpSocket page;
        page.connectToHost(QHostAddress::LocalHost, port);
        page.write("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        QTRY_VERIFY(std::all_of(phones.begin(), phones.end(), [](const auto &phone) { return phone->calls() == 0; }));
        QTRY_VERIFY(page.bytesAvailable() > 0);
        QCOMPARE(doorway->open(), 21);
        // Half leave politely, half vanish.
        for (int i = 0; i < 20; ++i) {
            if (i % 2)
                phones[std::size_t(i)]->socket.close();
            else
                phones[std::size_t(i)]->socket.abort();
        }
        page.abort();
        phones.clear();
        QTRY_COMPARE(doorway->open(), 0);
    }
}

void TestPhones::aPhoneThatStopsReadingIsDropped()
{
    Rig rig;
    Station station(Palette);
    QSignalSpy phones(&station, &Station::phonesChanged);
    station.publish(BoardFeed::of(rig.game, 1));
    const quint16 port = station.open(PhoneSharing::FirstPort, PhoneSharing::Ports);
    QTcpSocket stuck;
    stuck.setReadBufferSize(1);
    stuck.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(stuck.waitForConnected(2000));
    stuck.write("GET /live HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
    Phone reading(port);
    QTRY_COMPARE(reading.calls(), 0);
    QTRY_VERIFY(!phones.isEmpty() && phones.last().first().toInt() == 2);
    // Boards far larger than any game's, until the one that never reads has held up more
    // than its share; the one that reads gets every board.
    QByteArray board = BoardFeed::of(rig.game, 2);
    board.insert(1, "\"padding\":\"" + QByteArray(16 * 1024, 'x') + "\",");
    for (int i = 0; i < 2000 && phones.last().first().toInt() != 1; ++i) {
        station.publish(board);
        QCoreApplication::processEvents();
        if (i % 100 == 0)
            QTest::qWait(20);
    }
    QTRY_COMPARE(phones.last().first().toInt(), 1);
    QTRY_VERIFY(reading.boards.size() > 1);
    QVERIFY(reading.socket.state() == QAbstractSocket::ConnectedState);
}

// A request for the push channel whose handshake would fail (no key) must not hold a place
// as if it were a phone: a flood of them once filled every place. It is answered at once.
void TestPhones::aPushChannelThatNeverOpensGivesItsPlaceBack()
{
    Rig rig;
    Station station(Palette);
    station.publish(BoardFeed::of(rig.game, 1));
    const quint16 port = station.open(PhoneSharing::FirstPort, PhoneSharing::Ports);
    const Doorway *doorway = station.findChild<Doorway *>();
    QTcpSocket half;
    half.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(half.waitForConnected(2000));
    half.write("GET /live HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n\r\n");
    Phone phone(port);
    QTRY_COMPARE(phone.calls(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(doorway->open(), 1, 15000);
    QCOMPARE(phone.socket.state(), QAbstractSocket::ConnectedState);
}

// Every frame a phone sends counts against its channel, whatever its kind, and one that
// breaks the rules every client keeps is closed: a flood is cut whatever it is made of.
void TestPhones::hostileChannelsAreCut_data()
{
    QTest::addColumn<QByteArray>("frames");
    QTest::addColumn<bool>("cut");
    QTest::addColumn<int>("closeCode"); // the close frame the server sends first, or 0
    const QByteArray ping = frame(0x9, "x");
    QTest::newRow("twenty pings: within the limit") << times(ping, Doorway::MaxFrames) << false << 0;
    QTest::newRow("twenty-one pings") << times(ping, Doorway::MaxFrames + 1) << true << 0;
    QTest::newRow("a flood of pings") << times(ping, 200000) << true << 0;
    QTest::newRow("a flood of pongs") << times(frame(0xA), 200000) << true << 0;
    QTest::newRow("empty continuation frames") << frame(0x1, "{", false) + times(frame(0x0, {}, false), 200000) << true << 0;
    QTest::newRow("twenty-one messages") << times(frame(0x1, "{}"), Doorway::MaxFrames + 1) << true << 0;
    QTest::newRow("an unmasked frame") << frame(0x1, "{}", true, false) << true << 1002;
    QTest::newRow("a frame of exactly the limit") << frame(0x2, QByteArray(Doorway::MaxFrame, 'x')) << false << 0;
    QTest::newRow("a frame over the limit") << frame(0x2, QByteArray(Doorway::MaxFrame + 1, 'x')) << true << 1009;
}

void TestPhones::hostileChannelsAreCut()
{
    QFETCH(QByteArray, frames);
    QFETCH(bool, cut);
    QFETCH(int, closeCode);
    Rig rig;
    Station station(Palette);
    station.publish(BoardFeed::of(rig.game, 1));
    const quint16 port = station.open(PhoneSharing::FirstPort, PhoneSharing::Ports);
    QVERIFY(port != 0);
    RawChannel hostile(port);
    Phone phone(port);
    QTRY_VERIFY(hostile.open());
    QTRY_COMPARE(phone.calls(), 0);
    // Sent as fast as the server takes it, never reading, until all is sent or it is cut.
    qint64 sent = 0;
    QDeadlineTimer deadline(10000);
    while (sent < frames.size() && !hostile.ended && !deadline.hasExpired()) {
        sent += hostile.send(frames.mid(sent, 64 * 1024));
        QCoreApplication::processEvents();
    }
    if (cut) {
        QTRY_VERIFY_WITH_TIMEOUT((hostile.read(), hostile.ended), 5000);
        const QByteArray close = closeCode ? QByteArray("\x88\x02", 2) + char(closeCode >> 8) + char(closeCode & 0xff) : QByteArray();
        if (closeCode)
            QVERIFY2(hostile.heard.endsWith(close), hostile.heard.right(16).toHex().constData());
    } else {
        QTest::qWait(500);
        hostile.read();
        QVERIFY(!hostile.ended);
    }
    // The phone beside it is never held up.
    rig.start();
    rig.game.tmrRand_Timer();
    station.publish(BoardFeed::of(rig.game, 2));
    QTRY_COMPARE(phone.calls(), 1);
}

// A crowd fills every place, each still sending its request: the newcomer takes the oldest
// of theirs, never the phone's, however old the phone's channel is.
void TestPhones::aCrowdNeverTakesAPhonesPlace()
{
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < 2 * Doorway::MaxConnections + 200)
        QSKIP("this machine allows too few open files for a full house");
    limit.rlim_cur = std::max<rlim_t>(limit.rlim_cur, 2 * Doorway::MaxConnections + 200);
    setrlimit(RLIMIT_NOFILE, &limit);
    Rig rig;
    Station station(Palette);
    station.publish(BoardFeed::of(rig.game, 1));
    const quint16 port = station.open(PhoneSharing::FirstPort, PhoneSharing::Ports);
    const Doorway *doorway = station.findChild<Doorway *>();
    Phone phone(port);
    QTRY_COMPARE(phone.calls(), 0);
    std::vector<std::unique_ptr<QTcpSocket>> crowd;
    for (int i = 1; i < Doorway::MaxConnections; ++i) {
        crowd.push_back(std::make_unique<QTcpSocket>());
        crowd.back()->connectToHost(QHostAddress::LocalHost, port);
        crowd.back()->write("GET / HTTP/1.1\r\n");
    }
    QTRY_COMPARE_WITH_TIMEOUT(doorway->open(), Doorway::MaxConnections, 20000);
    QTest::qWait(200); // every part-request read
    QTcpSocket player; // the server runs on this thread: asked without blocking it
    player.connectToHost(QHostAddress::LocalHost, port);
    player.write("GET /snapshot HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    QTRY_VERIFY_WITH_TIMEOUT(player.peek(12) == "HTTP/1.1 200", 10000);
    QCOMPARE(doorway->open(), Doorway::MaxConnections);
    QTRY_COMPARE(crowd.front()->state(), QAbstractSocket::UnconnectedState); // the oldest of the crowd made room
    // Had every place been a phone's, the newcomer would have been told in words.
    const QByteArray full = Doorway::answer(503);
    QVERIFY(full.startsWith("HTTP/1.1 503 ") && full.contains("Content-Security-Policy: default-src 'none'"));
    QVERIFY(full.contains("<h1>The caller's room is full: try again in a minute</h1>"));
    QCOMPARE(phone.socket.state(), QAbstractSocket::ConnectedState);
    rig.start();
    rig.game.tmrRand_Timer();
    station.publish(BoardFeed::of(rig.game, 2));
    QTRY_COMPARE(phone.calls(), 1);
}

// Sharing off and on again at once with a crowd of phones: the port is shut when off
// returns, on serves the same port at once, and the crowd is dropped on the server's thread.
void TestPhones::offAndOnAtOnceWithACrowd()
{
    Rig rig;
    PhoneSharing sharing(rig.game, rig.books, Palette);
    QVERIFY(sharing.setOn(true));
    const quint16 port = sharing.port();
    std::vector<std::unique_ptr<Phone>> crowd;
    for (int i = 0; i < 300; ++i)
        crowd.push_back(std::make_unique<Phone>(port));
    QTRY_VERIFY_WITH_TIMEOUT(std::all_of(crowd.begin(), crowd.end(), [](const auto &p) { return p->calls() == 0; }), 20000);
    QElapsedTimer took;
    took.start();
    QVERIFY(sharing.setOn(false));
    const qint64 off = took.nsecsElapsed();
    QTcpSocket late;
    late.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(!late.waitForConnected(2000));
    took.restart();
    QVERIFY(sharing.setOn(true));
    const qint64 on = took.nsecsElapsed();
    QCOMPARE(sharing.port(), port);
    qInfo("with 300 phones: off took %.2f ms, on %.2f ms of this thread", double(off) / 1e6, double(on) / 1e6);
    QTRY_VERIFY_WITH_TIMEOUT(
        std::all_of(crowd.begin(), crowd.end(), [](const auto &p) { return p->socket.state() == QAbstractSocket::UnconnectedState; }),
        20000);
    Phone back(port);
    QTRY_COMPARE(back.calls(), 0);
    QTRY_COMPARE(sharing.phones(), 1);
}

// A book printed by another run (the command line's --tickets) while sharing is in play for
// the phones at once, without sharing turned off and on: even the caller's first book, in a
// state folder that was not there yet.
void TestPhones::aBookPrintedElsewhereIsInPlayAtOnce()
{
    QTemporaryDir state;
    const QByteArray before = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
    const auto restore = qScopeGuard([&before] {
        if (before.isNull())
            qunsetenv("XDG_STATE_HOME");
        else
            qputenv("XDG_STATE_HOME", before);
    });
    QVERIFY(!QFileInfo::exists(defaultStateFolder()));
    Rig rig;
    BooksInPlay inPlay(defaultStateFolder());
    PhoneSharing sharing(rig.game, inPlay, Palette);
    QVERIFY(sharing.setOn(true));
    QWebSocket page;
    QList<QJsonArray> books;
    QObject::connect(&page, &QWebSocket::textMessageReceived, &page, [&books](const QString &text) {
        const QJsonObject message = boardOf(text.toUtf8());
        if (message.contains(QStringLiteral("books")))
            books << message[QStringLiteral("books")].toArray();
    });
    page.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/live").arg(sharing.port())));
    QTRY_COMPARE(page.state(), QAbstractSocket::ConnectedState);
    page.sendTextMessage(QString::fromLatin1(ClaimDesk::BooksAsked));
    QTRY_COMPARE(books.size(), 1);
    QVERIFY(books.last().isEmpty());
    QVERIFY(QDir().mkpath(defaultStateFolder()));
    for (const std::uint32_t book : {872u, 873u}) {
        BookList other(defaultStateFolder());
        QString why;
        other.load(why);
        QVERIFY2(other.add({book, 50, Paper::A4, QDateTime::currentMSecsSinceEpoch()}, why), qPrintable(why));
        QTRY_VERIFY_WITH_TIMEOUT(!books.isEmpty() && books.last().size() == int(other.books().size()), 5000);
    }
}

void TestPhones::theHallsCornerKeepsClearOfTheNumber_data()
{
    QTest::addColumn<QSize>("screen");
    for (const QSize &size : {QSize(1024, 768), QSize(1280, 1024), QSize(1366, 768), QSize(1920, 1080), QSize(2560, 1080),
                              QSize(3840, 2160), QSize(1080, 1920)})
        QTest::newRow(qPrintable(QStringLiteral("%1x%2").arg(size.width()).arg(size.height()))) << size;
}

// The corner keeps the display's margin and stays inside what a TV cropping 5 % of every
// edge shows, clear of everything else; beside the board the number keeps its size.
void TestPhones::theHallsCornerKeepsClearOfTheNumber()
{
    QFETCH(QSize, screen);
    const int modules = QrCode::of("http://192.168.100.200:8099/").size();
    const PhoneCorner::Placement p = PhoneCorner::placement(screen, modules);
    const int margin = int(std::ceil(0.025 * std::min(screen.width(), screen.height())));
    QVERIFY(p.code.left() >= margin && p.code.top() >= margin);
    const QRect shown(int(std::ceil(0.05 * screen.width())), int(std::ceil(0.05 * screen.height())),
                      screen.width() - 2 * int(std::ceil(0.05 * screen.width())),
                      screen.height() - 2 * int(std::ceil(0.05 * screen.height())));
    const int quiet = 4 * p.module;
    const QRect dark = p.code.adjusted(quiet, quiet, -quiet, -quiet);
    QVERIFY(shown.contains(dark.adjusted(-2 * p.module, -2 * p.module, 2 * p.module, 2 * p.module)));
    QVERIFY(shown.contains(p.address));
    const QRect corner(QPoint(0, 0), p.reach);
    const HallDisplay::Layout plain = HallDisplay::Layout::of(screen);
    const HallDisplay::Layout l = HallDisplay::Layout::of(screen, p.reach);
    for (const QRectF &part : {l.number, l.count, l.lastFive, l.status, l.prizes, l.board})
        QVERIFY(!part.intersects(corner));
    const qreal ink = QFontMetricsF(l.numberFont).tightBoundingRect(QStringLiteral("88")).height();
    const qreal plainInk = QFontMetricsF(plain.numberFont).tightBoundingRect(QStringLiteral("88")).height();
    const QRectF inkBox = QFontMetricsF(l.numberFont).tightBoundingRect(QStringLiteral("88"));
    QVERIFY(inkBox.width() <= l.number.width() && inkBox.height() <= l.number.height());
    qInfo("%dx%d: the number's ink %.1f %% of the height with the corner, %.1f %% without",
          screen.width(), screen.height(), 100 * ink / screen.height(), 100 * plainInk / screen.height());
    // The number gives way, but stays the largest thing on the screen; beside the board it
    // keeps nearly all of its size.
    QVERIFY(ink >= 0.5 * plainInk);
    if (plain.wide)
        QVERIFY(ink >= 0.85 * plainInk);
    QVERIFY(ink > 2 * QFontMetricsF(l.countFont).tightBoundingRect(QStringLiteral("88")).height());
    QCOMPARE(l.board, plain.board);
}

// What a phone's camera sees of the hall's display on a TV that crops 5 % of every edge:
// the code still reads as the page's address.
void TestPhones::theHallsCodeReadsOnACroppingTv_data()
{
    QTest::addColumn<QSize>("screen");
    for (const QSize &size : {QSize(1024, 768), QSize(1366, 768), QSize(1920, 1080)})
        QTest::newRow(qPrintable(QStringLiteral("%1x%2").arg(size.width()).arg(size.height()))) << size;
}

void TestPhones::theHallsCodeReadsOnACroppingTv()
{
    QFETCH(QSize, screen);
    const QString zbar = QStandardPaths::findExecutable(QStringLiteral("zbarimg"));
    QVERIFY2(!zbar.isEmpty(), "zbarimg (zbar-tools) is needed to read the code");
    Rig rig;
    PhoneSharing sharing(rig.game, rig.books, Palette);
    QVERIFY(sharing.setOn(true));
    if (sharing.addresses().isEmpty())
        QSKIP("this machine has no network address a phone could reach");
    HallDisplay hall(rig.game, [] {}, nullptr);
    hall.resize(screen);
    PhoneCorner::attach(&hall, sharing);
    const QImage whole = hall.grab().toImage();
    const QRect kept(int(std::ceil(0.05 * screen.width())), int(std::ceil(0.05 * screen.height())),
                     screen.width() - 2 * int(std::ceil(0.05 * screen.width())),
                     screen.height() - 2 * int(std::ceil(0.05 * screen.height())));
    const QDir artifacts(qEnvironmentVariable("TK_ARTIFACTS", QDir::tempPath()));
    QVERIFY(artifacts.mkpath(QStringLiteral(".")));
    const QString file = artifacts.filePath(QStringLiteral("hall-cropped-%1x%2.png").arg(screen.width()).arg(screen.height()));
    QVERIFY(whole.copy(kept).save(file));
    QProcess read;
    read.start(zbar, {QStringLiteral("--raw"), QStringLiteral("-q"), file});
    QVERIFY(read.waitForFinished(20000));
    QCOMPARE(QString::fromLatin1(read.readAllStandardOutput()).trimmed(), sharing.addresses().first());
}

QTEST_MAIN(TestPhones)
#include "tst_phones.moc"
