#include "halldisplay.h"
#include "windowrig.h"

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
} // namespace

class TestHall : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readableFromTheBackOnEveryScreen_data();
    void readableFromTheBackOnEveryScreen();
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

QTEST_MAIN(TestHall)
#include "tst_hall.moc"
