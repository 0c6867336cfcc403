#include "halldisplay.h"

#include "accessibility.h"
#include "boardcell.h"
#include "hallplacement.h"
#include "game.h"
#include "look.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPaintEvent>

#include <algorithm>
#include <array>
#include <map>
#include <tuple>

namespace {
// The lit board's colours, shared with the players' phones.
using namespace look::hall;
constexpr int BannerMs = 8000;
constexpr qreal CellGap = 0.06; // between two cells' grounds, a share of a cell
constexpr qreal FrameWidth = 0.3; // the ring round a cell's ground, a share of the gap
// A board number's digits drawn up to this share of the size closer than the font sets
// them, and its ink this share of the cell's width at most: the room sees two numbers
// apart, not one long row of digits.
constexpr qreal DigitSpacing = -0.04;
constexpr qreal BoardFill = 0.88;

QFont pixelFont(qreal pixels, qreal spacing = 0)
{
    QFont font = look::arialBold(12);
    font.setPixelSize(std::max(1, int(pixels)));
    if (spacing != 0)
        font.setLetterSpacing(QFont::AbsoluteSpacing, spacing * std::max(1, int(pixels)));
    return font;
}

// Words that the room reads as one: a prize's name, a separator kept with the word before
// it, so that no line begins with one.
QString unbroken(QString words)
{
    return words.replace(QLatin1Char(' '), QChar(0x00a0));
}

QString listed(const QStringList &items)
{
    QStringList glued;
    for (const QString &item : items)
        glued << unbroken(item);
    return glued.join(QStringLiteral("\u00a0\u00b7 "));
}

// The largest font whose ink for `sample` fits within `fill` of the box's width and
// `fillHeight` of its height.
QFont fitted(const QString &sample, const QSizeF &box, qreal fill, qreal fillHeight = -1, qreal spacing = 0)
{
    if (fillHeight < 0)
        fillHeight = fill;
    const QFont probe = pixelFont(200, spacing);
    const QRectF ink = QFontMetricsF(probe).tightBoundingRect(sample);
    qreal pixels = 200 * std::min(box.width() * fill / ink.width(), box.height() * fillHeight / ink.height());
    QFont font = pixelFont(pixels, spacing);
    // Hinting can make a size's ink a pixel larger than scaling says.
    while (pixels > 2) {
        const QRectF real = QFontMetricsF(font).tightBoundingRect(sample);
        if (real.width() <= box.width() * fill && real.height() <= box.height() * fillHeight)
            break;
        pixels -= 1;
        font = pixelFont(pixels, spacing);
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

} // namespace

HallDisplay::Layout HallDisplay::Layout::of(QSize screen, QSize corner)
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
    if (!corner.isEmpty()) {
        // Beside the board, the count and the last five move beside the corner and the
        // number keeps its width below it, where they were; above the board, the number
        // gives way sideways.
        const qreal beside = corner.width() + m;
        if (l.wide && l.number.right() - beside >= 0.4 * l.number.width()) {
            const QRectF band(beside, l.number.top(), l.number.right() - beside, corner.height() - l.number.top());
            l.count = QRectF(band.left(), band.top(), band.width(), 0.48 * band.height());
            l.lastFive = QRectF(band.left(), band.top() + 0.52 * band.height(), band.width(), 0.48 * band.height());
            l.number = QRectF(l.number.left(), corner.height() + 0.01 * h, l.number.width(),
                              std::max(1.0, l.status.top() - corner.height() - 0.03 * h));
        } else if (l.wide) {
            l.number.setTop(std::min(l.number.bottom() - 1, qreal(corner.height())));
        } else {
            l.number.setLeft(std::min(l.number.right() - 1, qreal(corner.width())));
        }
    }
    l.cell = QSizeF(l.board.width() / 10, l.board.height() / 9);
    l.numberFont = fitted(QStringLiteral("88"), l.number.size(), 0.92);
    l.countFont = fitted(QStringLiteral("Calls: 88"), l.count.size(), 0.9);
    l.lastFiveFont = fitted(QStringLiteral("88  88  88  88"), l.lastFive.size(), 0.9);
    // The digits fill most of a cell's ground, inside the gaps between the cells.
    l.cellGap = CellGap * std::min(l.cell.width(), l.cell.height());
    // Digits drawn closer only where the cell's width is what limits them: there they come
    // out larger and further from their neighbours; where the height limits, as set.
    const QSizeF ground = l.cell - QSizeF(l.cellGap, l.cellGap);
    const QFont asSet = fitted(QStringLiteral("88"), ground, BoardFill, 0.86);
    const QFont closer = fitted(QStringLiteral("88"), ground, BoardFill, 0.86, DigitSpacing);
    l.boardFont = closer.pixelSize() > asSet.pixelSize() ? closer : asSet;
    return l;
}

QRectF HallDisplay::Layout::cellOf(int n) const
{
    const BoardCell at = ::cellOf(std::int16_t(n)); // the board's own rule
    return QRectF(board.left() + at.column * cell.width(), board.top() + at.row * cell.height(), cell.width(),
                  cell.height());
}

HallDisplay::HallDisplay(const Game &game, std::function<void()> startStop, QWidget *owner)
    : QWidget(owner, Qt::Window | Qt::FramelessWindowHint)
    , game(game)
    , startStop(std::move(startStop))
    , placement(new HallPlacement(*this, owner))
    , shownCalls(game.calls().size())
    , shownNewest(game.calls().empty() ? 0 : game.calls().back().number)
{
    // A window of its own, named by what it is for the host.
    readAs(*this, QAccessible::Window);
    setObjectName(QStringLiteral("hallDisplay"));
    setWindowTitle(tr("Hall Display"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::BlankCursor);
    bannerTimer.setSingleShot(true);
    connect(&bannerTimer, &QTimer::timeout, this, [this] {
        banner.clear();
        update(layout.status.toAlignedRect());
    });
    auto stateChanged = [this] { update(layout.status.toAlignedRect()); };
    connect(&game, &Game::callsChanged, this, &HallDisplay::followCalls);
    connect(&game, &Game::news, this, stateChanged);
    connect(&game, &Game::callingChanged, this, stateChanged);
    connect(&game, &Game::claimChanged, this, stateChanged);
    connect(&game, &Game::prizesChanged, this, [this] {
        update(QRegion(layout.prizes.toAlignedRect()) | layout.status.toAlignedRect());
    });
    connect(&game, &Game::prizeWon, this, &HallDisplay::showWin);
    connect(placement, &HallPlacement::placed, this, &HallDisplay::placed);
}

void HallDisplay::place()
{
    placement->place();
}

void HallDisplay::setNotice(const QString &words)
{
    if (words != notice) {
        notice = words;
        update(layout.status.toAlignedRect());
    }
}

void HallDisplay::placeNext()
{
    placement->placeNext();
}

void HallDisplay::reserveCorner(QSize reach)
{
    if (reach != corner) {
        corner = reach;
        relayout();
        update();
    }
}

void HallDisplay::comeForward()
{
    placement->comeForward();
}

bool HallDisplay::sharesHostScreen() const
{
    return placement->sharesHostScreen();
}

// A reader is told, first, what the display is for the host: alone on the host's screen it
// holds the keys, and Escape gives them back.
void HallDisplay::placed(bool withHost)
{
    setAccessibleName(withHost ? tr("Hall Display, it has the keys: Escape returns to the caller")
                               : tr("Hall Display, on a screen of its own"));
    setAccessibleDescription(withHost ? tr("Space starts and stops the calling, F8 switches the sound, "
                                           "Escape or F11 returns to the caller's window.")
                                      : tr("The keys stay with the caller's window."));
}

void HallDisplay::showWin(const Win &win)
{
    const QString ticket = ClaimTicket::isTypedLabel(win.ticket) ? tr("a ticket") : win.ticket;
    banner = tr("%1 won: %2").arg(unbroken(prizes::name(win.prize)), ticket);
    bannerTimer.start(BannerMs);
    update(layout.status.toAlignedRect());
}

// One more call changes the big number, the count, the last five and two cells: the one
// just called and the one called before it. Anything else (a new game, a resumed one) is
// drawn whole.
void HallDisplay::followCalls()
{
    const std::vector<Call> &calls = game.calls();
    const int newest = calls.empty() ? 0 : calls.back().number;
    if (calls.size() == shownCalls + 1) {
        QRegion changed = QRegion(layout.number.toAlignedRect()) | layout.count.toAlignedRect()
            | layout.lastFive.toAlignedRect() | layout.cellOf(newest).toAlignedRect();
        if (shownNewest > 0)
            changed |= layout.cellOf(shownNewest).toAlignedRect();
        update(changed);
    } else {
        update();
    }
    shownCalls = calls.size();
    shownNewest = newest;
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

// Alone on the host's screen, the host's window is raised only now, as the display goes.
void HallDisplay::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (placement->sharesHostScreen() && parentWidget()) {
        parentWidget()->raise();
        parentWidget()->activateWindow();
    }
}

// Fitting every text to its room measures many font sizes: each screen's layout is worked
// out once, so the window manager's moves between screens, and back, cost nothing.
void HallDisplay::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    relayout();
}

void HallDisplay::relayout()
{
    // A few screens' shapes at most, each with the phones' corner or without.
    static std::map<std::tuple<int, int, int, int>, Layout> known;
    const std::tuple<int, int, int, int> shape{width(), height(), corner.width(), corner.height()};
    auto found = known.find(shape);
    if (found == known.end()) {
        if (known.size() >= 16)
            known.clear();
        found = known.emplace(shape, Layout::of(size(), corner)).first;
    }
    layout = found->second;
}

void HallDisplay::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::Antialiasing);
    for (const QRect &rect : event->region())
        painter.fillRect(rect, Backdrop);
    const QRect touched = event->region().boundingRect();
    if (touched.intersects(layout.number.toAlignedRect()) || touched.intersects(layout.count.toAlignedRect())
        || touched.intersects(layout.lastFive.toAlignedRect()))
        paintNumbers(painter);
    if (touched.intersects(layout.status.toAlignedRect()) || touched.intersects(layout.prizes.toAlignedRect()))
        paintWords(painter);
    if (touched.intersects(layout.board.toAlignedRect()))
        paintBoard(painter, event->region());
}

void HallDisplay::paintNumbers(QPainter &painter)
{
    const std::vector<Call> &calls = game.calls();
    if (calls.empty())
        return;
    painter.setPen(LitCell);
    painter.setFont(layout.numberFont);
    painter.drawText(layout.number, Qt::AlignCenter, QString::number(calls.back().number));
    painter.setPen(Words);
    painter.setFont(layout.countFont);
    painter.drawText(layout.count, Qt::AlignCenter, tr("Calls: %1").arg(calls.size()));
    QStringList last;
    const std::vector<std::int16_t> five = game.lastFive();
    for (std::size_t k = 1; k < five.size(); ++k) // the newest is the big number
        last << QString::number(five[k]);
    if (!last.isEmpty()) {
        painter.setFont(layout.lastFiveFont);
        painter.drawText(layout.lastFive, Qt::AlignCenter, last.join(QStringLiteral("  ")));
    }
}

// The state of the game, in a few words; a prize just won takes its place for a while.
void HallDisplay::paintWords(QPainter &painter)
{
    QStringList state;
    if (!banner.isEmpty()) {
        state << banner;
    } else if (game.checkingClaim()) {
        state << tr("Checking a claim");
    } else if (!notice.isEmpty()) {
        state << notice;
    } else {
        switch (game.run()) {
        case Game::Run::Waiting:
            state << tr("New game: waiting for the first call");
            break;
        case Game::Run::Calling:
            break;
        case Game::Run::Stopped:
            state << tr("Stopped");
            break;
        case Game::Run::Paused:
            state << tr("Paused");
            break;
        }
        if (game.state().soundflag != 1)
            state << tr("Sound off");
    }
    // A prize just won, or a claim waiting, stands out in the just-called colour.
    const bool bright = !banner.isEmpty() || (!game.checkingClaim() && !notice.isEmpty());
    painter.setPen(bright ? JustCalled : Words);
    if (!state.isEmpty())
        drawFitted(painter, layout.status, listed(state), layout.status.height() * 0.6);
    QStringList left;
    for (int i = 0; i < PrizeCount; ++i) {
        if (game.prizesLeft() & prizes::bit(Prize(i)))
            left << prizes::name(Prize(i));
    }
    if (!left.isEmpty()) {
        painter.setPen(Words);
        drawFitted(painter, layout.prizes, tr("To win: %1").arg(listed(left)), layout.prizes.height() * 0.4);
    }
}

// The board: nine rows of ten, lit where called; only the cells the region touches.
void HallDisplay::paintBoard(QPainter &painter, const QRegion &region)
{
    const std::vector<Call> &calls = game.calls();
    std::array<bool, GameState::Numbers + 1> lit{};
    for (const Call &call : calls)
        lit[std::size_t(call.number)] = true;
    const int newest = calls.empty() ? 0 : calls.back().number;
    const qreal gap = layout.cellGap;
    const qreal ring = FrameWidth * gap;
    painter.setFont(layout.boardFont);
    for (int n = 1; n <= GameState::Numbers; ++n) {
        const QRectF cell = layout.cellOf(n);
        if (!region.intersects(cell.toAlignedRect()))
            continue;
        const QRectF ground = cell.adjusted(gap / 2, gap / 2, -gap / 2, -gap / 2);
        // A ring in the gap round every ground, so the dark cells stand off the backdrop.
        painter.setPen(Qt::NoPen);
        painter.setBrush(CellFrame);
        painter.drawRoundedRect(ground.adjusted(-ring, -ring, ring, ring), gap + ring, gap + ring);
        painter.setBrush(n == newest ? JustCalled : lit[std::size_t(n)] ? LitCell : DarkCell);
        painter.drawRoundedRect(ground, gap, gap);
        painter.setPen(n == newest ? JustCalledDigit : lit[std::size_t(n)] ? LitDigit : DimDigit);
        painter.drawText(cell, Qt::AlignCenter, QString::number(n));
    }
}
