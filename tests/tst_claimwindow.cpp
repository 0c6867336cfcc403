#include "books.h"
#include "frmclaim.h"
#include "ticketcode.h"
#include "windowrig.h"

#include <QLabel>
#include <QListWidget>
#include <QTemporaryDir>

// Check a Claim as the host meets it: what is pasted into it, a new game under it, and a
// ticket of a book this caller did not print.
class TestClaimWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void pastedPagesNeitherWidenNorFreezeIt();
    void aNewGameClearsWhatItShowed();
    void aBookPrintedElsewhereWaitsForCheckAnyway();

private:
    QTemporaryDir state;
};

namespace {
struct ClaimRig : WindowRig
{
    frmClaim claim{game(), &window};
    QLineEdit *txtTicket = claim.findChild<QLineEdit *>(QStringLiteral("txtTicket"));
    QListWidget *lstVerdicts = claim.findChild<QListWidget *>(QStringLiteral("lstVerdicts"));
    QLabel *lblMessage = claim.findChild<QLabel *>(QStringLiteral("lblMessage"));
    QPushButton *cmdAccept = claim.findChild<QPushButton *>(QStringLiteral("cmdAccept"));
    QPushButton *cmdCheckAnyway = claim.findChild<QPushButton *>(QStringLiteral("cmdCheckAnyway"));

    ClaimRig()
    {
        claim.show();
        (void)QTest::qWaitForWindowExposed(&claim);
    }
    void check(const QString &typed)
    {
        txtTicket->setText(typed);
        claim.cmdCheck_Click();
    }
};
} // namespace

void TestClaimWindow::initTestCase()
{
    qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
}

void TestClaimWindow::pastedPagesNeitherWidenNorFreezeIt()
{
    ClaimRig rig;
    const int width = rig.claim.width();
    for (const QString &pasted : {QString(10000, QLatin1Char('7')), QString(32767, QLatin1Char('/')),
                                  QStringLiteral("4 ") + QString(250, QLatin1Char('x'))}) {
        rig.check(pasted);
        QApplication::processEvents();
        QCOMPARE(rig.claim.width(), width);
        QVERIFY(rig.txtTicket->text().size() <= 2 * ClaimTicket::MaxTypedLength);
        QVERIFY(rig.lblMessage->text().size() < 200);
        QCOMPARE(rig.lstVerdicts->count(), 0);
        QVERIFY(!rig.cmdAccept->isEnabled());
    }
}

void TestClaimWindow::aNewGameClearsWhatItShowed()
{
    ClaimRig rig;
    rig.game().cmdStart_Click();
    rig.tick(6);
    QStringList five;
    for (int position = 2; position <= 6; ++position)
        five << QString::number(rig.state().callorder[position]);
    rig.check(five.join(QLatin1Char(' ')));
    QVERIFY(rig.lstVerdicts->count() > 0);
    QVERIFY(rig.cmdAccept->isEnabled()); // Early Five by the last call
    rig.tick(1);
    QVERIFY2(!rig.cmdAccept->isEnabled(), "a call made meanwhile leaves a valid Accept on the screen");
    rig.tick(GameState::Numbers); // the game ends; the question's Yes starts a new one
    QCOMPARE(rig.state().callcount, 0);
    QCOMPARE(rig.lstVerdicts->count(), 0);
    QVERIFY(!rig.cmdAccept->isEnabled());
    QVERIFY(rig.lblMessage->text().contains(QLatin1String("new game")));
}

void TestClaimWindow::aBookPrintedElsewhereWaitsForCheckAnyway()
{
    ClaimRig rig;
    const TicketCode elsewhere{5, 7};
    rig.check(elsewhere.text());
    QVERIFY(rig.cmdCheckAnyway->isVisible());
    QCOMPARE(rig.lstVerdicts->count(), 0);
    QVERIFY(rig.lblMessage->text().startsWith(QStringLiteral("Book %1 was not printed by this caller")
                                                  .arg(TicketCode::bookText(5))));
    rig.cmdCheckAnyway->click();
    QVERIFY(!rig.cmdCheckAnyway->isVisible());
    QVERIFY(rig.lstVerdicts->count() > 0);
    QVERIFY(rig.lblMessage->text().contains(QLatin1String("not printed by this caller")));

    // Once its book is on the list, the same code is judged at once.
    BookList books(state.path() + QStringLiteral("/tabro-kalvor"));
    QString why;
    QVERIFY2(books.add({5, 1, Paper::A4, 0}, why), qPrintable(why));
    rig.check(elsewhere.text());
    QVERIFY(!rig.cmdCheckAnyway->isVisible());
    QVERIFY(rig.lstVerdicts->count() > 0);
    QVERIFY(!rig.lblMessage->text().contains(QLatin1String("not printed")));
}

QTEST_MAIN(TestClaimWindow)
#include "tst_claimwindow.moc"
