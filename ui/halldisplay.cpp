#include "halldisplay.h"

#include "look.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <array>

namespace {
// Uncalled numbers: readable on the peach from the back of the hall, yet quieter than
// the purple of the called ones.
const QColor Uncalled{110, 90, 75};
// Behind a called number, so the marks read as a pattern across the room.
const QColor CalledGround{238, 204, 238};

QFont sized(qreal pixels, bool underline = false)
{
    QFont font = look::arialBold(12);
    font.setPixelSize(std::max(1, int(pixels)));
    font.setUnderline(underline);
    return font;
}
} // namespace

HallDisplay::HallDisplay(const GameState &game, std::function<void()> startStop, QWidget *owner)
    : QWidget(owner, Qt::Window | Qt::FramelessWindowHint)
    , game(game)
    , startStop(std::move(startStop))
{
    setObjectName(QStringLiteral("hallDisplay"));
    setWindowTitle(tr("Hall Display"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::BlankCursor);
}

void HallDisplay::place(const QScreen *hostScreen)
{
    const QScreen *best = nullptr;
    for (QScreen *candidate : QGuiApplication::screens()) {
        if (candidate == hostScreen)
            continue;
        const QSize size = candidate->geometry().size();
        if (!best || size.width() * size.height() > best->geometry().width() * best->geometry().height())
            best = candidate;
    }
    const bool shared = best == nullptr;
    if (shared)
        best = hostScreen ? hostScreen : QGuiApplication::primaryScreen();
    // On a screen of its own the host's window keeps the keys; on the host's screen the
    // display covers that window, so it takes them.
    setAttribute(Qt::WA_ShowWithoutActivating, !shared);
    setWindowFlag(Qt::WindowDoesNotAcceptFocus, !shared);
    setGeometry(best->geometry());
    // Not showFullScreen(), which would also take the focus.
    setWindowState(windowState() | Qt::WindowFullScreen);
    show();
    if (shared) {
        raise();
        activateWindow();
    }
}

void HallDisplay::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        close();
    else if (event->key() == Qt::Key_Space && !event->isAutoRepeat())
        startStop();
    else
        QWidget::keyPressEvent(event);
}

void HallDisplay::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.fillRect(rect(), look::Peach);
    const qreal h = height();
    const qreal w = width();
    const int called = std::clamp(game.callcount, 0, GameState::Numbers);

    // Left: the number just called, the count, the last five.
    const QRectF left(0.02 * w, 0.04 * h, 0.36 * w, 0.92 * h);
    painter.setPen(look::Purple);
    if (called > 0) {
        painter.setFont(sized(0.5 * h));
        painter.drawText(QRectF(left.left(), left.top(), left.width(), 0.56 * h), Qt::AlignCenter,
                         QString::number(game.callorder[called]));
    }
    painter.setFont(sized(0.07 * h));
    painter.drawText(QRectF(left.left(), 0.62 * h, left.width(), 0.1 * h), Qt::AlignCenter,
                     tr("Calls: %1").arg(called));
    QStringList last;
    for (int k = called; k >= 1 && k > called - 5; --k)
        last << QString::number(game.callorder[k]);
    painter.setFont(sized(0.065 * h));
    painter.drawText(QRectF(left.left(), 0.76 * h, left.width(), 0.1 * h), Qt::AlignCenter, last.join(QStringLiteral("  ")));

    // Right: the board, nine rows of ten.
    std::array<bool, GameState::Numbers + 1> marked{};
    for (int k = 1; k <= called; ++k)
        marked[std::size_t(game.callorder[k])] = true;
    const qreal cell = std::min(0.58 * w / 10, 0.92 * h / 9);
    const QPointF origin(0.4 * w + (0.58 * w - 10 * cell) / 2, (h - 9 * cell) / 2);
    const QFont plain = sized(0.5 * cell);
    const QFont mark = sized(0.5 * cell, true);
    for (int n = 1; n <= GameState::Numbers; ++n) {
        if (marked[std::size_t(n)])
            painter.fillRect(QRectF(origin + QPointF((n - 1) % 10 * cell, (n - 1) / 10 * cell), QSizeF(cell, cell)),
                             CalledGround);
    }
    painter.setPen(QPen(look::GridLine, std::max(1.0, cell / 40)));
    for (int i = 0; i <= 9; ++i)
        painter.drawLine(origin + QPointF(0, i * cell), origin + QPointF(10 * cell, i * cell));
    for (int j = 0; j <= 10; ++j)
        painter.drawLine(origin + QPointF(j * cell, 0), origin + QPointF(j * cell, 9 * cell));
    for (int n = 1; n <= GameState::Numbers; ++n) {
        const QRectF at(origin + QPointF((n - 1) % 10 * cell, (n - 1) / 10 * cell), QSizeF(cell, cell));
        const bool isCalled = marked[std::size_t(n)];
        painter.setFont(isCalled ? mark : plain);
        painter.setPen(isCalled ? look::Purple : Uncalled);
        painter.drawText(at, Qt::AlignCenter, QString::number(n));
    }
}
