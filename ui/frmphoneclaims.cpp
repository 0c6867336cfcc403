#include "frmphoneclaims.h"

#include "ownwindow.h"
#include "phoneclaims.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>


frmPhoneClaims::frmPhoneClaims(PhoneClaims &claims, QWidget *owner)
    : QWidget(owner, Qt::Window)
    , claims(claims)
{
    dressWindow(*this, QStringLiteral("frmPhoneClaims"), tr("Claims From Phones"), QStringLiteral("notepad"));
    // It comes up when a claim arrives: the host's keys stay where they were.
    setAttribute(Qt::WA_ShowWithoutActivating);

    lblHelp = new QLabel(tr("Claims &waiting, oldest first, each judged as of the call it was made at. F9 checks "
                            "the oldest; the verdict goes back to the ticket when you Accept or Reject."),
                         this);
    lblHelp->setObjectName(QStringLiteral("lblHelp"));
    lblHelp->setWordWrap(true);
    lstClaims = new QListWidget(this);
    lstClaims->setObjectName(QStringLiteral("lstClaims"));
    lstClaims->setAccessibleName(tr("Claims from phones"));
    lblHelp->setBuddy(lstClaims);
    cmdCheck = new QPushButton(tr("C&heck"), this);
    cmdCheck->setObjectName(QStringLiteral("cmdCheck"));
    cmdClose = new QPushButton(tr("C&lose"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdCheck);
    buttons->addWidget(cmdClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblHelp);
    layout->addWidget(lstClaims, 1);
    layout->addLayout(buttons);
    const int em = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    resize(em * 44, em * 30);

    connect(cmdCheck, &QPushButton::clicked, this, &frmPhoneClaims::cmdCheck_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    connect(lstClaims, &QListWidget::itemActivated, this, &frmPhoneClaims::cmdCheck_Click);
    connect(&claims, &PhoneClaims::added, this, &frmPhoneClaims::added);
    connect(&claims, &PhoneClaims::removed, this, &frmPhoneClaims::removed);
    for (const PhoneClaim &claim : claims.waiting())
        lstClaims->addItem(PhoneClaims::line(claim));
    if (lstClaims->count() > 0)
        lstClaims->setCurrentRow(0);
    cmdCheck->setEnabled(lstClaims->count() > 0);
}

void frmPhoneClaims::added(int at)
{
    lstClaims->insertItem(at, PhoneClaims::line(claims.waiting()[std::size_t(at)]));
    if (lstClaims->currentRow() < 0)
        lstClaims->setCurrentRow(0);
    cmdCheck->setEnabled(true);
}

void frmPhoneClaims::removed(int at)
{
    delete lstClaims->takeItem(at);
    cmdCheck->setEnabled(lstClaims->count() > 0);
}

void frmPhoneClaims::cmdCheck_Click()
{
    const int row = lstClaims->currentRow();
    if (row >= 0 && std::size_t(row) < claims.waiting().size())
        Q_EMIT check(claims.waiting()[std::size_t(row)].code, claims.waiting()[std::size_t(row)].call);
}
