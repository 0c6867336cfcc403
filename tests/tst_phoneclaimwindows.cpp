#include "books.h"
#include "frmclaim.h"
#include "frmphoneclaims.h"
#include "frmprizes.h"
#include "phoneclaims.h"
#include "phonesharing.h"
#include "ticketcode.h"
#include "windowrig.h"

#include <QAccessible>
#include <QCheckBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListWidget>
#include <QSignalSpy>
#include <QTemporaryDir>

class TestPhoneClaimWindows : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void theHostSeesHearsAndChecksClaimsFromPhones();
    void aClaimFromAPhoneStopsTheCallingUnlessTurnedOff();
    void theListFollowsTheClaimsOneChangeAtATime();
    void theListLeavesTheReaderAloneUntilF10();

private:
    QTemporaryDir state;
};

namespace {
const TicketCode First{4321, 0};
const TicketCode Second{4321, 1};

PhoneClaim claimOf(WindowRig &rig, const TicketCode &code, Prize prize, int call, const char *address)
{
    return {code.text(), prize, call, rig.game().identity(), QLatin1String(address), 0};
}

// A code as a host repeats it to a player: each character, a pause between the groups.
QString spelt(const TicketCode &code)
{
    QStringList groups;
    for (const QString &group : code.text().split(QLatin1Char('-'))) {
        QStringList characters;
        for (QChar c : group)
            characters << QString(c);
        groups << characters.join(QLatin1Char(' '));
    }
    return groups.join(QStringLiteral(", "));
}

QStringList toldBy(QWidget *window)
{
    QStringList names;
    for (QWidget *notice : window->findChildren<QWidget *>(QStringLiteral("readerNotice")))
        names << QAccessible::queryAccessibleInterface(notice)->text(QAccessible::Name);
    return names;
}

// The game started and stopped by hand after that many calls: the sharing's claims, empty.
PhoneClaims &calledUpTo(WindowRig &rig, int calls)
{
    QTest::mouseClick(rig.cmdStart(), Qt::LeftButton);
    timerOf(rig.game()).stop();
    rig.tick(calls);
    return rig.window.findChild<PhoneSharing *>()->claims();
}

QStringList shown(QListWidget *list)
{
    QStringList lines;
    for (int i = 0; i < list->count(); ++i)
        lines << list->item(i)->text();
    return lines;
}
} // namespace

void TestPhoneClaimWindows::initTestCase()
{
    qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
    BookList books(state.path() + QStringLiteral("/tabro-kalvor"));
    QString why;
    QVERIFY2(books.add({4321, 1, Paper::A4, 0}, why), qPrintable(why));
}

// Claims from phones come to the host's list oldest first and are told to a reader once
// (those coming together, together); F9 checks the oldest with its code filled in as of its
// call, the host's Reject sends that ticket its verdict, and F9 then takes the next.
void TestPhoneClaimWindows::theHostSeesHearsAndChecksClaimsFromPhones()
{
    WindowRig rig;
    PhoneClaims &claims = calledUpTo(rig, 3);
    QVERIFY(claims.add(claimOf(rig, First, Prize::TopLine, 3, "10.0.0.11")));
    QVERIFY(claims.add(claimOf(rig, Second, Prize::FullHouse, 3, "10.0.0.12")));
    QVERIFY(claims.add(claimOf(rig, First, Prize::EarlyFive, 3, "10.0.0.13")));

    auto *list = rig.secondary<frmPhoneClaims>("frmPhoneClaims");
    QVERIFY(list && list->isVisible());
    auto *lstClaims = list->findChild<QListWidget *>(QStringLiteral("lstClaims"));
    QCOMPARE(shown(lstClaims), (QStringList{First.text() + QStringLiteral(" · Top Line · call 3"),
                                            Second.text() + QStringLiteral(" · Full House · call 3"),
                                            First.text() + QStringLiteral(" · Early Five · call 3")}));

    auto told = [&rig] { return toldBy(&rig.window); };
    QCOMPARE(told().count(QStringLiteral("Claim from a phone for Top Line")), 1);
    QTRY_VERIFY(told().contains(QStringLiteral("2 more claims from phones")));

    QCOMPARE(rig.game().run(), Game::Run::Stopped); // as a shout stops the caller
    QTest::mouseClick(rig.cmdStart(), Qt::LeftButton); // the host went on calling before checking
    timerOf(rig.game()).stop();
    rig.tick();
    rig.action("mnuClaim")->trigger();
    auto *claim = rig.secondary<frmClaim>("frmClaim");
    QVERIFY(claim);
    QCOMPARE(claim->findChild<QLineEdit *>(QStringLiteral("txtTicket"))->text(), First.text());
    QVERIFY(claim->findChild<QLabel *>(QStringLiteral("lblMessage"))->text().contains(QLatin1String("claimed at call 3")));
    QVERIFY(claim->findChild<QListWidget *>(QStringLiteral("lstVerdicts"))->count() > 0);
    // The answer, through the main window's line: one of the dialog's own would be said after
    // its title and status.
    QVERIFY(toldBy(&rig.window).contains(spokenVerdicts(rig.game().checkClaim(ClaimTicket::of(First), 3))));
    QVERIFY(toldBy(claim).isEmpty());

    QSignalSpy verdicts(&claims, &PhoneClaims::verdict);
    QTest::mouseClick(claim->findChild<QPushButton *>(QStringLiteral("cmdReject")), Qt::LeftButton);
    QVERIFY(toldBy(&rig.window).contains(QStringLiteral("Rejected, nothing recorded for ticket %1.").arg(spelt(First))));
    QCOMPARE(verdicts.size(), 2); // both claims of that ticket at that call
    QCOMPARE(verdicts[0][0].toString(), First.text());
    QCOMPARE(QJsonDocument::fromJson(verdicts[0][1].toByteArray()).object()[QStringLiteral("prize")].toString(),
             QStringLiteral("top-line"));
    QCOMPARE(QJsonDocument::fromJson(verdicts[1][1].toByteArray()).object()[QStringLiteral("prize")].toString(),
             QStringLiteral("early-five"));
    QCOMPARE(lstClaims->count(), 1);

    rig.action("mnuClaim")->trigger();
    QCOMPARE(claim->findChild<QLineEdit *>(QStringLiteral("txtTicket"))->text(), Second.text());
    // Typed over by the host (a shout from the hall), F9 again leaves what was typed.
    claim->findChild<QLineEdit *>(QStringLiteral("txtTicket"))->setText(QStringLiteral("4 17 23 45 60"));
    claim->cmdCheck_Click();
    rig.action("mnuClaim")->trigger();
    QCOMPARE(claim->findChild<QLineEdit *>(QStringLiteral("txtTicket"))->text(), QStringLiteral("4 17 23 45 60"));
}

// A claim from a phone stops the calling as a shout does, by default; with the Prizes
// window's switch off, the calling goes on while it waits.
void TestPhoneClaimWindows::aClaimFromAPhoneStopsTheCallingUnlessTurnedOff()
{
    WindowRig rig;
    PhoneClaims &claims = calledUpTo(rig, 2);
    QVERIFY(rig.game().claimsStopCalling());
    QVERIFY(claims.add(claimOf(rig, First, Prize::TopLine, 2, "10.0.0.11")));
    QCOMPARE(rig.game().run(), Game::Run::Stopped);
    QCOMPARE(rig.cmdStart()->text(), QStringLiteral("&Start"));
    rig.tick();
    QCOMPARE(rig.game().calls().size(), std::size_t(2));

    rig.action("mnuPrizes")->trigger();
    auto *prizes = rig.secondary<frmPrizes>("frmPrizes");
    QVERIFY(prizes);
    auto *stops = prizes->findChild<QCheckBox *>(QStringLiteral("chkClaimsStop"));
    QVERIFY(stops->isChecked());
    stops->setChecked(false);
    QTest::mouseClick(prizes->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
    QVERIFY(!rig.game().claimsStopCalling());
    QTest::mouseClick(rig.cmdStart(), Qt::LeftButton);
    timerOf(rig.game()).stop();
    QVERIFY(claims.add(claimOf(rig, Second, Prize::TopLine, 2, "10.0.0.12")));
    QCOMPARE(rig.game().run(), Game::Run::Calling);
    rig.tick();
    QCOMPARE(rig.game().calls().size(), std::size_t(3));
}

// The host's list changes by one line a claim, never rebuilt: the line chosen stays chosen,
// and the list never holds more than its bound.
void TestPhoneClaimWindows::theListFollowsTheClaimsOneChangeAtATime()
{
    WindowRig rig;
    rig.game().setClaimsStopCalling(false);
    PhoneClaims &claims = calledUpTo(rig, 2);
    QVERIFY(claims.add(claimOf(rig, First, Prize::TopLine, 2, "10.0.0.1")));
    auto *list = rig.secondary<frmPhoneClaims>("frmPhoneClaims");
    auto *lstClaims = list->findChild<QListWidget *>(QStringLiteral("lstClaims"));
    QListWidgetItem *oldest = lstClaims->item(0);
    for (int i = 0; i < 600; ++i)
        claims.add(claimOf(rig, TicketCode{4321, std::uint32_t(2 + i)}, Prize::TopLine, 2,
                           qPrintable(QStringLiteral("10.1.%1.%2").arg(i / 200).arg(i % 200))));
    QCOMPARE(lstClaims->count(), PhoneClaims::MaxWaiting);
    QCOMPARE(lstClaims->item(0), oldest);
    lstClaims->setCurrentRow(7);
    QListWidgetItem *chosen = lstClaims->currentItem();
    Verdict late;
    late.prize = Prize::TopLine;
    late.kind = Verdict::Late;
    claims.settle(ClaimTicket::of(First), 2, {late}, false);
    QCOMPARE(lstClaims->count(), PhoneClaims::MaxWaiting - 1);
    QCOMPARE(lstClaims->currentItem(), chosen);
    QCOMPARE(shown(lstClaims), [&claims] {
        QStringList lines;
        for (const PhoneClaim &claim : claims.waiting())
            lines << PhoneClaims::line(claim);
        return lines;
    }());
}

// Claims arriving while the host's keys are in the main window leave the list without a
// chosen line (a reader would read the list at each), each line says its code spelt out, and
// F10 gives the list the keys on the newest claim.
void TestPhoneClaimWindows::theListLeavesTheReaderAloneUntilF10()
{
    WindowRig rig;
    QApplication::setActiveWindow(&rig.window);
    PhoneClaims &claims = calledUpTo(rig, 3);
    QVERIFY(claims.add(claimOf(rig, First, Prize::TopLine, 3, "10.0.0.11")));
    QVERIFY(claims.add(claimOf(rig, Second, Prize::FullHouse, 3, "10.0.0.12")));
    auto *list = rig.secondary<frmPhoneClaims>("frmPhoneClaims");
    QVERIFY(list && list->isVisible());
    auto *lstClaims = list->findChild<QListWidget *>(QStringLiteral("lstClaims"));
    QCOMPARE(QApplication::activeWindow(), &rig.window);
    QCOMPARE(lstClaims->currentRow(), -1);
    QCOMPARE(lstClaims->item(1)->data(Qt::AccessibleTextRole).toString(),
             QStringLiteral("Full House, ticket %1, call 3").arg(spelt(Second)));

    rig.action("mnuPhoneClaims")->trigger();
    QTRY_COMPARE(QApplication::activeWindow(), list);
    QVERIFY(lstClaims->hasFocus());
    QCOMPARE(lstClaims->currentRow(), 1);
    QCOMPARE(QAccessible::queryAccessibleInterface(lstClaims)->child(1)->text(QAccessible::Name),
             QStringLiteral("Full House, ticket %1, call 3").arg(spelt(Second)));
    // Check with none chosen takes the oldest, as F9 does.
    lstClaims->setCurrentRow(-1);
    QSignalSpy checks(list, &frmPhoneClaims::check);
    list->cmdCheck_Click();
    QCOMPARE(checks.size(), 1);
    QCOMPARE(checks[0][0].toString(), First.text());
}

QTEST_MAIN(TestPhoneClaimWindows)
#include "tst_phoneclaimwindows.moc"
