#include "atomicfile.h"
#include "booksinplay.h"
#include "frmclaim.h"
#include "ticketcode.h"
#include "windowrig.h"

#include <QLabel>
#include <QListWidget>
#include <QTemporaryDir>

// Check a Claim as the host meets it: what is pasted into it, a new game under it, a ticket
// this caller did not print, a phone's claim judged at its call, a damaged list of books.
class TestClaimWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void pastedPagesNeitherWidenNorFreezeIt();
    void aNewGameClearsWhatItShowed();
    void aBookPrintedElsewhereWaitsForCheckAnyway();
    void aCodePastItsBookWaitsAndIsRecordedUnlisted();
    void aPhonesClaimIsJudgedAndPaidAtItsCall();
    void aDamagedListOfBooksIsToldInTheWindow();

private:
    QTemporaryDir state;
};

namespace {
struct ClaimRig : WindowRig
{
    BooksInPlay &books = *window.findChild<BooksInPlay *>(); // the program's own
    frmClaim claim{game(), books, &window};
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
    QStringList verdicts() const
    {
        QStringList lines;
        for (int i = 0; i < lstVerdicts->count(); ++i)
            lines << lstVerdicts->item(i)->text();
        return lines;
    }
    // Calls until the ticket's Early Five is complete with the last call; that call.
    int callUntilEarlyFive(const TicketCode &code)
    {
        const ClaimTicket ticket = ClaimTicket::of(code);
        int on = 0;
        game().cmdStart_Click();
        timerOf(game()).stop(); // every tick is the test's
        while (on < 5) {
            tick();
            const std::int16_t n = game().calls().back().number;
            on += std::count(ticket.numbers.begin(), ticket.numbers.end(), n) > 0;
        }
        return int(game().calls().size());
    }
};

void listBook(std::uint32_t book, int strips, BooksInPlay &books)
{
    BookList list(defaultStateFolder());
    QString why;
    QVERIFY2(list.add({book, strips, Paper::A4, 0}, why), qPrintable(why));
    books.refresh();
    QTRY_VERIFY(books.standing(TicketCode{book, 0}) == BookList::Standing::InPlay);
}
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
    timerOf(rig.game()).stop();
    rig.tick(5);
    QStringList five; // every number called so far: typed in part, yet proved complete by the last
    for (int position = 1; position <= 5; ++position)
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
    listBook(5, 2, rig.books);
    rig.check(elsewhere.text());
    QVERIFY(!rig.cmdCheckAnyway->isVisible());
    QVERIFY(rig.lstVerdicts->count() > 0);
    QVERIFY(!rig.lblMessage->text().contains(QLatin1String("not printed")));
}

// Ticket 310 of a one-strip book was never handed out, however well the generator rebuilds
// it: held back like a book printed elsewhere, and if checked anyway, recorded as such.
void TestClaimWindow::aCodePastItsBookWaitsAndIsRecordedUnlisted()
{
    ClaimRig rig;
    listBook(11, 1, rig.books);
    const TicketCode past{11, 310};
    rig.callUntilEarlyFive(past);
    rig.check(past.text());
    QVERIFY(rig.cmdCheckAnyway->isVisible());
    QCOMPARE(rig.lstVerdicts->count(), 0);
    QVERIFY2(rig.lblMessage->text().startsWith(QStringLiteral("Ticket %1 was not printed by this caller").arg(past.text())),
             qPrintable(rig.lblMessage->text()));
    rig.cmdCheckAnyway->click();
    QCOMPARE(rig.verdicts().first(), QStringLiteral("Pay: Early Five (valid)"));
    rig.cmdAccept->click();
    QCOMPARE(rig.game().wins().size(), std::size_t(1));
    QVERIFY(rig.game().wins().front().unlistedBook);
    // The last ticket the book printed is in play, and its win is not marked.
    rig.check(TicketCode{11, 5}.text());
    QVERIFY(!rig.cmdCheckAnyway->isVisible());
    QVERIFY(rig.lstVerdicts->count() > 0);
}

// A phone claimed at call k; the host checks after another call: judged as of k, said so,
// valid, and recorded at k. The same ticket typed by the host is judged as of now: late.
void TestClaimWindow::aPhonesClaimIsJudgedAndPaidAtItsCall()
{
    ClaimRig rig;
    listBook(12, 1, rig.books);
    const TicketCode code{12, 3};
    const int k = rig.callUntilEarlyFive(code);
    rig.tick();
    rig.check(code.text());
    QVERIFY2(rig.verdicts().first().startsWith(QLatin1String("Nothing to pay: Early Five late")), qPrintable(rig.verdicts().first()));
    QVERIFY(!rig.cmdAccept->isEnabled());

    rig.claim.checkClaimAt(code.text(), k);
    QCOMPARE(rig.verdicts().first(), QStringLiteral("Pay: Early Five (valid)"));
    QVERIFY2(rig.lblMessage->text().contains(QStringLiteral("claimed at call %1").arg(k)), qPrintable(rig.lblMessage->text()));
    rig.tick(); // a call made while it is shown changes nothing of it
    QCOMPARE(rig.verdicts().first(), QStringLiteral("Pay: Early Five (valid)"));
    rig.cmdAccept->click();
    QCOMPARE(rig.game().wins().size(), std::size_t(1));
    QCOMPARE(rig.game().wins().front().position, k);
    QCOMPARE(rig.game().wins().front().prize, Prize::EarlyFive);
    QVERIFY(!rig.game().wins().front().unlistedBook);
    // Typed anew by the host: judged as of now, already won by this ticket.
    rig.check(code.text());
    QVERIFY(rig.verdicts().contains(QStringLiteral("Early Five: Already won by this ticket at call %1 (number %2)")
                                        .arg(k)
                                        .arg(rig.game().calls()[std::size_t(k - 1)].number)));
}

// One damaged line in the list of printed books: the window says so, and the books on the
// good lines are still judged at once.
void TestClaimWindow::aDamagedListOfBooksIsToldInTheWindow()
{
    const QString folder = defaultStateFolder();
    QString why;
    QVERIFY(makeStateFolder(folder, why));
    QFile file(folder + QStringLiteral("/books.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("tabro-kalvor books 1\nbook 22D 3 a4 2025-12-09T17:16:40.000Z\nbook ??? 1 a4\nend\n");
    file.close();
    ClaimRig rig;
    auto *lblBooks = rig.claim.findChild<QLabel *>(QStringLiteral("lblBooks"));
    QTRY_VERIFY(lblBooks->isVisible());
    QVERIFY2(lblBooks->text().contains(QLatin1String("line 3 is not a book")), qPrintable(lblBooks->text()));
    std::uint32_t book = 0;
    QVERIFY(TicketCode::parseBook(QStringLiteral("22D"), book));
    rig.check(TicketCode{book, 17}.text());
    QVERIFY(!rig.cmdCheckAnyway->isVisible());
    QVERIFY(rig.lstVerdicts->count() > 0);
}

QTEST_MAIN(TestClaimWindow)
#include "tst_claimwindow.moc"
