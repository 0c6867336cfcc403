#pragma once

#include "claims.h"

#include <QWidget>

class BooksInPlay;
class Game;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableWidget;
class ReaderNews;

// Check a Claim: the ticket's code, or its numbers typed in, checked against the calls so
// far, or a phone's claim as of the call it was made at; the ticket with the called numbers
// marked, whether to pay, and one verdict for each prize in play. Accept records the valid
// prizes as won. A code this caller did not print (its book, or past the book's end) is
// judged only when the host asks (Check Anyway). Opening it stops the calling;
// Start goes on; a new game clears it. All of it works from the keyboard: Enter checks, Alt+A accepts, Alt+R rejects,
// Escape closes.
class frmClaim : public QWidget
{
    Q_OBJECT

public:
    frmClaim(Game &game, BooksInPlay &books, QWidget *owner);

    void cmdCheck_Click();
    void cmdCheckAnyway_Click();
    void cmdAccept_Click();
    void cmdReject_Click();

    // A claim from a phone: its code filled in and checked as of the call it was made at.
    void checkClaimAt(const QString &code, int call);
    // Whether that claim was the last one filled in.
    bool filledWith(const QString &code, int call) const { return filledCode == code && filledCall == call; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void check();
    void showTicket();
    void showBooks();
    void showVerdicts(bool spoken);
    void clearTicket();
    // Shown in the window, and told to a reader in its own words (the shown line made fit
    // for a voice when none are given).
    void say(const QString &message, const QString &spoken = QString());

    Game &game;
    ClaimTicket ticket;
    bool checked = false;
    int claimedAt = 0; // a phone's claim: the call it was made at; 0 for one typed, judged as of now
    QString filledCode; // the phone's claim last filled in
    int filledCall = 0;
    QLineEdit *txtTicket;
    QPushButton *cmdCheck;
    QPushButton *cmdCheckAnyway;
    QTableWidget *tblTicket;
    QListWidget *lstVerdicts;
    QLabel *lblMessage;
    QLabel *lblBooks;
    QPushButton *cmdAccept;
    QPushButton *cmdReject;
    QPushButton *cmdClose;
    ReaderNews *readerNews;
    BooksInPlay &books;
};
