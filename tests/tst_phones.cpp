#include "boardfeed.h"
#include "booksinplay.h"
#include "doorway.h"
#include "fakes.h"
#include "game.h"
#include "halldisplay.h"
#include "phonesharing.h"
#include "station.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QWebSocket>
#include <QtTest>

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

// One request on a fresh connection; what came back before the server closed it or the
// answer was whole.
QByteArray exchange(quint16 port, const QByteArray &request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(3000))
        return "no connection";
    socket.write(request);
    QByteArray answer;
    QDeadlineTimer deadline(5000);
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
            if (answer.size() >= head + 4 + size)
                break;
        }
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
} // namespace

class TestPhones : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void headsAreJudgedAsTheyArrive_data();
    void headsAreJudgedAsTheyArrive();
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
    void theHallsCornerKeepsClearOfTheNumber_data();
    void theHallsCornerKeepsClearOfTheNumber();
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
    QTest::newRow("a header just under") << "GET / HTTP/1.1\r\nX: " + QByteArray(Doorway::MaxHead - 30, 'a') + "\r\n\r\n"
                                        << Doorway::Head::Whole;
}

void TestPhones::headsAreJudgedAsTheyArrive()
{
    QFETCH(QByteArray, head);
    QFETCH(Doorway::Head, verdict);
    QCOMPARE(Doorway::judge(head), verdict);
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
}

void TestPhones::thePageIsServedAndNothingElse_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<QByteArray>("holds");
    QTest::newRow("the page") << QByteArray("GET / HTTP/1.1\r\nHost: a\r\n\r\n") << QByteArray("200") << QByteArray("/page.js");
    QTest::newRow("its style, the hall's colours first") << QByteArray("GET /page.css HTTP/1.1\r\n\r\n") << QByteArray("200")
                                                         << QByteArray("\r\n\r\n:root{--backdrop:#18101c;}");
    QTest::newRow("its script") << QByteArray("GET /page.js HTTP/1.1\r\n\r\n") << QByteArray("200") << QByteArray("WebSocket");
    QTest::newRow("the snapshot") << QByteArray("GET /snapshot HTTP/1.1\r\n\r\n") << QByteArray("200")
                                  << QByteArray("\"state\":\"waiting\"");
    QTest::newRow("anything else") << QByteArray("GET /start HTTP/1.1\r\n\r\n") << QByteArray("404") << QByteArray();
    QTest::newRow("a file beside it") << QByteArray("GET /../game.txt HTTP/1.1\r\n\r\n") << QByteArray("404") << QByteArray();
    QTest::newRow("a POST to the page") << QByteArray("POST / HTTP/1.1\r\nContent-Length: 5\r\n\r\nstart") << QByteArray("404")
                                        << QByteArray();
    QTest::newRow("a push channel elsewhere")
        << QByteArray("GET /control HTTP/1.1\r\nHost: a\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                      "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n")
        << QByteArray("404") << QByteArray();
    QTest::newRow("malformed") << QByteArray("HELLO THERE\r\n\r\n") << QByteArray("400") << QByteArray();
    QTest::newRow("random bytes") << QByteArray("\x8f\x00\xff\r\n\r\n", 7) << QByteArray("400") << QByteArray();
    QTest::newRow("oversized headers") << "GET / HTTP/1.1\r\nCookie: " + QByteArray(20000, 'x') + "\r\n\r\n"
                                       << QByteArray("431") << QByteArray();
    QTest::newRow("oversized body") << "GET / HTTP/1.1\r\nContent-Length: 100000\r\n\r\n" + QByteArray(100000, 'x')
                                    << QByteArray("431") << QByteArray();
}

void TestPhones::thePageIsServedAndNothingElse()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, status);
    QFETCH(QByteArray, holds);
    Rig rig;
    PhoneSharing sharing(rig.game, rig.books, Palette);
    QVERIFY(sharing.setOn(true));
    const QByteArray answer = exchange(sharing.port(), request);
    QVERIFY2(answer.startsWith("HTTP/1.1 " + status + ' '), answer.left(200).constData());
    QVERIFY2(answer.contains("\r\nX-Content-Type-Options: nosniff\r\n"), answer.left(400).constData());
    QVERIFY(answer.contains("\r\nContent-Security-Policy: default-src 'none';"));
    QVERIFY(!answer.contains("Access-Control-Allow-Origin"));
    QVERIFY2(answer.contains(holds), answer.left(400).constData());
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
        page.write("GET / HTTP/1.1\r\n\r\n");
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

// A request for the push channel whose handshake fails (no key) must not hold a place as
// if it were a phone: a flood of them once filled every place.
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

void TestPhones::theHallsCornerKeepsClearOfTheNumber_data()
{
    QTest::addColumn<QSize>("screen");
    for (const QSize &size : {QSize(1024, 768), QSize(1280, 1024), QSize(1920, 1080), QSize(2560, 1080),
                              QSize(3840, 2160), QSize(1080, 1920)})
        QTest::newRow(qPrintable(QStringLiteral("%1x%2").arg(size.width()).arg(size.height()))) << size;
}

void TestPhones::theHallsCornerKeepsClearOfTheNumber()
{
    QFETCH(QSize, screen);
    // As the phones' corner reserves it: a quarter of the shorter side, and its address below.
    const int side = std::min(screen.width(), screen.height()) * 24 / 100;
    const int corner = side + side / 8;
    const HallDisplay::Layout plain = HallDisplay::Layout::of(screen);
    const HallDisplay::Layout l = HallDisplay::Layout::of(screen, corner);
    QVERIFY(!l.number.intersects(QRectF(0, 0, side, corner)));
    const QRectF ink = QFontMetricsF(l.numberFont).tightBoundingRect(QStringLiteral("88"));
    QVERIFY(ink.width() <= l.number.width() && ink.height() <= l.number.height());
    // The number gives way, but stays the largest thing on the screen.
    QVERIFY(ink.height() >= 0.5 * QFontMetricsF(plain.numberFont).tightBoundingRect(QStringLiteral("88")).height());
    QVERIFY(ink.height() > 2 * QFontMetricsF(l.countFont).tightBoundingRect(QStringLiteral("88")).height());
    QCOMPARE(l.board, plain.board);
}

QTEST_MAIN(TestPhones)
#include "tst_phones.moc"
