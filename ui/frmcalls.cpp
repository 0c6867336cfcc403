#include "frmcalls.h"

#include "accessibility.h"
#include "game.h"
#include "ownwindow.h"
#include "readerwords.h"

#include <QAccessible>
#include <QAction>
#include <QClipboard>
#include <QDateTime>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
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

// A line as a reader hears it as the line moves: what the host needs, without the time.
QListWidgetItem *callItem(const Call &call)
{
    auto *item = new QListWidgetItem(callLine(call));
    item->setData(Qt::AccessibleTextRole, spokenCall(call));
    return item;
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
    readerNews = ReaderNews::forWindow(*this);

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
    connect(lstCalls, &QListWidget::itemActivated, this, &frmCalls::lstCalls_Activated);
    connect(&game, &Game::callsChanged, this, &frmCalls::follow);
    lstCalls->installEventFilter(this);
    follow();
    lstCalls->setFocus();
}

// The program's own voice speaks the numbers while a reader listens: a line moving at each
// call would be a second voice for it.
bool frmCalls::voiceSpeaks() const
{
    return QAccessible::isActive() && !game.readerSpeaksNumbers();
}

bool frmCalls::announcesCalls() const
{
    return isActiveWindow() && lstCalls->hasFocus() && !voiceSpeaks() && !behind
        && lstCalls->currentRow() >= lstCalls->count() - 1; // on the newest line, or the list is empty
}

// One more call is added at the end; a new or resumed game is listed afresh. The current
// line follows the newest call only where a reader is to hear the call from it: moving it
// behind another window made a reader speak every call a second time, as a line of this list.
void frmCalls::follow()
{
    const std::vector<Call> &calls = game.calls();
    const int shown = lstCalls->count();
    const bool refilled = std::size_t(shown) + 1 != calls.size();
    const bool following = refilled || behind || lstCalls->currentRow() == shown - 1;
    if (refilled) {
        lstCalls->clear();
        for (const Call &call : calls)
            lstCalls->addItem(callItem(call));
    } else {
        lstCalls->addItem(callItem(calls.back()));
    }
    if (!following)
        return;
    if (!isVisible() || (isActiveWindow() && !voiceSpeaks())) {
        behind = false;
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
// told the current line.
void frmCalls::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || !isActiveWindow())
        return;
    if (behind) {
        behind = false;
        showNewest();
    }
    sayCurrentLineOnceActive(*lstCalls);
}

// In front while it followed in silence, the first key that moves in the list moves it to
// the newest call instead, which the reader then says.
bool frmCalls::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lstCalls && event->type() == QEvent::KeyPress && behind) {
        switch (static_cast<QKeyEvent *>(event)->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
            behind = false;
            showNewest();
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// Enter on a line: the reader hears it with its time, which the moving line leaves out.
void frmCalls::lstCalls_Activated()
{
    const int row = lstCalls->currentRow();
    if (row >= 0 && std::size_t(row) < game.calls().size())
        readerNews->tell(spokenCall(game.calls()[std::size_t(row)], true));
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
