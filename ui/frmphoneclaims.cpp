#include "frmphoneclaims.h"

#include "accessibility.h"
#include "ownwindow.h"
#include "phoneclaims.h"
#include "readerwords.h"

#include <QHBoxLayout>
#include <algorithm>
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
                            "the oldest, F10 brings this list forward on the newest; the verdict goes back to the "
                            "ticket when you Accept or Reject."),
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
    for (int at = 0; at < int(claims.waiting().size()); ++at)
        added(at);
    cmdCheck->setEnabled(lstClaims->count() > 0);
}

// Without the keys the list chooses no line: a reader follows a list's chosen line wherever
// it is, and would read the list at every claim while the host's keys are elsewhere.
void frmPhoneClaims::added(int at)
{
    const PhoneClaim &claim = claims.waiting()[std::size_t(at)];
    auto *item = new QListWidgetItem(PhoneClaims::line(claim));
    item->setData(Qt::AccessibleTextRole, spokenClaim(claim));
    lstClaims->insertItem(at, item);
    if (lstClaims->currentRow() < 0 && isActiveWindow())
        lstClaims->setCurrentRow(0);
    cmdCheck->setEnabled(true);
}

void frmPhoneClaims::bringForward()
{
    if (lstClaims->count() > 0)
        lstClaims->setCurrentRow(lstClaims->count() - 1);
    lstClaims->setFocus();
    show();
    raise();
    activateWindow();
}

void frmPhoneClaims::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        sayCurrentLineOnceActive(*lstClaims);
}

void frmPhoneClaims::removed(int at)
{
    delete lstClaims->takeItem(at);
    cmdCheck->setEnabled(lstClaims->count() > 0);
}

void frmPhoneClaims::cmdCheck_Click()
{
    // None chosen yet: the oldest, as F9 takes it.
    const int row = std::max(lstClaims->currentRow(), 0);
    if (std::size_t(row) < claims.waiting().size())
        Q_EMIT check(claims.waiting()[std::size_t(row)].code, claims.waiting()[std::size_t(row)].call);
}
