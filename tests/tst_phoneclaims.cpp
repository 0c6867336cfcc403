#include "claimdesk.h"
#include "claims.h"
#include "phoneclaims.h"
#include "station.h"
#include "ticketcode.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QWebSocket>
#include <QtTest>

#include <memory>

namespace {
const qint64 Now = 1'800'000'000'000;
const TicketCode Mine{4321, 60};          // a ticket of a 20-strip book in play
const TicketCode Neighbour{4321, 61};     // the next ticket of its strip: no number in common
const TicketCode PastTheEnd{4321, 120};   // the first serial the book did not print
const TicketCode Elsewhere{0, 0};         // 222-2222-2, a book not printed here
const std::vector<BookList::Book> Books{{Mine.book, 20, Paper::A4, 0}};
const QString Address = QStringLiteral("192.168.1.31");

std::vector<std::int16_t> numbersOf(const TicketCode &code)
{
    return ClaimTicket::of(code).numbers;
}

// Seven numbers on neither ticket, then Mine's top row: its Top Line complete at call 12.
QList<int> topRowAtTwelve()
{
    const auto mine = numbersOf(Mine), next = numbersOf(Neighbour);
    QList<int> calls;
    for (int n = 1; calls.size() < 7; ++n) {
        if (std::find(mine.begin(), mine.end(), n) == mine.end() && std::find(next.begin(), next.end(), n) == next.end())
            calls << n;
    }
    const ClaimTicket ticket = ClaimTicket::of(Mine);
    for (std::int16_t n : ticket.rows[0])
        calls << n;
    return calls;
}

// The next number on neither ticket, called after those.
int another(const QList<int> &calls)
{
    const auto mine = numbersOf(Mine), next = numbersOf(Neighbour);
    for (int n = 1;; ++n) {
        if (!calls.contains(n) && std::find(mine.begin(), mine.end(), n) == mine.end()
            && std::find(next.begin(), next.end(), n) == next.end())
            return n;
    }
}

// The board as the phones see it: these calls, these prizes to win, these winners (keys).
QByteArray board(const QList<int> &calls, const QStringList &toWin, const QJsonArray &winners = {}, qint64 game = 1)
{
    QJsonArray numbers;
    for (int n : calls)
        numbers.append(n);
    return QJsonDocument(QJsonObject{{QStringLiteral("game"), double(game)},
                                     {QStringLiteral("calls"), numbers},
                                     {QStringLiteral("toWin"), QJsonArray::fromStringList(toWin)},
                                     {QStringLiteral("winners"), winners}})
        .toJson(QJsonDocument::Compact);
}

QByteArray claim(const QString &code, const QString &prize, int call = 0)
{
    QJsonObject message{{QStringLiteral("claim"), code}, {QStringLiteral("prize"), prize}};
    if (call)
        message.insert(QStringLiteral("call"), call);
    return QJsonDocument(message).toJson(QJsonDocument::Compact);
}

const QStringList ToWin{QStringLiteral("top-line"), QStringLiteral("full-house")};

QJsonObject wonBy(const QString &prize, int call, const QString &ticket)
{
    return {{QStringLiteral("prize"), prize}, {QStringLiteral("call"), call}, {QStringLiteral("ticket"), ticket}};
}

QJsonObject heardOf(const QByteArray &message)
{
    return QJsonDocument::fromJson(message).object();
}
} // namespace

class TestPhoneClaims : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void aClaimWaitsOnlyWhenItMayWin_data();
    void aClaimWaitsOnlyWhenItMayWin();
    void oneClaimPerTicketPerCall();
    void aPhoneHasAFewClaimsAMinuteWhateverItsChannel();
    void verdictsInThePlayersWords();
    void theHostsDecisionSettlesTheClaimsOfThatCall();
    void theHostsListIsBounded();
    void aClaimOfAnotherGameIsNeverListed();
    void aClaimTravelsThePushChannelBothWays();
    void aVerdictReachesTheTicketWhereverItComesBack();
    void theVerdictsKeptAreBounded();
};

// What the desk admits, and what it answers at once: a claim reaches the host only when the
// game's own judge says the rules may pay it.
void TestPhoneClaims::aClaimWaitsOnlyWhenItMayWin_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QList<int>>("calls");
    QTest::addColumn<QStringList>("toWin");
    QTest::addColumn<QJsonArray>("winners");
    QTest::addColumn<int>("after"); // milliseconds after the last call was published
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("told"); // the verdict, or the start of why
    const QString code = Mine.text();
    const QList<int> twelve = topRowAtTwelve();
    const QList<int> thirteen = twelve + QList<int>{another(twelve)};
    const QJsonArray none;
    QTest::newRow("complete with the last call") << claim(code, QStringLiteral("top-line")) << twelve << ToWin << none << 0 << 202 << QString();
    QTest::newRow("typed as a player types it") << claim(code.toLower().remove(QLatin1Char('-')), QStringLiteral("top-line"))
                                                << twelve << ToWin << none << 0 << 202 << QString();
    QTest::newRow("not JSON") << QByteArray("{\"claim\" 872-73FQ-Q") << twelve << ToWin << none << 0 << 400 << QStringLiteral("That is not");
    QTest::newRow("a mistyped check character") << claim(code.left(9) + (code.endsWith(QLatin1Char('R')) ? QLatin1Char('S') : QLatin1Char('R')), QStringLiteral("top-line"))
                                                << twelve << ToWin << none << 0 << 400 << QStringLiteral("That is not");
    QTest::newRow("longer than any claim") << claim(code + QString(300, QLatin1Char(' ')), QStringLiteral("top-line"))
                                           << twelve << ToWin << none << 0 << 400 << QStringLiteral("That is not");
    QTest::newRow("a book not printed here") << claim(Elsewhere.text(), QStringLiteral("top-line")) << twelve << ToWin << none << 0
                                             << 403 << QStringLiteral("Book 222 was not printed");
    QTest::newRow("past the end of its book") << claim(PastTheEnd.text(), QStringLiteral("top-line")) << twelve << ToWin << none << 0
                                              << 403 << QStringLiteral("Ticket %1 was not printed").arg(PastTheEnd.text());
    QTest::newRow("a prize by its name, not its key") << claim(code, QStringLiteral("Top Line")) << twelve << ToWin << none << 0
                                                      << 422 << QStringLiteral("That is not a prize");
    QTest::newRow("a prize not in play") << claim(code, QStringLiteral("four-corners")) << twelve << ToWin << none << 0
                                         << 422 << QStringLiteral("Not in play");
    QTest::newRow("before the first call") << claim(code, QStringLiteral("top-line")) << QList<int>{} << ToWin << none << 0
                                           << 422 << QStringLiteral("No number");
    QTest::newRow("not complete") << claim(code, QStringLiteral("full-house")) << twelve << ToWin << none << 0
                                  << 422 << QStringLiteral("Not complete");
    QTest::newRow("after the next call") << claim(code, QStringLiteral("top-line")) << thirteen << ToWin << none << 5000
                                         << 422 << QStringLiteral("Late");
    QTest::newRow("made at the call before, crossing the next") << claim(code, QStringLiteral("top-line"), 12) << thirteen << ToWin
                                                                << none << int(ClaimDesk::CrossingMs) << 202 << QString();
    QTest::newRow("said to be made at the call before, long after") << claim(code, QStringLiteral("top-line"), 12) << thirteen
                                                                    << ToWin << none << int(ClaimDesk::CrossingMs) + 1
                                                                    << 422 << QStringLiteral("Late");
    QTest::newRow("said to be made at the call before, not complete then") << claim(code, QStringLiteral("top-line"), 11)
                                                                           << twelve << ToWin << none << 0 << 422
                                                                           << QStringLiteral("Not complete");
    QTest::newRow("won by another at this call: to share")
        << claim(code, QStringLiteral("top-line")) << twelve << QStringList{QStringLiteral("full-house")}
        << QJsonArray{wonBy(QStringLiteral("top-line"), 12, Neighbour.text())} << 0 << 202 << QString();
    QTest::newRow("won at an earlier call")
        << claim(code, QStringLiteral("top-line")) << twelve << QStringList{QStringLiteral("full-house")}
        << QJsonArray{wonBy(QStringLiteral("top-line"), 11, Neighbour.text())} << 0 << 422 << QStringLiteral("Already won");
}

void TestPhoneClaims::aClaimWaitsOnlyWhenItMayWin()
{
    QFETCH(QByteArray, message);
    QFETCH(QList<int>, calls);
    QFETCH(QStringList, toWin);
    QFETCH(QJsonArray, winners);
    QFETCH(int, after);
    QFETCH(int, status);
    QFETCH(QString, told);
    ClaimDesk desk;
    desk.setBooks(Books);
    desk.follow(board(calls, toWin, winners, 77), Now);
    QVERIFY(ClaimDesk::isClaim(message));
    const ClaimDesk::Answer answer = desk.admit(Address, message, Now + after);
    QCOMPARE(answer.status, status);
    const QJsonObject said = heardOf(answer.text());
    QCOMPARE(said[QStringLiteral("status")].toInt(), status);
    if (status == 202) {
        QCOMPARE(answer.claim.code, Mine.text());
        QCOMPARE(answer.claim.prize, Prize::TopLine);
        QCOMPARE(answer.claim.call, 12);
        QCOMPARE(answer.claim.game, qint64(77));
        QCOMPARE(answer.claim.address, Address);
        QCOMPARE(said[QStringLiteral("prize")].toString(), QStringLiteral("top-line"));
        QCOMPARE(said[QStringLiteral("call")].toInt(), 12);
    } else {
        const QString words = said[QStringLiteral("verdict")].toString() + said[QStringLiteral("why")].toString();
        QVERIFY2(words.startsWith(told), qPrintable(words));
    }
}

void TestPhoneClaims::oneClaimPerTicketPerCall()
{
    ClaimDesk desk;
    desk.setBooks(Books);
    const QList<int> twelve = topRowAtTwelve();
    desk.follow(board(twelve, ToWin), Now);
    const QByteArray top = claim(Mine.text(), QStringLiteral("top-line"));
    QCOMPARE(desk.admit(QStringLiteral("10.0.0.1"), top, Now).status, 202);
    QCOMPARE(desk.admit(QStringLiteral("10.0.0.1"), claim(Mine.text(), QStringLiteral("full-house")), Now).status, 409);
    QCOMPARE(desk.admit(QStringLiteral("10.0.0.2"), top, Now).status, 409); // from another phone too
    QCOMPARE(desk.admit(QStringLiteral("10.0.0.3"), claim(Neighbour.text(), QStringLiteral("top-line")), Now).status, 422);
    desk.follow(board(twelve, ToWin), Now + 10); // the same call, told again
    QCOMPARE(desk.admit(QStringLiteral("10.0.0.4"), top, Now + 10).status, 409);
    // Crossing the next call, a claim said to be made at the last still counts as made there.
    desk.follow(board(twelve + QList<int>{another(twelve)}, ToWin), Now + 20);
    QCOMPARE(desk.admit(QStringLiteral("10.0.0.5"), claim(Mine.text(), QStringLiteral("top-line"), 12), Now + 30).status, 409);
    QCOMPARE(desk.admit(QStringLiteral("10.0.0.5"), top, Now + 30).status, 422); // at the new call: late
}

// Three claims a minute a phone, counted by its address: new channels, or a channel that
// closed and came back, do not start the count again; another phone is not held up.
void TestPhoneClaims::aPhoneHasAFewClaimsAMinuteWhateverItsChannel()
{
    ClaimDesk desk;
    desk.setBooks(Books);
    desk.follow(board(topRowAtTwelve(), ToWin), Now);
    const QByteArray stranger = claim(Elsewhere.text(), QStringLiteral("top-line"));
    for (int i = 0; i < ClaimDesk::PerPhone; ++i)
        QCOMPARE(desk.admit(Address, stranger, Now + i).status, 403);
    // Past its few, even a good claim is refused: the flood costs the phone alone.
    QCOMPARE(desk.admit(Address, claim(Mine.text(), QStringLiteral("top-line")), Now + 10).status, 429);
    QCOMPARE(desk.admit(QStringLiteral("192.168.1.32"), claim(Mine.text(), QStringLiteral("top-line")), Now + 10).status, 202);
    QCOMPARE(desk.admit(Address, stranger, Now + ClaimDesk::PerPhoneMs - 1).status, 429);
    QCOMPARE(desk.admit(Address, stranger, Now + ClaimDesk::PerPhoneMs).status, 403);

    // Many phones: the count stays bounded; a phone counted before keeps its count, a newcomer
    // waits until the oldest counts have run out.
    const qint64 later = Now + ClaimDesk::PerPhoneMs + 1;
    for (std::size_t i = 0; i < ClaimDesk::MaxPhonesCounted + 10; ++i)
        desk.admit(QStringLiteral("10.1.%1.%2").arg(i / 250).arg(i % 250), stranger, later);
    QCOMPARE(desk.admit(QStringLiteral("10.9.9.9"), stranger, later).status, 429);
    QCOMPARE(desk.admit(Address, stranger, later + 1).status, 403);
    QCOMPARE(desk.admit(Address, stranger, later + 2).status, 403);
    QCOMPARE(desk.admit(Address, stranger, later + 3).status, 429);
    QCOMPARE(desk.admit(QStringLiteral("10.9.9.9"), stranger, later + ClaimDesk::PerPhoneMs).status, 403);
}

void TestPhoneClaims::verdictsInThePlayersWords()
{
    const ClaimTicket ticket = ClaimTicket::of(Mine);
    const prizes::Set play = prizes::bit(Prize::TopLine) | prizes::bit(Prize::FullHouse)
        | prizes::bit(Prize::SecondFullHouse);
    std::vector<Call> calls;
    for (int n : topRowAtTwelve())
        calls.push_back({int(calls.size()) + 1, std::int16_t(n), 0});
    const auto now = checkClaim(ticket, play, calls, {});
    QCOMPARE(phoneVerdict(Prize::TopLine, now, true), QStringLiteral("Valid: Top Line is yours"));
    QCOMPARE(phoneVerdict(Prize::TopLine, now, false), QStringLiteral("Not accepted by the host"));
    QCOMPARE(phoneVerdict(Prize::FullHouse, now, true), QStringLiteral("Not complete"));
    QCOMPARE(phoneVerdict(Prize::FourCorners, now, true), QStringLiteral("Not in play"));
    QList<int> numbers = topRowAtTwelve();
    calls.push_back({13, std::int16_t(another(numbers)), 0});
    QCOMPARE(phoneVerdict(Prize::TopLine, checkClaim(ticket, play, calls, {}), true), QStringLiteral("Late"));
    const Win taken{Prize::TopLine, Neighbour.text(), 3, 1, 0, false};
    QCOMPARE(phoneVerdict(Prize::TopLine, checkClaim(ticket, play, calls, {taken}), false), QStringLiteral("Already won"));
    // The full houses are one claim: a Full House claim is told the Second's verdict.
    std::vector<Call> all{{1, std::int16_t(another({})), 0}};
    for (std::int16_t n : ticket.numbers)
        all.push_back({int(all.size()) + 1, n, 0});
    const Win first{Prize::FullHouse, Neighbour.text(), 1, all[0].number, 0, false};
    QCOMPARE(phoneVerdict(Prize::FullHouse, checkClaim(ticket, play, all, {first}), true),
             QStringLiteral("Valid: Second Full House is yours"));
}

// Accept or Reject settles the claims of that ticket at that call; the same ticket's claim
// at another call waits for its own check. Each verdict goes by ticket and is kept.
void TestPhoneClaims::theHostsDecisionSettlesTheClaimsOfThatCall()
{
    PhoneClaims claims;
    claims.follow(5);
    QSignalSpy told(&claims, &PhoneClaims::verdict);
    QSignalSpy added(&claims, &PhoneClaims::added);
    QSignalSpy removed(&claims, &PhoneClaims::removed);
    const QString a = Mine.text();
    const QString b = Neighbour.text();
    QVERIFY(claims.add({a, Prize::TopLine, 5, 5, QStringLiteral("10.0.0.1"), Now}));
    QVERIFY(claims.add({b, Prize::TopLine, 5, 5, QStringLiteral("10.0.0.2"), Now}));
    QVERIFY(claims.add({a, Prize::FullHouse, 5, 5, QStringLiteral("10.0.0.3"), Now}));
    QVERIFY(claims.add({a, Prize::FullHouse, 9, 5, QStringLiteral("10.0.0.1"), Now}));
    QCOMPARE(added.size(), 4);
    QCOMPARE(added.last()[0].toInt(), 3);
    QCOMPARE(claims.next()->code, a);
    QCOMPARE(PhoneClaims::line(claims.waiting().front()), a + QStringLiteral(" · Top Line · call 5"));

    // A ticket typed by its numbers is no phone's claim.
    ClaimTicket typed;
    QString why;
    QVERIFY(ClaimTicket::read(QStringLiteral("4 17 23 45 60"), typed, why));
    claims.settle(typed, 5, {}, true);
    QCOMPARE(claims.waiting().size(), std::size_t(4));

    Verdict valid;
    valid.prize = Prize::TopLine;
    valid.kind = Verdict::Valid;
    claims.settle(ClaimTicket::of(Mine), 5, {valid}, true);
    QCOMPARE(claims.waiting().size(), std::size_t(2));
    QCOMPARE(claims.waiting()[0].code, b);
    QCOMPARE(claims.waiting()[1].call, 9);
    QCOMPARE(removed.size(), 2);
    QCOMPARE(removed[0][0].toInt(), 0);
    QCOMPARE(removed[1][0].toInt(), 1); // the place after the first went
    QCOMPARE(told.size(), 2);
    QCOMPARE(told[0][0].toString(), a);
    const QJsonObject first = heardOf(told[0][1].toByteArray());
    QCOMPARE(first[QStringLiteral("verdict")].toString(), QStringLiteral("Valid: Top Line is yours"));
    QCOMPARE(first[QStringLiteral("prize")].toString(), QStringLiteral("top-line"));
    QCOMPARE(first[QStringLiteral("call")].toInt(), 5);
    QCOMPARE(heardOf(told[1][1].toByteArray())[QStringLiteral("verdict")].toString(), QStringLiteral("Not in play"));
    QCOMPARE(claims.told().size(), std::size_t(2));

    // A new game: every claim left is told and set aside, and nothing of the last is kept.
    claims.follow(6);
    QVERIFY(claims.waiting().empty());
    QCOMPARE(told.size(), 4);
    QVERIFY(claims.told().empty());
    QVERIFY(!claims.next());
}

// At most a few claims of one ticket and of one phone wait, and a few hundred in all: the
// rest are told to claim again.
void TestPhoneClaims::theHostsListIsBounded()
{
    PhoneClaims claims;
    claims.follow(1);
    QSignalSpy told(&claims, &PhoneClaims::verdict);
    const QString code = Mine.text();
    for (int i = 0; i < PhoneClaims::PerTicket; ++i)
        QVERIFY(claims.add({code, Prize::TopLine, i + 1, 1, QStringLiteral("10.0.0.%1").arg(i), Now}));
    QVERIFY(!claims.add({code, Prize::TopLine, 9, 1, QStringLiteral("10.0.0.9"), Now}));
    QCOMPARE(told.size(), 1);
    QVERIFY(heardOf(told[0][1].toByteArray())[QStringLiteral("verdict")].toString().contains(QLatin1String("too many")));
    for (int i = 0; i < PhoneClaims::PerPhone; ++i)
        QVERIFY(claims.add({TicketCode{7, std::uint32_t(i)}.text(), Prize::TopLine, 1, 1, Address, Now}));
    QVERIFY(!claims.add({TicketCode{7, 99}.text(), Prize::TopLine, 1, 1, Address, Now}));
    int phone = 0;
    while (claims.waiting().size() < std::size_t(PhoneClaims::MaxWaiting)) {
        QVERIFY(claims.add({TicketCode{8, std::uint32_t(phone)}.text(), Prize::TopLine, 1, 1,
                            QStringLiteral("10.2.%1.%2").arg(phone / 200).arg(phone % 200), Now}));
        ++phone;
    }
    QVERIFY(!claims.add({TicketCode{9, 0}.text(), Prize::TopLine, 1, 1, QStringLiteral("10.3.0.1"), Now}));
    QCOMPARE(claims.waiting().size(), std::size_t(PhoneClaims::MaxWaiting));
}

// A claim admitted in one game that reaches the host's list after the next began is told
// the game ended, and is never listed.
void TestPhoneClaims::aClaimOfAnotherGameIsNeverListed()
{
    PhoneClaims claims;
    claims.follow(1);
    QSignalSpy arrived(&claims, &PhoneClaims::arrived);
    QSignalSpy told(&claims, &PhoneClaims::verdict);
    claims.follow(2);
    QVERIFY(!claims.add({Mine.text(), Prize::FullHouse, 90, 1, Address, Now}));
    QVERIFY(claims.waiting().empty());
    QCOMPARE(arrived.size(), 0);
    QCOMPARE(told.size(), 1);
    QVERIFY(heardOf(told[0][1].toByteArray())[QStringLiteral("verdict")].toString().startsWith(QLatin1String("The game ended")));
    QVERIFY(claims.told().empty()); // not kept for this game's pages
    QVERIFY(claims.add({Mine.text(), Prize::FullHouse, 90, 2, Address, Now}));
}

namespace {
// A phone's page on a push channel, and everything it heard there.
struct Page
{
    QWebSocket socket;
    QList<QJsonObject> heard;

    explicit Page(quint16 port)
    {
        QObject::connect(&socket, &QWebSocket::textMessageReceived, &socket,
                         [this](const QString &text) { heard << QJsonDocument::fromJson(text.toUtf8()).object(); });
        socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/live").arg(port)));
    }
    void send(const QByteArray &message) { socket.sendTextMessage(QString::fromUtf8(message)); }
    int verdicts() const
    {
        return int(std::count_if(heard.begin(), heard.end(), [](const QJsonObject &o) { return o.contains(QStringLiteral("verdict")); }));
    }
};
} // namespace

// The server admits a claim from a push channel, answers it there and hands it on; a page
// that asks gets the books in play.
void TestPhoneClaims::aClaimTravelsThePushChannelBothWays()
{
    qRegisterMetaType<PhoneClaim>();
    Station station(QByteArray(":root{}\n"));
    const quint16 port = station.open(18090, 10);
    QVERIFY(port != 0);
    station.setBooks(Books);
    station.publish(board(topRowAtTwelve(), ToWin));
    QSignalSpy claimed(&station, &Station::claimed);

    Page phone(port), other(port);
    QTRY_COMPARE(phone.heard.size(), 1); // the board
    QTRY_COMPARE(other.heard.size(), 1);
    phone.send(ClaimDesk::BooksAsked);
    QTRY_COMPARE(phone.heard.size(), 2);
    QCOMPARE(phone.heard[1][QStringLiteral("books")].toArray(), QJsonArray{TicketCode::bookText(Mine.book)});

    phone.send(claim(Mine.text(), QStringLiteral("top-line")));
    QTRY_COMPARE(claimed.size(), 1);
    QTRY_COMPARE(phone.heard.size(), 3);
    QCOMPARE(phone.heard[2][QStringLiteral("status")].toInt(), 202);
    const auto admitted = claimed[0][0].value<PhoneClaim>();
    QCOMPARE(admitted.code, Mine.text());
    QCOMPARE(admitted.call, 12);
    QCOMPARE(admitted.address, QStringLiteral("127.0.0.1"));

    other.send(claim(PastTheEnd.text(), QStringLiteral("top-line")));
    QTRY_COMPARE(other.heard.size(), 2);
    QCOMPARE(other.heard[1][QStringLiteral("status")].toInt(), 403);
    QCOMPARE(claimed.size(), 1);
}

// A verdict goes to the ticket: to every page holding it, and to a page that holds it when
// it comes back on a new channel; never to another page, nor into the next game.
void TestPhoneClaims::aVerdictReachesTheTicketWhereverItComesBack()
{
    Station station(QByteArray(":root{}\n"));
    const quint16 port = station.open(18090, 10);
    QVERIFY(port != 0);
    station.setBooks(Books);
    station.publish(board(topRowAtTwelve(), ToWin));
    const QByteArray hold = QJsonDocument(QJsonObject{{QStringLiteral("hold"), QJsonArray{Mine.text().toLower(), Neighbour.text()}}})
                                .toJson(QJsonDocument::Compact);
    auto holder = std::make_unique<Page>(port);
    Page twin(port), stranger(port);
    for (Page *page : {holder.get(), &twin, &stranger})
        QTRY_COMPARE(page->heard.size(), 1);
    holder->send(hold);
    twin.send(hold);
    stranger.send(QByteArrayLiteral("{\"hold\":[]}"));
    QTest::qWait(100);
    const QByteArray verdict = "{\"claim\":\"" + Mine.text().toLatin1() + "\",\"prize\":\"top-line\",\"call\":12,\"verdict\":\"Late\"}";
    station.tellVerdict(Mine.text(), verdict);
    QTRY_COMPARE(holder->verdicts(), 1);
    QTRY_COMPARE(twin.verdicts(), 1);

    // The channel dropped; the host decided meanwhile; the page comes back and says what it holds.
    holder.reset();
    station.tellVerdict(Mine.text(), "{\"claim\":\"" + Mine.text().toLatin1() + "\",\"prize\":\"full-house\",\"call\":12,\"verdict\":\"Not complete\"}");
    QTRY_COMPARE(twin.verdicts(), 2);
    Page back(port);
    QTRY_COMPARE(back.heard.size(), 1);
    back.send(hold);
    QTRY_COMPARE(back.verdicts(), 2);
    QCOMPARE(back.heard.last()[QStringLiteral("verdict")].toString(), QStringLiteral("Not complete"));
    QCOMPARE(stranger.verdicts(), 0);

    // The next game keeps none of them.
    station.publish(board({}, ToWin, {}, 2));
    Page next(port);
    QTRY_COMPARE(next.heard.size(), 1);
    next.send(hold);
    QTest::qWait(200);
    QCOMPARE(next.verdicts(), 0);
}

// The verdicts kept for pages that come back: the newest few of a ticket, and past the bound
// the tickets told longest ago are forgotten first.
void TestPhoneClaims::theVerdictsKeptAreBounded()
{
    ClaimDesk desk;
    for (int i = 0; i < int(ClaimDesk::KeptPerTicket) + 3; ++i)
        desk.keepVerdict(Mine.text(), QByteArray::number(i));
    const std::vector<QByteArray> mine = desk.verdictsFor(Mine.text());
    QCOMPARE(mine.size(), ClaimDesk::KeptPerTicket);
    QCOMPARE(mine.front(), QByteArray::number(3));
    QCOMPARE(mine.back(), QByteArray::number(int(ClaimDesk::KeptPerTicket) + 2));
    for (std::uint32_t i = 0; i < ClaimDesk::MaxKept; ++i)
        desk.keepVerdict(TicketCode{9, i}.text(), "told");
    QVERIFY(desk.verdictsFor(Mine.text()).empty());
    QCOMPARE(desk.verdictsFor(TicketCode{9, 0}.text()).size(), std::size_t(1));
    QCOMPARE(desk.verdictsFor(TicketCode{9, ClaimDesk::MaxKept - 1}.text()).size(), std::size_t(1));
}

QTEST_GUILESS_MAIN(TestPhoneClaims)
#include "tst_phoneclaims.moc"
