#include "frmcalls.h"

#include "game.h"
#include "ownwindow.h"

#include <QAction>
#include <QClipboard>
#include <QDateTime>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QString callLine(const Call &call)
{
    return QObject::tr("%1. %2 at %3")
        .arg(call.position)
        .arg(call.number)
        .arg(QDateTime::fromMSecsSinceEpoch(call.time).toString(QStringLiteral("HH:mm:ss")));
}
} // namespace

frmCalls::frmCalls(const Game &game, QWidget *owner)
    : QWidget(owner, Qt::Window)
    , game(game)
{
    dressWindow(*this, QStringLiteral("frmCalls"), tr("Calls So Far"), QStringLiteral("notepad"));

    auto *heading = new QLabel(tr("&Numbers called, in order:"), this);
    lstCalls = new QListWidget(this);
    lstCalls->setObjectName(QStringLiteral("lstCalls"));
    lstCalls->setAccessibleName(tr("Numbers called, in order"));
    lstCalls->setUniformItemSizes(true);
    heading->setBuddy(lstCalls);
    cmdCopy = new QPushButton(tr("&Copy"), this);
    cmdCopy->setObjectName(QStringLiteral("cmdCopy"));
    cmdCopy->setAccessibleDescription(tr("Copies every call, one a line"));
    cmdClose = new QPushButton(tr("C&lose"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdCopy);
    buttons->addWidget(cmdClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(lstCalls);
    layout->addLayout(buttons);
    resize(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 32, fontMetrics().height() * 24);

    // Ctrl+C copies the whole record, not only the selected line.
    auto *copy = new QAction(this);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WindowShortcut);
    addAction(copy);
    connect(copy, &QAction::triggered, this, &frmCalls::cmdCopy_Click);
    connect(cmdCopy, &QPushButton::clicked, this, &frmCalls::cmdCopy_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    connect(&game, &Game::callsChanged, this, &frmCalls::follow);
    follow();
    lstCalls->setFocus();
}

// One more call is added at the end; a new or resumed game is listed afresh.
void frmCalls::follow()
{
    const std::vector<Call> &calls = game.calls();
    const int shown = lstCalls->count();
    if (std::size_t(shown) + 1 == calls.size()) {
        lstCalls->addItem(callLine(calls.back()));
    } else {
        lstCalls->clear();
        for (const Call &call : calls)
            lstCalls->addItem(callLine(call));
    }
    if (lstCalls->count() > 0) {
        lstCalls->setCurrentRow(lstCalls->count() - 1);
        lstCalls->scrollToBottom();
    }
}

QString frmCalls::text() const
{
    QString all;
    for (const Call &call : game.calls())
        all += callLine(call) + QLatin1Char('\n');
    return all;
}

void frmCalls::cmdCopy_Click()
{
    QGuiApplication::clipboard()->setText(text());
}
