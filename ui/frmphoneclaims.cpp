#include "frmphoneclaims.h"

#include "ownwindow.h"
#include "phoneclaims.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

frmPhoneClaims::frmPhoneClaims(PhoneClaims &claims, QWidget *owner)
    : QWidget(owner, Qt::Window)
    , claims(claims)
{
    dressWindow(*this, QStringLiteral("frmPhoneClaims"), tr("Claims From Phones"), QStringLiteral("notepad"));
    // It comes up when a claim arrives: the host's keys stay where they were.
    setAttribute(Qt::WA_ShowWithoutActivating);

    lblHelp = new QLabel(tr("Claims &waiting, oldest first. F9 checks the oldest; the verdict goes back to the "
                            "phone when you Accept or Reject. The calling goes on until you stop it."),
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
    connect(&claims, &PhoneClaims::changed, this, &frmPhoneClaims::follow);
    follow();
}

void frmPhoneClaims::follow()
{
    const int chosen = lstClaims->currentRow();
    lstClaims->clear();
    for (const PhoneClaim &claim : claims.waiting())
        lstClaims->addItem(PhoneClaims::line(claim));
    if (lstClaims->count() > 0)
        lstClaims->setCurrentRow(std::clamp(chosen, 0, lstClaims->count() - 1));
    cmdCheck->setEnabled(lstClaims->count() > 0);
}

void frmPhoneClaims::cmdCheck_Click()
{
    const int row = lstClaims->currentRow();
    if (row >= 0 && std::size_t(row) < claims.waiting().size())
        Q_EMIT check(claims.waiting()[std::size_t(row)].code);
}
