#include "frmclaim.h"

#include "accessibility.h"
#include "booksinplay.h"
#include "game.h"
#include "ticketcode.h"
#include "look.h"
#include "ownwindow.h"
#include "readerwords.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
// Behind a called number on the ticket: the board's marks, lit.
const QColor CalledGround{238, 204, 238};
}

frmClaim::frmClaim(Game &game, BooksInPlay &books, QWidget *owner)
    : QWidget(owner, Qt::Window)
    , game(game)
    , books(books)
{
    dressWindow(*this, QStringLiteral("frmClaim"), tr("Check a Claim"), QStringLiteral("notepad"));

    auto *prompt = new QLabel(tr("&Ticket code, or its numbers (rows split by /):"), this);
    txtTicket = new QLineEdit(this);
    txtTicket->setObjectName(QStringLiteral("txtTicket"));
    txtTicket->setPlaceholderText(tr("K7Q-2A4F-X   or   4 17 23 45 60 / ..."));
    // A reader names the field in a few words, not the label's punctuation, and says a
    // short hint where it would say the example typed as the placeholder.
    prompt->setAccessibleName(tr("Ticket code or numbers"));
    txtTicket->setAccessibleName(prompt->accessibleName());
    txtTicket->setAccessibleDescription(tr("rows split by slash"));
    // Pasted pages are cut short here and refused whole by the reader of claims.
    txtTicket->setMaxLength(ClaimTicket::MaxTypedLength * 2);
    prompt->setBuddy(txtTicket);
    cmdCheck = new QPushButton(tr("C&heck"), this);
    cmdCheck->setObjectName(QStringLiteral("cmdCheck"));
    cmdCheckAnyway = new QPushButton(tr("Check A&nyway"), this);
    cmdCheckAnyway->setObjectName(QStringLiteral("cmdCheckAnyway"));
    cmdCheckAnyway->hide();

    tblTicket = new QTableWidget(this);
    tblTicket->setObjectName(QStringLiteral("tblTicket"));
    tblTicket->setAccessibleName(tr("The ticket, called numbers marked"));
    tblTicket->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblTicket->setFocusPolicy(Qt::NoFocus);
    tblTicket->setSelectionMode(QAbstractItemView::NoSelection);
    tblTicket->horizontalHeader()->hide();
    tblTicket->verticalHeader()->hide();
    tblTicket->setFont(look::arialBold(12));
    const int cell = tblTicket->fontMetrics().horizontalAdvance(QStringLiteral("888"));
    tblTicket->horizontalHeader()->setDefaultSectionSize(cell);
    tblTicket->verticalHeader()->setDefaultSectionSize(cell * 3 / 4);
    tblTicket->setFixedSize(cell * 15 + 4, cell * 3 * 3 / 4 + 4);
    tblTicket->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tblTicket->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    auto *verdictsLabel = new QLabel(tr("&Verdicts:"), this);
    lstVerdicts = new QListWidget(this);
    lstVerdicts->setObjectName(QStringLiteral("lstVerdicts"));
    lstVerdicts->setAccessibleName(tr("Verdicts"));
    verdictsLabel->setBuddy(lstVerdicts);
    lblMessage = new QLabel(this);
    lblMessage->setObjectName(QStringLiteral("lblMessage"));
    lblMessage->setWordWrap(true);
    // Whatever it quotes, the message wraps within the window and never widens it.
    lblMessage->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    // What went wrong with the list of printed books, while it matters.
    lblBooks = new QLabel(this);
    lblBooks->setObjectName(QStringLiteral("lblBooks"));
    lblBooks->setWordWrap(true);
    lblBooks->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    cmdAccept = new QPushButton(tr("&Accept"), this);
    cmdAccept->setObjectName(QStringLiteral("cmdAccept"));
    cmdAccept->setEnabled(false);
    cmdReject = new QPushButton(tr("&Reject"), this);
    cmdReject->setObjectName(QStringLiteral("cmdReject"));
    cmdClose = new QPushButton(tr("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    // Through the main window's line: a notice of this window's own would be said after its
    // title and status, seconds before the verdict.
    readerNews = ReaderNews::forWindow(*this);

    auto *entry = new QHBoxLayout;
    entry->addWidget(txtTicket, 1);
    entry->addWidget(cmdCheck);
    entry->addWidget(cmdCheckAnyway);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdAccept);
    buttons->addWidget(cmdReject);
    buttons->addWidget(cmdClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addLayout(entry);
    layout->addWidget(tblTicket, 0, Qt::AlignHCenter);
    layout->addWidget(verdictsLabel);
    layout->addWidget(lstVerdicts, 1);
    layout->addWidget(lblMessage);
    layout->addWidget(lblBooks);
    layout->addLayout(buttons);
    resize(cell * 15 + 40, cell * 12);

    connect(txtTicket, &QLineEdit::returnPressed, this, &frmClaim::cmdCheck_Click);
    connect(cmdCheck, &QPushButton::clicked, this, &frmClaim::cmdCheck_Click);
    connect(cmdCheckAnyway, &QPushButton::clicked, this, &frmClaim::cmdCheckAnyway_Click);
    connect(cmdAccept, &QPushButton::clicked, this, &frmClaim::cmdAccept_Click);
    connect(cmdReject, &QPushButton::clicked, this, &frmClaim::cmdReject_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    // A ticket typed anew waits for Check; what was shown belongs to the old one.
    connect(txtTicket, &QLineEdit::textEdited, this, [this] {
        checked = false;
        claimedAt = 0;
        cmdAccept->setEnabled(false);
        cmdCheckAnyway->hide();
    });
    // The verdicts follow the game: a new game clears them, a call made meanwhile judges
    // the ticket again (quietly: the reader hears the call itself).
    connect(&game, &Game::callsChanged, this, [this] {
        if (!checked)
            return;
        if (this->game.calls().empty()) {
            clearTicket();
            say(tr("A new game began: nothing of the last claim stands."));
        } else {
            showTicket();
            showVerdicts(false);
        }
    });
    connect(&books, &BooksInPlay::changed, this, &frmClaim::showBooks);
    connect(&books, &BooksInPlay::troubled, this, &frmClaim::showBooks);
    showBooks();
    txtTicket->setFocus();
}

void frmClaim::cmdCheck_Click()
{
    claimedAt = 0; // what the host types is judged as of now
    check();
}

void frmClaim::checkClaimAt(const QString &code, int call)
{
    filledCode = code;
    filledCall = call;
    txtTicket->setText(code);
    claimedAt = call;
    check();
}

void frmClaim::showBooks()
{
    const QString trouble = books.trouble();
    lblBooks->setText(trouble.isEmpty() ? QString() : tr("Printed books: %1.").arg(trouble));
    lblBooks->setVisible(!trouble.isEmpty());
}

void frmClaim::check()
{
    QString why;
    ClaimTicket read;
    cmdCheckAnyway->hide();
    if (!ClaimTicket::read(txtTicket->text(), read, why)) {
        clearTicket();
        say(why);
        return;
    }
    ticket = std::move(read);
    if (ticket.fromCode) {
        // Only a ticket this caller handed out is judged without asking.
        const QString book = TicketCode::bookText(ticket.book);
        QString refused;
        const BookList::Standing standing = books.standing(TicketCode{ticket.book, ticket.serial});
        switch (standing) {
        case BookList::Standing::InPlay:
            break;
        case BookList::Standing::BookNotListed:
            refused = tr("Book %1 was not printed by this caller.").arg(book);
            break;
        case BookList::Standing::PastTheBook:
            refused = tr("Ticket %1 was not printed by this caller: book %2 ends before it.").arg(ticket.label, book);
            break;
        }
        if (!refused.isEmpty()) {
            clearTicket();
            cmdCheckAnyway->show();
            say(refused + QLatin1Char(' ') + tr("Check Anyway if it was printed on another machine of yours."),
                standing == BookList::Standing::BookNotListed
                    ? tr("Do not pay, book %1 was not printed here. Check Anyway if yours.").arg(spokenCode(book))
                    : tr("Do not pay, ticket %1 was not printed here. Check Anyway if yours.")
                          .arg(spokenCode(ticket.label)));
            return;
        }
    }
    checked = true;
    showTicket();
    showVerdicts(true);
}

void frmClaim::cmdCheckAnyway_Click()
{
    cmdCheckAnyway->hide();
    ticket.unlistedBook = true;
    checked = true;
    showTicket();
    showVerdicts(true);
}

void frmClaim::cmdAccept_Click()
{
    if (!checked)
        return;
    const std::vector<Win> accepted = game.acceptClaim(ticket, claimedAt);
    QStringList names;
    for (const Win &win : accepted)
        names << prizes::name(win.prize);
    showVerdicts(false);
    if (!names.isEmpty())
        say(tr("Accepted: %1 for ticket %2, at call %3.")
                .arg(names.join(QStringLiteral(", ")), ticketName(ticket.label))
                .arg(accepted.front().position),
            tr("Accepted %1 for %2.").arg(names.join(QStringLiteral(", ")), spokenTicket(ticket.label)));
    txtTicket->setFocus();
    txtTicket->selectAll();
}

void frmClaim::cmdReject_Click()
{
    if (checked) {
        game.rejectClaim(ticket, claimedAt);
        say(tr("Rejected: nothing recorded for %1.").arg(ticketName(ticket.label)),
            tr("Rejected, nothing recorded for %1.").arg(spokenTicket(ticket.label)));
    }
    clearTicket();
    txtTicket->clear();
    txtTicket->setFocus();
}

void frmClaim::clearTicket()
{
    checked = false;
    cmdAccept->setEnabled(false);
    tblTicket->clear();
    tblTicket->setRowCount(0);
    tblTicket->setColumnCount(0);
    lstVerdicts->clear();
}

void frmClaim::showTicket()
{
    // Marked as they stood at the claim's call.
    std::array<bool, 91> called{};
    for (const Call &call : game.calls()) {
        if (claimedAt > 0 && call.position > claimedAt)
            break;
        called[call.number] = true;
    }
    tblTicket->clear();
    // Rows known: the ticket as printed. Only its numbers: one line of them, in order.
    std::vector<std::vector<std::int16_t>> cells;
    if (!ticket.rows.empty()) {
        tblTicket->setRowCount(Ticket::Rows);
        tblTicket->setColumnCount(Ticket::Columns);
        for (const auto &row : ticket.rows) {
            std::vector<std::int16_t> line(Ticket::Columns, 0);
            for (std::int16_t n : row)
                line[std::size_t(Ticket::columnOf(n))] = n;
            cells.push_back(line);
        }
    } else {
        std::vector<std::int16_t> line = ticket.numbers;
        std::sort(line.begin(), line.end());
        tblTicket->setRowCount(1);
        tblTicket->setColumnCount(int(line.size()));
        cells.push_back(line);
    }
    for (std::size_t r = 0; r < cells.size(); ++r) {
        for (std::size_t c = 0; c < cells[r].size(); ++c) {
            const int n = cells[r][c];
            auto *item = new QTableWidgetItem(n ? QString::number(n) : QString());
            item->setTextAlignment(Qt::AlignCenter);
            if (n && called[std::size_t(n)]) {
                item->setBackground(CalledGround);
                item->setForeground(look::Purple);
                QFont font = tblTicket->font();
                font.setUnderline(true);
                item->setFont(font);
                item->setData(Qt::AccessibleDescriptionRole, tr("called"));
            } else if (n) {
                item->setForeground(look::Ink);
            }
            tblTicket->setItem(int(r), int(c), item);
        }
    }
}

void frmClaim::showVerdicts(bool spoken)
{
    const std::vector<Verdict> verdicts = game.checkClaim(ticket, claimedAt);
    lstVerdicts->clear();
    lstVerdicts->addItems(verdictLines(verdicts));
    // The answer to "do I pay?" stands out above the details.
    QFont first = lstVerdicts->font();
    first.setBold(true);
    lstVerdicts->item(0)->setFont(first);
    if (verdicts.empty())
        lstVerdicts->addItem(tr("No prizes are in play: choose them under Game, Prizes."));
    cmdAccept->setEnabled(acceptable(verdicts));
    const int calls = int(game.calls().size());
    QString note = !ticket.whole() || ticket.rows.empty()
        ? tr("Checked on the %1 numbers typed.").arg(ticket.numbers.size())
        : tr("Ticket %1, checked against %2 calls.").arg(ticketName(ticket.label)).arg(calls);
    // A phone's claim is judged as of its call: a call made since cannot make it late.
    if (claimedAt > 0 && claimedAt < calls)
        note = tr("Ticket %1, claimed at call %2: checked against the calls up to it.").arg(ticket.label).arg(claimedAt);
    else if (claimedAt > 0)
        note = tr("Ticket %1, claimed at call %2.").arg(ticket.label).arg(claimedAt);
    if (ticket.unlistedBook)
        note += QLatin1Char(' ') + tr("It was not printed by this caller.");
    lblMessage->setText(note);
    if (spoken)
        readerNews->tell(spokenVerdicts(verdicts));
}

void frmClaim::say(const QString &message, const QString &spoken)
{
    lblMessage->setText(message);
    readerNews->tell(spoken.isEmpty() ? spokenLine(message) : spoken);
}

void frmClaim::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        close();
    else
        QWidget::keyPressEvent(event);
}

void frmClaim::closeEvent(QCloseEvent *event)
{
    game.claimEnded();
    QWidget::closeEvent(event);
}
