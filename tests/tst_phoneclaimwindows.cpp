#include "books.h"
#include "frmclaim.h"
#include "frmphoneclaims.h"
#include "phoneclaims.h"
#include "phonesharing.h"
#include "ticketcode.h"
#include "windowrig.h"

#include <QAccessible>
#include <QListWidget>
#include <QSignalSpy>
#include <QTemporaryDir>

class TestPhoneClaimWindows : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void theHostSeesHearsAndChecksClaimsFromPhones();

private:
    QTemporaryDir state;
};

void TestPhoneClaimWindows::initTestCase()
{
    qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
    BookList books(state.path() + QStringLiteral("/tabro-kalvor"));
    QString why;
    QVERIFY2(books.add({4321, 1, Paper::A4, 0}, why), qPrintable(why));
}

// Claims from phones come to the host's list oldest first and are told to a reader once
// (those coming together, together); the calling goes on; F9 checks the oldest with its
// code filled in, the host's Reject sends that phone its verdict, and F9 then takes the next.
void TestPhoneClaimWindows::theHostSeesHearsAndChecksClaimsFromPhones()
{
    WindowRig rig;
    QTest::mouseClick(rig.cmdStart(), Qt::LeftButton);
    rig.tick(3);
    PhoneClaims &claims = rig.window.findChild<PhoneSharing *>()->claims();
    const QString first = TicketCode{4321, 98765}.text();
    const QString second = TicketCode{4321, 98766}.text();
    QVERIFY(claims.add({first, Prize::TopLine, 3, 11, 0}));
    QVERIFY(claims.add({second, Prize::FullHouse, 3, 12, 0}));
    QVERIFY(claims.add({first, Prize::EarlyFive, 3, 13, 0}));
    QCOMPARE(rig.game().run(), Game::Run::Calling);

    auto *list = rig.secondary<frmPhoneClaims>("frmPhoneClaims");
    QVERIFY(list && list->isVisible());
    auto *lstClaims = list->findChild<QListWidget *>(QStringLiteral("lstClaims"));
    QStringList shown;
    for (int i = 0; i < lstClaims->count(); ++i)
        shown << lstClaims->item(i)->text();
    QCOMPARE(shown, (QStringList{first + QStringLiteral(" · Top Line · call 3"),
                                 second + QStringLiteral(" · Full House · call 3"),
                                 first + QStringLiteral(" · Early Five · call 3")}));

    auto told = [&rig] {
        QStringList names;
        for (QWidget *notice : rig.window.findChildren<QWidget *>(QStringLiteral("readerNotice")))
            names << QAccessible::queryAccessibleInterface(notice)->text(QAccessible::Name);
        return names;
    };
    QCOMPARE(told().count(QStringLiteral("Claim from a phone for Top Line")), 1);
    QTRY_VERIFY(told().contains(QStringLiteral("2 more claims from phones")));

    rig.action("mnuClaim")->trigger();
    auto *claim = rig.secondary<frmClaim>("frmClaim");
    QVERIFY(claim);
    QCOMPARE(claim->findChild<QLineEdit *>(QStringLiteral("txtTicket"))->text(), first);
    QVERIFY(claim->findChild<QListWidget *>(QStringLiteral("lstVerdicts"))->count() > 0);

    QSignalSpy verdicts(&claims, &PhoneClaims::verdict);
    QTest::mouseClick(claim->findChild<QPushButton *>(QStringLiteral("cmdReject")), Qt::LeftButton);
    QCOMPARE(verdicts.size(), 2); // both claims of that ticket
    QCOMPARE(verdicts[0][0].value<quint64>(), quint64(11));
    QCOMPARE(verdicts[1][0].value<quint64>(), quint64(13));
    QCOMPARE(lstClaims->count(), 1);

    rig.action("mnuClaim")->trigger();
    QCOMPARE(claim->findChild<QLineEdit *>(QStringLiteral("txtTicket"))->text(), second);
}

QTEST_MAIN(TestPhoneClaimWindows)
#include "tst_phoneclaimwindows.moc"
