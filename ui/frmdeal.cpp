#include "frmdeal.h"

#include "atomicfile.h"
#include "ownwindow.h"
#include "relaysharing.h"
#include "ticketcode.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QVBoxLayout>

frmDeal::frmDeal(RelaySharing &relay, QWidget *owner)
    : QWidget(owner, Qt::Window)
    , relay(relay)
{
    dressWindow(*this, QStringLiteral("frmDeal"), tr("Deal Tickets"), QStringLiteral("notepad"));
    txtNames = new QPlainTextEdit(this);
    txtNames->setObjectName(QStringLiteral("txtNames"));
    txtNames->setPlaceholderText(tr("One name a line, or how many players"));
    txtNames->setTabChangesFocus(true);
    spnEach = new QSpinBox(this);
    spnEach->setObjectName(QStringLiteral("spnEach"));
    spnEach->setRange(1, TicketDeal::MaxEach);
    cmdDeal = new QPushButton(tr("&Deal"), this);
    cmdDeal->setObjectName(QStringLiteral("cmdDeal"));
    txtLinks = new QPlainTextEdit(this);
    txtLinks->setObjectName(QStringLiteral("txtLinks"));
    txtLinks->setReadOnly(true);
    txtLinks->setTabChangesFocus(true);
    txtLinks->setLineWrapMode(QPlainTextEdit::NoWrap);
    lblNews = new QLabel(this);
    lblNews->setObjectName(QStringLiteral("lblNews"));
    lblNews->setWordWrap(true);
    cmdCopyAll = new QPushButton(tr("Copy &All"), this);
    cmdCopyAll->setObjectName(QStringLiteral("cmdCopyAll"));
    cmdCsv = new QPushButton(tr("Save &CSV..."), this);
    cmdCsv->setObjectName(QStringLiteral("cmdCsv"));
    cmdClose = new QPushButton(tr("C&lose"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));

    auto *form = new QFormLayout;
    form->addRow(tr("&Players:"), txtNames);
    auto *each = new QHBoxLayout;
    each->addWidget(spnEach);
    each->addStretch();
    each->addWidget(cmdDeal);
    form->addRow(tr("&Tickets each:"), each);
    form->addRow(tr("L&inks:"), txtLinks);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdCopyAll);
    buttons->addWidget(cmdCsv);
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(lblNews);
    layout->addLayout(buttons);
    setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 70);
    cmdCopyAll->setEnabled(false);
    cmdCsv->setEnabled(false);

    connect(cmdDeal, &QPushButton::clicked, this, &frmDeal::cmdDeal_Click);
    connect(cmdCopyAll, &QPushButton::clicked, this, &frmDeal::cmdCopyAll_Click);
    connect(cmdCsv, &QPushButton::clicked, this, &frmDeal::cmdCsv_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    closeOnEscape(*this);
    txtNames->setFocus();
}

void frmDeal::cmdDeal_Click()
{
    QStringList names;
    QString why;
    if (!TicketDeal::players(txtNames->toPlainText(), names, why)) {
        lblNews->setText(why);
        return;
    }
    // The link needs the game's key before any book is made for it.
    if (relay.link({}, why).isEmpty()) {
        lblNews->setText(why);
        return;
    }
    TicketDeal deal;
    if (!TicketDeal::deal(names, spnEach->value(), defaultStateFolder(),
                          [](std::uint32_t n) { return QRandomGenerator::system()->bounded(n); }, deal, why)) {
        lblNews->setText(tr("Nothing was dealt: %1").arg(why));
        return;
    }
    for (TicketDeal::Hand &hand : deal.hands)
        hand.link = relay.link(hand.codes, why);
    last = deal;
    txtLinks->setPlainText(deal.text());
    lblNews->setText(tr("Book %1 dealt: %2 tickets to %3 players. Send each player their link.")
                         .arg(TicketCode::bookText(deal.book))
                         .arg(deal.hands.size() * std::size_t(spnEach->value()))
                         .arg(deal.hands.size()));
    cmdCopyAll->setEnabled(true);
    cmdCsv->setEnabled(true);
    Q_EMIT dealt();
}

void frmDeal::cmdCopyAll_Click()
{
    QApplication::clipboard()->setText(last.text());
    lblNews->setText(tr("The links are copied: paste them into the players' chat group."));
}

void frmDeal::cmdCsv_Click()
{
    const QString file = QFileDialog::getSaveFileName(this, tr("Save the Links"), QStringLiteral("tickets.csv"),
                                                      tr("CSV files (*.csv)"));
    if (file.isEmpty())
        return;
    QString why;
    const QFileInfo where(file);
    if (!writeAtomically(file, last.csv().toUtf8(), why, 0600))
        lblNews->setText(tr("The list could not be saved: %1").arg(why));
    else
        lblNews->setText(tr("Saved to %1").arg(where.fileName()));
}
