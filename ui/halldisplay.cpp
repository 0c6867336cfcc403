#include "halldisplay.h"

#include "boardcell.h"
#include "game.h"
#include "look.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <array>

namespace {
// The lit board's colours, shared with the players' phones.
using namespace look::hall;
constexpr int BannerMs = 8000;
constexpr qreal CellGap = 0.06; // between two cells' grounds, a share of a cell

QFont pixelFont(qreal pixels)
{
    QFont font = look::arialBold(12);
    font.setPixelSize(std::max(1, int(pixels)));
    return font;
}

// The largest font whose ink for `sample` fits within `fill` of the box's width and
// `fillHeight` of its height.
QFont fitted(const QString &sample, const QSizeF &box, qreal fill, qreal fillHeight = -1)
{
    if (fillHeight < 0)
        fillHeight = fill;
    const QFont probe = pixelFont(200);
    const QRectF ink = QFontMetricsF(probe).tightBoundingRect(sample);
    qreal pixels = 200 * std::min(box.width() * fill / ink.width(), box.height() * fillHeight / ink.height());
    QFont font = pixelFont(pixels);
    // Hinting can make a size's ink a pixel larger than scaling says.
    while (pixels > 2) {
        const QRectF real = QFontMetricsF(font).tightBoundingRect(sample);
        if (real.width() <= box.width() * fill && real.height() <= box.height() * fillHeight)
            break;
        pixels -= 1;
        font = pixelFont(pixels);
    }
    return font;
}

// Text that may wrap, at the largest size at which it fits its box.
void drawFitted(QPainter &painter, const QRectF &box, const QString &text, qreal largest)
{
    const int flags = Qt::AlignCenter | Qt::TextWordWrap;
    for (qreal pixels = largest; pixels > 4; pixels *= 0.92) {
        const QFont font = pixelFont(pixels);
        const QRectF needed = QFontMetricsF(font).boundingRect(box, flags, text);
        if (needed.width() <= box.width() && needed.height() <= box.height()) {
            painter.setFont(font);
            painter.drawText(box, flags, text);
            return;
        }
    }
}

// The places a display can fill: a screen that spans others is left out, and screens
// that overlap each other (mirrors) are one place, the largest of them.
QList<QRect> placesOf(const QList<QScreen *> &screens)
{
    QList<QRect> rects;
    for (const QScreen *screen : screens)
        rects << screen->geometry();
    QList<QRect> kept;
    for (const QRect &rect : rects) {
        const bool spans = std::any_of(rects.begin(), rects.end(), [&rect](const QRect &other) {
            return other != rect && rect.contains(other);
        });
        if (!spans)
            kept << rect;
    }
    QList<QRect> places;
    for (const QRect &rect : kept) {
        auto same = std::find_if(places.begin(), places.end(), [&rect](const QRect &place) { return place.intersects(rect); });
        if (same == places.end())
            places << rect;
        else if (rect.width() * rect.height() > same->width() * same->height())
            *same = rect;
    }
    std::sort(places.begin(), places.end(), [](const QRect &a, const QRect &b) {
        return a.x() != b.x() ? a.x() < b.x() : a.y() < b.y();
    });
    return places;
}

int placeOf(const QList<QRect> &places, const QScreen *screen)
{
    if (!screen)
        return -1;
    const QPoint centre = screen->geometry().center();
    for (int i = 0; i < places.size(); ++i) {
        if (places[i].contains(centre))
            return i;
    }
    return -1;
}
} // namespace

HallDisplay::Layout HallDisplay::Layout::of(QSize screen, int corner)
{
    Layout l;
    const qreal w = screen.width();
    const qreal h = screen.height();
    const qreal m = 0.025 * std::min(w, h);
    l.wide = w >= 1.5 * h;
    if (l.wide) {
        // The board on the right, nine rows in the whole height; the number's column gets
        // what is left, a third of the width on 16:9.
        const qreal boardWidth = 0.66 * w - m;
        l.board = QRectF(w - m - boardWidth, m, boardWidth, h - 2 * m);
        const QRectF left(m, m, w - boardWidth - 3 * m, h - 2 * m);
        const qreal y = left.top();
        const qreal lh = left.height();
        l.number = QRectF(left.left(), y, left.width(), 0.52 * lh);
        l.count = QRectF(left.left(), y + 0.53 * lh, left.width(), 0.09 * lh);
        l.lastFive = QRectF(left.left(), y + 0.63 * lh, left.width(), 0.09 * lh);
        l.status = QRectF(left.left(), y + 0.74 * lh, left.width(), 0.1 * lh);
        l.prizes = QRectF(left.left(), y + 0.85 * lh, left.width(), 0.15 * lh);
    } else {
        // The board across the whole width below, its rows no taller than the room needs
        // to read them; the number and the words share the band above.
        const qreal boardWidth = w - 2 * m;
        const qreal cellHeight = std::min(0.8 * boardWidth / 10, 0.07 * h);
        const qreal boardHeight = 9 * cellHeight;
        l.board = QRectF(m, h - m - boardHeight, boardWidth, boardHeight);
        const QRectF band(m, m, boardWidth, l.board.top() - 2 * m);
        if (band.height() > 0.6 * band.width()) {
            // Tall: the number on top across the width, the words below it.
            const qreal bh = band.height();
            l.number = QRectF(band.left(), band.top(), band.width(), 0.58 * bh);
            l.count = QRectF(band.left(), band.top() + 0.6 * bh, band.width() / 2, 0.12 * bh);
            l.lastFive = QRectF(band.center().x(), band.top() + 0.6 * bh, band.width() / 2, 0.12 * bh);
            l.status = QRectF(band.left(), band.top() + 0.74 * bh, band.width(), 0.1 * bh);
            l.prizes = QRectF(band.left(), band.top() + 0.85 * bh, band.width(), 0.15 * bh);
        } else {
            const qreal split = 0.45 * band.width();
            const qreal bh = band.height();
            const QRectF words(band.left() + split, band.top(), band.width() - split, bh);
            l.number = QRectF(band.left(), band.top(), split, bh);
            l.count = QRectF(words.left(), words.top(), words.width(), 0.2 * bh);
            l.lastFive = QRectF(words.left(), words.top() + 0.22 * bh, words.width(), 0.2 * bh);
            l.status = QRectF(words.left(), words.top() + 0.44 * bh, words.width(), 0.22 * bh);
            l.prizes = QRectF(words.left(), words.top() + 0.68 * bh, words.width(), 0.32 * bh);
        }
    }
    if (corner > 0) {
        // The number gives way: below the corner beside the board, beside it above the board.
        if (l.wide)
            l.number.setTop(std::min(l.number.bottom() - 1, qreal(corner)));
        else
            l.number.setLeft(std::min(l.number.right() - 1, qreal(corner)));
    }
    l.cell = QSizeF(l.board.width() / 10, l.board.height() / 9);
    l.numberFont = fitted(QStringLiteral("88"), l.number.size(), 0.92);
    l.countFont = fitted(QStringLiteral("Calls: 88"), l.count.size(), 0.9);
    // The digits fill most of a cell's ground, inside the gaps between the cells.
    const qreal gap = CellGap * std::min(l.cell.width(), l.cell.height());
    l.boardFont = fitted(QStringLiteral("88"), l.cell - QSizeF(gap, gap), 0.92, 0.86);
    return l;
}

HallDisplay::HallDisplay(const Game &game, std::function<void()> startStop, QWidget *owner)
    : QWidget(owner, Qt::Window | Qt::FramelessWindowHint)
    , game(game)
    , startStop(std::move(startStop))
{
    setObjectName(QStringLiteral("hallDisplay"));
    setWindowTitle(tr("Hall Display"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::BlankCursor);
    bannerTimer.setSingleShot(true);
    connect(&bannerTimer, &QTimer::timeout, this, [this] {
        banner.clear();
        update();
    });
    auto redraw = [this] { update(); };
    connect(&game, &Game::numberCalled, this, redraw);
    connect(&game, &Game::news, this, redraw);
    connect(&game, &Game::callingChanged, this, redraw);
    connect(&game, &Game::prizesChanged, this, redraw);
    connect(&game, &Game::claimChanged, this, redraw);
    connect(&game, &Game::prizeWon, this, &HallDisplay::showWin);
}

void HallDisplay::showWin(const Win &win)
{
    const QString ticket = win.ticket.startsWith(QLatin1String("typed:")) ? tr("a ticket") : win.ticket;
    banner = tr("%1 won: %2").arg(prizes::name(win.prize), ticket);
    bannerTimer.start(BannerMs);
    update();
}

void HallDisplay::setNotice(const QString &words)
{
    if (words != notice) {
        notice = words;
        update();
    }
}

void HallDisplay::place(const QScreen *hostScreen)
{
    const QList<QRect> places = placesOf(QGuiApplication::screens());
    const int host = placeOf(places, hostScreen);
    int best = -1;
    for (int i = 0; i < places.size(); ++i) {
        if (i == host)
            continue;
        if (best < 0 || places[i].width() * places[i].height() > places[best].width() * places[best].height())
            best = i;
    }
    if (best < 0)
        best = host >= 0 ? host : 0;
    chosen = best;
    if (!places.isEmpty())
        fillPlace(places[best], best == host || host < 0);
}

void HallDisplay::placeNext(const QScreen *hostScreen)
{
    const QList<QRect> places = placesOf(QGuiApplication::screens());
    if (places.isEmpty())
        return;
    const int current = std::max(0, int(std::find(places.begin(), places.end(), geometry()) - places.begin()));
    chosen = (current + 1) % int(places.size());
    fillPlace(places[chosen], chosen == placeOf(places, hostScreen));
}

void HallDisplay::fillPlace(const QRect &where, bool withHost)
{
    const bool hadKeys = shared && isActiveWindow();
    shared = withHost;
    // On a screen of its own the host's window keeps the keys; on the host's screen the
    // display covers that window, so it takes them.
    setAttribute(Qt::WA_ShowWithoutActivating, !shared);
    setWindowFlag(Qt::WindowDoesNotAcceptFocus, !shared);
    // A full-screen window keeps its screen through a move; it is made normal first.
    setWindowState(windowState() & ~Qt::WindowFullScreen);
    setGeometry(where);
    // Not showFullScreen(), which would also take the focus.
    setWindowState(windowState() | Qt::WindowFullScreen);
    show();
    if (shared) {
        comeForward();
    } else if (hadKeys && parentWidget()) {
        // Off the host's screen again: the keys go back to the host's window.
        parentWidget()->activateWindow();
    }
}

void HallDisplay::reserveCorner(int pixels)
{
    if (pixels != corner) {
        corner = pixels;
        update();
    }
}

void HallDisplay::comeForward()
{
    if (!shared || !isVisible())
        return;
    raise();
    activateWindow();
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
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), Backdrop);
    const Layout l = Layout::of(size(), corner);
    const std::vector<Call> &calls = game.calls();

    if (!calls.empty()) {
        painter.setPen(LitCell);
        painter.setFont(l.numberFont);
        painter.drawText(l.number, Qt::AlignCenter, QString::number(calls.back().number));
        painter.setPen(Words);
        painter.setFont(l.countFont);
        painter.drawText(l.count, Qt::AlignCenter, tr("Calls: %1").arg(calls.size()));
        QStringList last;
        const std::vector<std::int16_t> five = game.lastFive();
        for (std::size_t k = 1; k < five.size(); ++k) // the newest is the big number
            last << QString::number(five[k]);
        if (!last.isEmpty()) {
            painter.setFont(fitted(QStringLiteral("88  88  88  88"), l.lastFive.size(), 0.9));
            painter.drawText(l.lastFive, Qt::AlignCenter, last.join(QStringLiteral("  ")));
        }
    }

    // The state of the game, in a few words; a prize just won takes its place for a while.
    QString state;
    if (!banner.isEmpty()) {
        state = banner;
    } else if (game.checkingClaim()) {
        state = tr("Checking a claim");
    } else if (!notice.isEmpty()) {
        state = notice;
    } else {
        switch (game.run()) {
        case Game::Run::Waiting:
            state = tr("New game: waiting for the first call");
            break;
        case Game::Run::Calling:
            break;
        case Game::Run::Stopped:
            state = tr("Stopped");
            break;
        case Game::Run::Paused:
            state = tr("Paused");
            break;
        }
        if (game.state().soundflag != 1)
            state = state.isEmpty() ? tr("Sound off") : tr("%1 · Sound off").arg(state);
    }
    // A prize just won, or a claim waiting, stands out in the just-called colour.
    const bool bright = !banner.isEmpty() || (!game.checkingClaim() && !notice.isEmpty());
    painter.setPen(bright ? JustCalled : Words);
    if (!state.isEmpty())
        drawFitted(painter, l.status, state, l.status.height() * 0.6);
    QStringList left;
    for (int i = 0; i < PrizeCount; ++i) {
        if (game.prizesLeft() & prizes::bit(Prize(i)))
            left << prizes::name(Prize(i));
    }
    if (!left.isEmpty()) {
        painter.setPen(Words);
        drawFitted(painter, l.prizes, tr("To win: %1").arg(left.join(QStringLiteral(" · "))), l.prizes.height() * 0.4);
    }

    // The board: nine rows of ten, lit where called.
    std::array<bool, GameState::Numbers + 1> lit{};
    for (const Call &call : calls)
        lit[std::size_t(call.number)] = true;
    const int newest = calls.empty() ? 0 : calls.back().number;
    const qreal gap = CellGap * std::min(l.cell.width(), l.cell.height());
    painter.setFont(l.boardFont);
    painter.setPen(Qt::NoPen);
    for (int n = 1; n <= GameState::Numbers; ++n) {
        const BoardCell at = cellOf(std::int16_t(n)); // the board's own rule
        const QRectF cell(l.board.left() + at.column * l.cell.width(), l.board.top() + at.row * l.cell.height(),
                          l.cell.width(), l.cell.height());
        const QRectF ground = cell.adjusted(gap / 2, gap / 2, -gap / 2, -gap / 2);
        const QColor back = n == newest ? JustCalled : lit[std::size_t(n)] ? LitCell : DarkCell;
        painter.setBrush(back);
        painter.setPen(Qt::NoPen);
        painter.drawRoundedRect(ground, gap, gap);
        painter.setPen(n == newest ? JustCalledDigit : lit[std::size_t(n)] ? LitDigit : DimDigit);
        painter.drawText(cell, Qt::AlignCenter, QString::number(n));
    }
}
