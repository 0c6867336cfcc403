#pragma once

#include "ticketdeal.h"

#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class RelaySharing;

// Game → Deal Tickets: the host types the players' names (or how many there are); a new book
// is made for them, in the books in play as dealt, and each player gets a link that opens the
// page with their tickets already added. Copy All gives the list to paste into a chat group;
// Save CSV the same as a table.
class frmDeal : public QWidget
{
    Q_OBJECT

public:
    frmDeal(RelaySharing &relay, QWidget *owner);

    void cmdDeal_Click();
    void cmdCopyAll_Click();
    void cmdCsv_Click();

Q_SIGNALS:
    // A book was dealt: the books in play changed.
    void dealt();

private:
    RelaySharing &relay;
    QPlainTextEdit *txtNames;
    QSpinBox *spnEach;
    QPushButton *cmdDeal;
    QPlainTextEdit *txtLinks;
    QLabel *lblNews;
    QPushButton *cmdCopyAll;
    QPushButton *cmdCsv;
    QPushButton *cmdClose;
    TicketDeal last;
};
