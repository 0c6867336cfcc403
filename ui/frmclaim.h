#pragma once

#include "books.h"
#include "claims.h"

#include <QWidget>

class Game;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableWidget;
class ReaderNews;

// Check a Claim: the ticket's code, or its numbers typed in, checked against the calls
// so far; the ticket with the called numbers marked and one verdict for each prize in
// play. Accept records the valid prizes as won. A code from a book this caller did not
// print is judged only when the host asks (Check Anyway). Opening it stops the calling;
// Start goes on; a new game clears it. All of it works from the keyboard: Enter checks, Alt+A accepts, Alt+R rejects,
// Escape closes.
class frmClaim : public QWidget
{
    Q_OBJECT

public:
    frmClaim(Game &game, QWidget *owner);

    void cmdCheck_Click();
    void cmdCheckAnyway_Click();
    void cmdAccept_Click();
    void cmdReject_Click();

    // Claims from phones: a code filled in and checked, as if the host had typed it.
    void checkCode(const QString &code);

Q_SIGNALS:
    // The host decided on a ticket, Accept (accepted) or Reject, with the verdicts it had then.
    void decided(const ClaimTicket &ticket, const std::vector<Verdict> &verdicts, bool accepted);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void showTicket();
    void showVerdicts(bool spoken);
    void clearTicket();
    void say(const QString &message);

    Game &game;
    ClaimTicket ticket;
    bool checked = false;
    QLineEdit *txtTicket;
    QPushButton *cmdCheck;
    QPushButton *cmdCheckAnyway;
    QTableWidget *tblTicket;
    QListWidget *lstVerdicts;
    QLabel *lblMessage;
    QPushButton *cmdAccept;
    QPushButton *cmdReject;
    QPushButton *cmdClose;
    ReaderNews *readerNews;
    BookList books;
};
