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

namespace {
const qint64 Now = 1'800'000'000'000;
const TicketCode InPlay{4321, 98765}; // 872-73FQ-Q
const TicketCode Elsewhere{0, 0};     // 222-2222-2

// The board as the phones see it: so many calls, these prizes to win, these winners.
QByteArray board(int calls, const QStringList &toWin, const QJsonArray &winners = {})
{
    QJsonArray numbers;
    for (int i = 1; i <= calls; ++i)
        numbers.append(i);
    return QJsonDocument(QJsonObject{{QStringLiteral("calls"), numbers},
                                     {QStringLiteral("toWin"), QJsonArray::fromStringList(toWin)},
                                     {QStringLiteral("winners"), winners}})
        .toJson(QJsonDocument::Compact);
}

QByteArray claim(const QString &code, const QString &prize)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("claim"), code}, {QStringLiteral("prize"), prize}})
        .toJson(QJsonDocument::Compact);
}

ClaimDesk deskAt(int calls, const QStringList &toWin = {QStringLiteral("Top Line"), QStringLiteral("Full House")},
                 const QJsonArray &winners = {})
{
    ClaimDesk desk;
    desk.setBooks({InPlay.book});
    desk.follow(board(calls, toWin, winners));
    return desk;
}

// The calls that make a ticket's top row complete with the last of them, after others.
std::vector<Call> topRowCalledLast(const Ticket &ticket, std::int16_t before)
{
    std::vector<Call> calls;
    auto call = [&calls](std::int16_t n) { calls.push_back({int(calls.size()) + 1, n, 0}); };
    if (before)
        call(before);
    for (std::int16_t n : ticket.cells[0])
        if (n)
            call(n);
    return calls;
}
} // namespace

class TestPhoneClaims : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void aClaimWaitsOnlyWhenItMay_data();
    void aClaimWaitsOnlyWhenItMay();
    void oneClaimPerTicketPerCall();
    void aPhoneHasAFewClaimsAMinute();
    void verdictsInThePlayersWords();
    void theHostsDecisionSettlesEveryClaimOfTheTicket();
    void aClaimTravelsThePushChannelBothWays();
    void aVerdictNeverReachesAnotherPhoneAfterSharingComesBack();
};

void TestPhoneClaims::aClaimWaitsOnlyWhenItMay_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<int>("calls");
    QTest::addColumn<QJsonArray>("winners");
    QTest::addColumn<int>("status");
    const QString code = InPlay.text();
    const QJsonArray none;
    QTest::newRow("a code of a book in play") << claim(code, QStringLiteral("Top Line")) << 12 << none << 202;
    QTest::newRow("typed as a player types it") << claim(code.toLower().remove(QLatin1Char('-')), QStringLiteral("Top Line")) << 12 << none << 202;
    QTest::newRow("not JSON") << QByteArray("{\"claim\" 872-73FQ-Q") << 12 << none << 400;
    QTest::newRow("a mistyped check character") << claim(code.left(9) + QLatin1Char('R'), QStringLiteral("Top Line")) << 12 << none << 400;
    QTest::newRow("longer than any claim") << claim(code + QString(300, QLatin1Char(' ')), QStringLiteral("Top Line")) << 12 << none << 400;
    QTest::newRow("a book not printed here") << claim(Elsewhere.text(), QStringLiteral("Top Line")) << 12 << none << 403;
    QTest::newRow("a prize not in play") << claim(code, QStringLiteral("Four Corners")) << 12 << none << 422;
    QTest::newRow("no prize at all") << claim(code, QStringLiteral("Everything")) << 12 << none << 422;
    QTest::newRow("before the first call") << claim(code, QStringLiteral("Top Line")) << 0 << none << 422;
    const QJsonObject wonNow{{QStringLiteral("prize"), QStringLiteral("Middle Line")}, {QStringLiteral("call"), 12}};
    const QJsonObject wonBefore{{QStringLiteral("prize"), QStringLiteral("Middle Line")}, {QStringLiteral("call"), 11}};
    QTest::newRow("won by another at this call: to share") << claim(code, QStringLiteral("Middle Line")) << 12 << QJsonArray{wonNow} << 202;
    QTest::newRow("won at an earlier call") << claim(code, QStringLiteral("Middle Line")) << 12 << QJsonArray{wonBefore} << 422;
}

void TestPhoneClaims::aClaimWaitsOnlyWhenItMay()
{
    QFETCH(QByteArray, message);
    QFETCH(int, calls);
    QFETCH(QJsonArray, winners);
    QFETCH(int, status);
    ClaimDesk desk = deskAt(calls, {QStringLiteral("Top Line"), QStringLiteral("Full House")}, winners);
    QVERIFY(ClaimDesk::isClaim(message));
    const ClaimDesk::Answer answer = desk.admit(7, message, Now);
    QCOMPARE(answer.status, status);
    const QJsonObject told = QJsonDocument::fromJson(answer.text()).object();
    QCOMPARE(told[QStringLiteral("status")].toInt(), status);
    if (status == 202) {
        QCOMPARE(answer.claim.code, InPlay.text());
        QCOMPARE(answer.claim.call, calls);
        QCOMPARE(answer.claim.phone, quint64(7));
    } else {
        QVERIFY(!told[QStringLiteral("why")].toString().isEmpty());
    }
}

void TestPhoneClaims::oneClaimPerTicketPerCall()
{
    ClaimDesk desk = deskAt(12);
    const QByteArray top = claim(InPlay.text(), QStringLiteral("Top Line"));
    QCOMPARE(desk.admit(1, top, Now).status, 202);
    QCOMPARE(desk.admit(1, claim(InPlay.text(), QStringLiteral("Full House")), Now).status, 409);
    QCOMPARE(desk.admit(2, top, Now).status, 409); // from another phone too
    QCOMPARE(desk.admit(3, claim(TicketCode{4321, 98766}.text(), QStringLiteral("Top Line")), Now).status, 202);
    desk.follow(board(12, {QStringLiteral("Top Line")})); // the same call, told again
    QCOMPARE(desk.admit(4, top, Now).status, 409);
    desk.follow(board(13, {QStringLiteral("Top Line")}));
    QCOMPARE(desk.admit(4, top, Now).status, 202);
}

void TestPhoneClaims::aPhoneHasAFewClaimsAMinute()
{
    ClaimDesk desk = deskAt(12);
    const QByteArray stranger = claim(Elsewhere.text(), QStringLiteral("Top Line"));
    for (int i = 0; i < ClaimDesk::PerPhone; ++i)
        QCOMPARE(desk.admit(1, stranger, Now + i).status, 403);
    // Past its few, even a good claim is refused: the flood costs the phone alone.
    QCOMPARE(desk.admit(1, claim(InPlay.text(), QStringLiteral("Top Line")), Now + 10).status, 429);
    QCOMPARE(desk.admit(2, claim(InPlay.text(), QStringLiteral("Top Line")), Now + 10).status, 202);
    QCOMPARE(desk.admit(1, stranger, Now + ClaimDesk::PerPhoneMs - 1).status, 429);
    QCOMPARE(desk.admit(1, stranger, Now + ClaimDesk::PerPhoneMs).status, 403);
    // A phone that left starts afresh when it comes back (as a new channel).
    for (int i = 0; i < ClaimDesk::PerPhone; ++i)
        desk.admit(3, stranger, Now);
    QCOMPARE(desk.admit(3, stranger, Now).status, 429);
    desk.forget(3);
    QCOMPARE(desk.admit(3, stranger, Now).status, 403);
}

void TestPhoneClaims::verdictsInThePlayersWords()
{
    const ClaimTicket ticket = ClaimTicket::of(InPlay);
    const Ticket cells = InPlay.ticket();
    std::int16_t other = 0;
    for (std::int16_t n = 1; n <= 90 && !other; ++n)
        if (std::find(ticket.numbers.begin(), ticket.numbers.end(), n) == ticket.numbers.end())
            other = n;
    const prizes::Set play = prizes::bit(Prize::TopLine) | prizes::bit(Prize::FullHouse)
        | prizes::bit(Prize::SecondFullHouse);
    std::vector<Call> calls = topRowCalledLast(cells, other);
    const auto now = checkClaim(ticket, play, calls, {});
    QCOMPARE(phoneVerdict(Prize::TopLine, now, true), QStringLiteral("Valid: Top Line is yours"));
    QCOMPARE(phoneVerdict(Prize::TopLine, now, false), QStringLiteral("Not accepted by the host"));
    QCOMPARE(phoneVerdict(Prize::FullHouse, now, true), QStringLiteral("Not complete"));
    QCOMPARE(phoneVerdict(Prize::FourCorners, now, true), QStringLiteral("Not in play"));
    calls.push_back({int(calls.size()) + 1, std::int16_t(other == 90 ? 89 : 90), 0});
    if (std::find(ticket.numbers.begin(), ticket.numbers.end(), calls.back().number) == ticket.numbers.end())
        QCOMPARE(phoneVerdict(Prize::TopLine, checkClaim(ticket, play, calls, {}), true), QStringLiteral("Late"));
    const Win taken{Prize::TopLine, TicketCode{4321, 98766}.text(), 3, 1, 0, false};
    QCOMPARE(phoneVerdict(Prize::TopLine, checkClaim(ticket, play, calls, {taken}), false), QStringLiteral("Already won"));
    // The full houses are one claim: a Full House claim is told the Second's verdict.
    std::vector<Call> all;
    for (std::int16_t n : ticket.numbers)
        all.push_back({int(all.size()) + 1, n, 0});
    all.insert(all.begin(), {0, other, 0});
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i].position = int(i) + 1;
    const Win first{Prize::FullHouse, TicketCode{4321, 98766}.text(), 1, other, 0, false};
    QCOMPARE(phoneVerdict(Prize::FullHouse, checkClaim(ticket, play, all, {first}), true),
             QStringLiteral("Valid: Second Full House is yours"));
}

void TestPhoneClaims::theHostsDecisionSettlesEveryClaimOfTheTicket()
{
    PhoneClaims claims;
    QSignalSpy told(&claims, &PhoneClaims::verdict);
    QSignalSpy arrived(&claims, &PhoneClaims::arrived);
    const QString a = InPlay.text();
    const QString b = TicketCode{4321, 98766}.text();
    QVERIFY(claims.add({a, Prize::TopLine, 5, 1, Now}));
    QVERIFY(claims.add({b, Prize::TopLine, 5, 2, Now}));
    QVERIFY(claims.add({a, Prize::FullHouse, 9, 3, Now}));
    QCOMPARE(arrived.size(), 3);
    QCOMPARE(PhoneClaims::line(claims.waiting().front()), a + QStringLiteral(" · Top Line · call 5"));

    // A ticket typed by its numbers is no phone's claim.
    ClaimTicket typed;
    QString why;
    QVERIFY(ClaimTicket::read(QStringLiteral("4 17 23 45 60"), typed, why));
    claims.settle(typed, {}, true);
    QCOMPARE(claims.waiting().size(), std::size_t(3));

    Verdict valid;
    valid.prize = Prize::TopLine;
    valid.kind = Verdict::Valid;
    claims.settle(ClaimTicket::of(InPlay), {valid}, true);
    QCOMPARE(claims.waiting().size(), std::size_t(1));
    QCOMPARE(claims.waiting().front().code, b);
    QCOMPARE(told.size(), 2);
    QCOMPARE(told[0][0].value<quint64>(), quint64(1));
    QCOMPARE(QJsonDocument::fromJson(told[0][1].toByteArray()).object()[QStringLiteral("verdict")].toString(),
             QStringLiteral("Valid: Top Line is yours"));
    QCOMPARE(told[1][0].value<quint64>(), quint64(3));
    QCOMPARE(QJsonDocument::fromJson(told[1][1].toByteArray()).object()[QStringLiteral("verdict")].toString(),
             QStringLiteral("Not in play"));

    // A new game: every claim left is told and set aside.
    claims.clear();
    QVERIFY(claims.waiting().empty());
    QCOMPARE(told.size(), 3);
    QCOMPARE(told[2][0].value<quint64>(), quint64(2));

    // The list is bounded: past it, the phone is told to claim again.
    for (int i = 0; i < PhoneClaims::MaxWaiting; ++i)
        QVERIFY(claims.add({a, Prize::TopLine, i, quint64(i), Now}));
    QVERIFY(!claims.add({b, Prize::TopLine, 1, 9999, Now}));
    QCOMPARE(told.last()[0].value<quint64>(), quint64(9999));
}

// The server admits a claim from a push channel, answers it there, hands it on, and sends
// the host's verdict back to that phone alone; a page that asks gets the books in play.
void TestPhoneClaims::aClaimTravelsThePushChannelBothWays()
{
    qRegisterMetaType<PhoneClaim>();
    Station station(QByteArray(":root{}\n"));
    const quint16 port = station.open(18090, 10);
    QVERIFY(port != 0);
    station.setBooks({InPlay.book});
    station.publish(board(12, {QStringLiteral("Top Line")}));
    QSignalSpy claimed(&station, &Station::claimed);

    struct Page
    {
        QWebSocket socket;
        QList<QJsonObject> heard;
    };
    Page phone, other;
    for (Page *page : {&phone, &other}) {
        QObject::connect(&page->socket, &QWebSocket::textMessageReceived, &page->socket,
                         [page](const QString &text) { page->heard << QJsonDocument::fromJson(text.toUtf8()).object(); });
        page->socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/live").arg(port)));
    }
    QTRY_COMPARE(phone.heard.size(), 1); // the board
    QTRY_COMPARE(other.heard.size(), 1);
    phone.socket.sendTextMessage(QString::fromLatin1(ClaimDesk::BooksAsked));
    QTRY_COMPARE(phone.heard.size(), 2);
    QCOMPARE(phone.heard[1][QStringLiteral("books")].toArray(), QJsonArray{QStringLiteral("872")});

    phone.socket.sendTextMessage(QString::fromUtf8(claim(InPlay.text(), QStringLiteral("Top Line"))));
    QTRY_COMPARE(claimed.size(), 1);
    QTRY_COMPARE(phone.heard.size(), 3);
    QCOMPARE(phone.heard[2][QStringLiteral("status")].toInt(), 202);
    const auto admitted = claimed[0][0].value<PhoneClaim>();
    QCOMPARE(admitted.code, InPlay.text());
    QCOMPARE(admitted.call, 12);

    other.socket.sendTextMessage(QString::fromUtf8(claim(Elsewhere.text(), QStringLiteral("Top Line"))));
    QTRY_COMPARE(other.heard.size(), 2);
    QCOMPARE(other.heard[1][QStringLiteral("status")].toInt(), 403);

    station.tellVerdict(admitted.phone, "{\"claim\":\"872-73FQ-Q\",\"verdict\":\"Late\"}");
    QTRY_COMPARE(phone.heard.size(), 4);
    QCOMPARE(phone.heard[3][QStringLiteral("verdict")].toString(), QStringLiteral("Late"));
    QTest::qWait(200);
    QCOMPARE(other.heard.size(), 2);
    QCOMPARE(claimed.size(), 1);
}

// Sharing off and on again makes a new server: a claim still waiting from before must not
// have its verdict sent to whichever phone now holds the same place.
void TestPhoneClaims::aVerdictNeverReachesAnotherPhoneAfterSharingComesBack()
{
    qRegisterMetaType<PhoneClaim>();
    quint64 before = 0;
    for (int round = 0; round < 2; ++round) {
        Station station(QByteArray(":root{}\n"));
        const quint16 port = station.open(18090, 10);
        QVERIFY(port != 0);
        station.setBooks({InPlay.book});
        station.publish(board(3, {QStringLiteral("Top Line")}));
        QSignalSpy claimed(&station, &Station::claimed);
        QWebSocket phone;
        QList<QJsonObject> heard;
        QObject::connect(&phone, &QWebSocket::textMessageReceived, &phone,
                         [&heard](const QString &text) { heard << QJsonDocument::fromJson(text.toUtf8()).object(); });
        phone.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/live").arg(port)));
        QTRY_COMPARE(heard.size(), 1);
        if (round == 1) {
            station.tellVerdict(before, "{\"verdict\":\"Valid: Top Line is yours\"}");
            QTest::qWait(200);
            QCOMPARE(heard.size(), 1);
        }
        phone.sendTextMessage(QString::fromUtf8(claim(InPlay.text(), QStringLiteral("Top Line"))));
        QTRY_COMPARE(claimed.size(), 1);
        const quint64 id = claimed[0][0].value<PhoneClaim>().phone;
        QVERIFY(id != before);
        before = id;
    }
}

QTEST_GUILESS_MAIN(TestPhoneClaims)
#include "tst_phoneclaims.moc"
