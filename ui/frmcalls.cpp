#include "frmcalls.h"

#include "accessibility.h"
#include "game.h"
#include "ownwindow.h"

#include <QAccessible>
#include <QAction>
#include <QClipboard>
#include <QDateTime>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
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
    readerNews = new ReaderNews(this);

    // Ctrl+C copies the whole record, not only the selected line.
    auto *copy = new QAction(this);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WindowShortcut);
    addAction(copy);
    connect(copy, &QAction::triggered, this, &frmCalls::cmdCopy_Click);
    auto *escape = new QAction(this);
    escape->setShortcut(Qt::Key_Escape);
    escape->setShortcutContext(Qt::WindowShortcut);
    addAction(escape);
    connect(escape, &QAction::triggered, this, &QWidget::close);
    connect(cmdCopy, &QPushButton::clicked, this, &frmCalls::cmdCopy_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    connect(&game, &Game::callsChanged, this, &frmCalls::follow);
    follow();
    lstCalls->setFocus();
}

// One more call is added at the end; a new or resumed game is listed afresh. The current
// line follows the newest call only in the active window: moving it behind another window
// made a reader speak every call a second time, as a line of this list.
void frmCalls::follow()
{
    const std::vector<Call> &calls = game.calls();
    const int shown = lstCalls->count();
    const bool refilled = std::size_t(shown) + 1 != calls.size();
    const bool following = refilled || lstCalls->currentRow() == shown - 1;
    if (refilled) {
        lstCalls->clear();
        for (const Call &call : calls)
            lstCalls->addItem(callLine(call));
    } else {
        lstCalls->addItem(callLine(calls.back()));
    }
    if (!following)
        return;
    if (isActiveWindow() || !isVisible()) {
        showNewest();
    } else {
        behind = true;
        lstCalls->scrollToBottom();
    }
}

void frmCalls::showNewest()
{
    if (lstCalls->count() > 0) {
        lstCalls->setCurrentRow(lstCalls->count() - 1);
        lstCalls->scrollToBottom();
    }
}

// Back in front, a list that followed the calls shows the newest again, and a reader is
// told the current line once the window is active: told with the window still coming up,
// it was lost and the reader said only how many lines the list has.
void frmCalls::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || !isActiveWindow())
        return;
    if (behind) {
        behind = false;
        showNewest();
    }
    QTimer::singleShot(0, this, [this] {
        if (!isActiveWindow() || !lstCalls->hasFocus() || lstCalls->currentRow() < 0)
            return;
        QAccessibleEvent focus(lstCalls, QAccessible::Focus);
        focus.setChild(lstCalls->currentRow());
        QAccessible::updateAccessibility(&focus);
    });
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
    const std::size_t copied = game.calls().size();
    readerNews->tell(copied == 1 ? tr("Copied 1 call") : tr("Copied %1 calls").arg(copied));
}
