#include "halldisplay.h"
#include "hallplacement.h"
#include "windowrig.h"

#include <QAccessible>
#include <QImage>

#include <cmath>

namespace {
// The rows of a box that hold ink: pixels that differ from the box's corner colour.
struct Ink
{
    int top = -1;
    int bottom = -1;
    bool touchesEdge = false;
    double meanLuminance = 0;
    QRgb ground = 0;
    QRgb darkest = 0xffffffff;
    QRgb lightest = 0;
};

// corner: how far from each corner the box's own rounded edge may reach; ink there is
// the ground's edge, not a digit.
Ink inkIn(const QImage &image, const QRect &box, int corner = 0)
{
    Ink ink;
    ink.ground = image.pixel(box.left() + corner + 1, box.top() + 1);
    const double groundLuminance = luminance(ink.ground);
    double sum = 0;
    double low = 2;
    double high = -1;
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            const double l = luminance(p);
            sum += l;
            if (l < low) {
                low = l;
                ink.darkest = p;
            }
            if (l > high) {
                high = l;
                ink.lightest = p;
            }
            if (std::abs(l - groundLuminance) <= 0.1)
                continue;
            const bool nearCorner = (x - box.left() < corner || box.right() - x < corner)
                && (y - box.top() < corner || box.bottom() - y < corner);
            if (nearCorner)
                continue;
            if (ink.top < 0)
                ink.top = y;
            ink.bottom = y;
            if (y == box.top() || y == box.bottom() || x == box.left() || x == box.right())
                ink.touchesEdge = true;
        }
    }
    ink.meanLuminance = sum / (box.width() * box.height());
    return ink;
}

// The columns of a cell's ground that hold a digit's ink: first and last, and the widest run
// of empty columns between them (the room between the number's own digits).
struct Columns
{
    int first = -1;
    int last = -1;
    int innerGap = 0;
};

Columns columnsIn(const QImage &image, const QRect &box, int corner)
{
    const double ground = luminance(image.pixel(box.left() + corner + 1, box.top() + 1));
    Columns c;
    int run = 0;
    for (int x = box.left() + 1; x < box.right(); ++x) {
        bool ink = false;
        for (int y = box.top() + corner; y <= box.bottom() - corner && !ink; ++y)
            ink = std::abs(luminance(image.pixel(x, y)) - ground) > 0.1;
        if (!ink) {
            ++run;
            continue;
        }
        if (c.first < 0)
            c.first = x;
        else
            c.innerGap = std::max(c.innerGap, run);
        run = 0;
        c.last = x;
    }
    return c;
}

QImage drawn(HallDisplay &hall, QSize screen)
{
    hall.resize(screen);
    return hall.grab().toImage().convertToFormat(QImage::Format_RGB32);
}
} // namespace

class TestHall : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readableFromTheBackOnEveryScreen_data();
    void readableFromTheBackOnEveryScreen();
    void numbersStandApartOnTheBoard_data();
    void numbersStandApartOnTheBoard();
    void aCallRepaintsOnlyWhatItChanged();
    void placesAreScreensThatDoNotOverlap_data();
    void placesAreScreensThatDoNotOverlap();
    void aReaderHearsThatItHasTheKeysOnASingleScreen();
};

void TestHall::readableFromTheBackOnEveryScreen_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<double>("digits"); // the board's digits at least this share of the height
    QTest::newRow("1024x768 (4:3)") << QSize(1024, 768) << 0.045;
    QTest::newRow("1280x1024 (5:4)") << QSize(1280, 1024) << 0.045;
    QTest::newRow("1920x1080 (16:9)") << QSize(1920, 1080) << 0.06;
    QTest::newRow("1920x1200 (16:10)") << QSize(1920, 1200) << 0.055;
    QTest::newRow("2560x1080 (21:9)") << QSize(2560, 1080) << 0.06;
    QTest::newRow("3840x2160 (4K)") << QSize(3840, 2160) << 0.06;
    QTest::newRow("1080x1920 (portrait)") << QSize(1080, 1920) << 0.028;
}

// The big number, the last five and every board cell keep their ink inside their own
// boxes; the board's digits are tall enough for the back rows; lit cells stand out 3:1
// from dark ones and every digit 4.5:1 from its own ground.
void TestHall::readableFromTheBackOnEveryScreen()
{
    QFETCH(QSize, screen);
    QFETCH(double, digits);
    WindowRig rig;
    rig.cmdStart()->click();
    rig.tick(12);
    HallDisplay hall(rig.game(), [] {}, nullptr);
    hall.resize(screen);
    const QImage image = hall.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(image.size(), screen);
    if (const char *artifacts = std::getenv("TK_ARTIFACTS"))
        image.save(QStringLiteral("%1/hall-%2x%3.png").arg(QLatin1String(artifacts)).arg(screen.width()).arg(screen.height()));

    const HallDisplay::Layout layout = HallDisplay::Layout::of(screen);
    const QRect whole(QPoint(0, 0), screen);
    for (const QRectF &box : {layout.number, layout.count, layout.lastFive, layout.status, layout.prizes, layout.board})
        QVERIFY(whole.contains(box.toAlignedRect()));
    const Ink number = inkIn(image, layout.number.toRect());
    QVERIFY2(number.top >= 0, "no big number");
    QVERIFY2(!number.touchesEdge, "the big number is cut");
    QVERIFY(!inkIn(image, layout.lastFive.toRect()).touchesEdge);
    if (layout.wide && screen.width() * 9 >= screen.height() * 16)
        QVERIFY2(number.bottom - number.top + 1 >= 0.3 * screen.height(),
                 qPrintable(QString::number(number.bottom - number.top + 1)));

    const std::vector<Call> &calls = rig.game().calls();
    std::array<bool, 91> called{};
    for (const Call &call : calls)
        called[call.number] = true;
    int smallestDigits = screen.height();
    double lowestContrast = 100;
    double lit = 0;
    double dark = 0;
    int darkCount = 0;
    int litCount = 0;
    for (int n = 1; n <= 90; ++n) {
        QRect cell = QRectF(layout.board.left() + (n - 1) % 10 * layout.cell.width(),
                                  layout.board.top() + (n - 1) / 10 * layout.cell.height(), layout.cell.width(),
                                  layout.cell.height())
                               .toRect();
        // The cell's own ground, inside the dark gaps and rounded corners between cells.
        const double gap = 0.06 * std::min(layout.cell.width(), layout.cell.height());
        const int inset = int(std::ceil(gap / 2)) + 1;
        cell.adjust(inset, inset, -inset, -inset);
        const Ink ink = inkIn(image, cell, int(std::ceil(gap)) + 2);
        QVERIFY2(ink.top >= 0 && !ink.touchesEdge, qPrintable(QStringLiteral("cell %1").arg(n)));
        QVERIFY2(ink.bottom - ink.top + 1 >= digits * screen.height(),
                 qPrintable(QStringLiteral("%1: %2 px").arg(n).arg(ink.bottom - ink.top + 1)));
        const double ground = luminance(ink.ground);
        const double digit = std::abs(luminance(ink.darkest) - ground) > std::abs(luminance(ink.lightest) - ground)
            ? luminance(ink.darkest)
            : luminance(ink.lightest);
        smallestDigits = std::min(smallestDigits, ink.bottom - ink.top + 1);
        lowestContrast = std::min(lowestContrast, contrast(ground, digit));
        QVERIFY2(contrast(ground, digit) >= 4.5, qPrintable(QStringLiteral("cell %1: %2").arg(n).arg(contrast(ground, digit))));
        if (n == calls.back().number)
            continue; // marked apart: checked below
        (called[n] ? lit : dark) += ink.meanLuminance;
        (called[n] ? litCount : darkCount) += 1;
    }
    QCOMPARE(litCount, 11);
    qInfo("%dx%d: big number %.1f %%, board digits at least %.1f %% of the height, digits on their ground at least "
          "%.1f:1, lit cells against dark %.1f:1",
          screen.width(), screen.height(), 100.0 * (number.bottom - number.top + 1) / screen.height(),
          100.0 * smallestDigits / screen.height(), lowestContrast, contrast(lit / litCount, dark / darkCount));
    QVERIFY2(contrast(lit / litCount, dark / darkCount) >= 3, qPrintable(QString::number(contrast(lit / litCount, dark / darkCount))));
    // The number just called is lit apart from the earlier ones.
    const int newest = calls.back().number;
    const int earlier = calls.front().number;
    auto groundOf = [&](int n) {
        return image.pixel(QPointF(layout.board.left() + ((n - 1) % 10 + 0.5) * layout.cell.width(),
                                   layout.board.top() + ((n - 1) / 10 + 0.12) * layout.cell.height())
                               .toPoint());
    };
    QVERIFY(groundOf(newest) != groundOf(earlier));
}

void TestHall::numbersStandApartOnTheBoard_data()
{
    QTest::addColumn<QSize>("screen");
    for (const QSize size : {QSize(1024, 768), QSize(1280, 1024), QSize(1366, 768), QSize(1440, 900), QSize(1920, 1080),
                             QSize(1920, 1200), QSize(2560, 1080), QSize(3840, 2160), QSize(1080, 1920)})
        QTest::newRow(qPrintable(QStringLiteral("%1x%2").arg(size.width()).arg(size.height()))) << size;
}

// A row of dim numbers reads as numbers, not one long row of digits ("2324252627"): the
// room between two neighbours is at least twice that between a number's own digits. A
// number with a 1 is left out of the digits' room: the narrow 1 stands in a digit's full
// width whatever the spacing.
void TestHall::numbersStandApartOnTheBoard()
{
    QFETCH(QSize, screen);
    WindowRig rig;
    HallDisplay hall(rig.game(), [] {}, nullptr);
    const QImage image = drawn(hall, screen);
    const HallDisplay::Layout layout = HallDisplay::Layout::of(screen);
    const int inset = int(std::ceil(layout.cellGap / 2)) + 1;
    const int corner = int(std::ceil(layout.cellGap)) + 2;
    std::array<Columns, 91> columns;
    int widestInner = 0;
    for (int n = 1; n <= 90; ++n) {
        columns[n] = columnsIn(image, layout.cellOf(n).toRect().adjusted(inset, inset, -inset, -inset), corner);
        QVERIFY2(columns[n].first >= 0, qPrintable(QStringLiteral("no ink in cell %1").arg(n)));
        if (n >= 20 && n % 10 != 1)
            widestInner = std::max(widestInner, columns[n].innerGap);
    }
    int narrowestBetween = screen.width();
    for (int n = 1; n <= 90; ++n) {
        if (n % 10 != 0)
            narrowestBetween = std::min(narrowestBetween, columns[n + 1].first - columns[n].last - 1);
    }
    // Every dark cell is ringed: the ring, in the gap just outside its ground, stands off
    // the backdrop.
    const double backdrop = luminance(image.pixel(0, 0));
    const QRectF dark = layout.cellOf(90); // nothing is called in this game
    const QPoint ring = QPointF(dark.left() + 0.3 * layout.cellGap, dark.center().y()).toPoint();
    QVERIFY2(contrast(luminance(image.pixel(ring)), backdrop) >= 2,
             qPrintable(QString::number(contrast(luminance(image.pixel(ring)), backdrop))));
    qInfo("%dx%d: between two numbers at least %d px, between a number's digits at most %d px; cells ringed %.1f:1 "
          "on the backdrop",
          screen.width(), screen.height(), narrowestBetween, widestInner,
          contrast(luminance(image.pixel(ring)), backdrop));
    QVERIFY(widestInner > 0);
    QVERIFY2(narrowestBetween >= 2 * widestInner,
             qPrintable(QStringLiteral("%1 px between numbers, %2 px within").arg(narrowestBetween).arg(widestInner)));
}

// A call repaints the big number, the count, the last five and two cells, not the board.
void TestHall::aCallRepaintsOnlyWhatItChanged()
{
    WindowRig rig;
    rig.cmdStart()->click();
    rig.tick(5);
    HallDisplay hall(rig.game(), [] {}, nullptr);
    hall.resize(1920, 1080);
    hall.show();
    QVERIFY(QTest::qWaitForWindowExposed(&hall));
    struct PaintSpy : QObject
    {
        QRegion painted;
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Paint)
                painted |= static_cast<QPaintEvent *>(event)->region();
            return false;
        }
    } spy;
    QCoreApplication::processEvents();
    hall.installEventFilter(&spy);
    const int before = rig.game().calls().back().number;
    rig.tick();
    const int called = rig.game().calls().back().number;
    QTRY_VERIFY(!spy.painted.isEmpty());
    const HallDisplay::Layout layout = HallDisplay::Layout::of(hall.size());
    QVERIFY(spy.painted.contains(layout.cellOf(called).toAlignedRect().center()));
    QVERIFY(spy.painted.contains(layout.cellOf(before).toAlignedRect().center()));
    QVERIFY(spy.painted.contains(layout.number.toAlignedRect().center()));
    qint64 area = 0;
    for (const QRect &rect : spy.painted)
        area += qint64(rect.width()) * rect.height();
    const qint64 board = qint64(layout.board.width() * layout.board.height());
    QVERIFY2(area < qint64(hall.width()) * hall.height() - board / 2, qPrintable(QString::number(area)));
    int cellsPainted = 0;
    for (int n = 1; n <= 90; ++n)
        cellsPainted += spy.painted.contains(layout.cellOf(n).toAlignedRect().center());
    QCOMPARE(cellsPainted, 2);
}

void TestHall::placesAreScreensThatDoNotOverlap_data()
{
    QTest::addColumn<QList<QRect>>("screens");
    QTest::addColumn<QPoint>("host");
    QTest::addColumn<QList<QRect>>("places");
    QTest::addColumn<QRect>("free"); // empty: none
    const QRect laptop(0, 0, 1280, 1080);
    const QRect hall(1280, 0, 1920, 1080);
    const QRect side(3200, 0, 1280, 1024);
    const QRect spanning(0, 0, 3200, 1080);
    const QPoint onLaptop(640, 500);
    QTest::newRow("laptop and projector") << QList<QRect>{hall, laptop} << onLaptop << QList<QRect>{laptop, hall} << hall;
    QTest::newRow("a monitor spanning both") << QList<QRect>{spanning, laptop, hall} << onLaptop
                                             << QList<QRect>{laptop, hall} << hall;
    QTest::newRow("projector unplugged, the spanning one left") << QList<QRect>{spanning, laptop} << onLaptop
                                                                << QList<QRect>{laptop} << QRect();
    QTest::newRow("three: the largest free") << QList<QRect>{laptop, side, hall} << onLaptop
                                             << QList<QRect>{laptop, hall, side} << hall;
    QTest::newRow("three, projector unplugged") << QList<QRect>{laptop, side} << onLaptop << QList<QRect>{laptop, side}
                                                << side;
    QTest::newRow("host on the projector") << QList<QRect>{laptop, hall} << QPoint(2000, 500)
                                           << QList<QRect>{laptop, hall} << laptop;
    QTest::newRow("mirrors that overlap: one place, the larger")
        << QList<QRect>{laptop, QRect(640, 0, 1920, 1080)} << onLaptop << QList<QRect>{QRect(640, 0, 1920, 1080)}
        << QRect();
    QTest::newRow("single") << QList<QRect>{laptop} << onLaptop << QList<QRect>{laptop} << QRect();
    QTest::newRow("the same screen twice") << QList<QRect>{hall, laptop, hall} << onLaptop
                                           << QList<QRect>{laptop, hall} << hall;
}

// Where the display may go: a monitor spanning others is no place of its own, a mirrored
// pair is one place, and the free place is never the one holding the host's window.
void TestHall::placesAreScreensThatDoNotOverlap()
{
    QFETCH(QList<QRect>, screens);
    QFETCH(QPoint, host);
    QFETCH(QList<QRect>, places);
    QFETCH(QRect, free);
    QCOMPARE(HallPlacement::placesOf(screens), places);
    QCOMPARE(HallPlacement::freePlace(places, host).value_or(QRect()), free);
}

// On the one screen the display covers the host's window and takes the keys: a reader finds
// a window, not a filler, and its first words say it has the keys and how to get back.
void TestHall::aReaderHearsThatItHasTheKeysOnASingleScreen()
{
    QCOMPARE(QGuiApplication::screens().size(), 1);
    WindowRig rig;
    QAction *mnuHall = rig.action("mnuHall");
    mnuHall->trigger();
    auto *hall = rig.window.findChild<HallDisplay *>(QStringLiteral("hallDisplay"));
    QVERIFY(hall);
    QVERIFY(hall->sharesHostScreen());
    QVERIFY(QTest::qWaitForWindowExposed(hall));
    QCOMPARE(hall->geometry(), QGuiApplication::primaryScreen()->geometry());
    QAccessibleInterface *reader = QAccessible::queryAccessibleInterface(hall);
    QVERIFY(reader);
    QCOMPARE(reader->role(), QAccessible::Window);
    QVERIFY2(reader->text(QAccessible::Name).startsWith(QLatin1String("Hall Display, it has the keys: Escape returns")),
             qPrintable(reader->text(QAccessible::Name)));
    QTest::keyClick(hall, Qt::Key_Escape);
    QTRY_VERIFY(!rig.window.findChild<HallDisplay *>(QStringLiteral("hallDisplay")) || !hall->isVisible());
}

QTEST_MAIN(TestHall)
#include "tst_hall.moc"
