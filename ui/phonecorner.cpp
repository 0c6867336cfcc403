#include "phonecorner.h"

#include "halldisplay.h"
#include "look.h"
#include "phoneclaims.h"
#include "phonesharing.h"
#include "qrcode.h"

#include <QEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
constexpr int QuietModules = 4; // the white margin a reader needs around a code
constexpr qreal CodeShare = 0.22; // the code's white square, of the display's shorter side
constexpr qreal Overscan = 0.05;  // what a TV may crop from each edge
constexpr int KeptQuiet = 2;      // modules of white still shown when it does
constexpr qreal Margin = 0.025;   // the display's own margin, of its shorter side

QByteArray cssColour(const char *name, const QColor &colour)
{
    return QByteArray("--") + name + ':' + colour.name().toLatin1() + ';';
}
} // namespace

void PhoneCorner::attach(HallDisplay *hall, PhoneSharing &sharing)
{
    new PhoneCorner(hall, sharing);
    // While claims from phones wait, the room sees that the host has one.
    PhoneClaims &claims = sharing.claims();
    auto notice = [hall, &claims] {
        hall->setNotice(claims.waiting().empty() ? QString() : HallDisplay::tr("Claim from a phone"));
    };
    QObject::connect(&claims, &PhoneClaims::changed, hall, notice);
    notice();
}

PhoneCorner::PhoneCorner(HallDisplay *hall, PhoneSharing &sharing)
    : QWidget(hall)
    , hall(hall)
    , sharing(sharing)
{
    setObjectName(QStringLiteral("phoneCorner"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hall->installEventFilter(this);
    connect(&sharing, &PhoneSharing::sharingChanged, this, &PhoneCorner::follow);
    follow();
}

PhoneCorner::Placement PhoneCorner::placement(QSize screen, int modules)
{
    Placement p;
    const int shorter = std::min(screen.width(), screen.height());
    const int margin = int(std::ceil(Margin * shorter));
    p.module = std::max(1, int(CodeShare * shorter) / (modules + 2 * QuietModules));
    const int side = (modules + 2 * QuietModules) * p.module;
    // The dark modules start inside the cropped edge, with white still round them; the
    // white square never nearer the screen's edge than the display's margin.
    const QPoint safe(int(std::ceil(Overscan * screen.width())), int(std::ceil(Overscan * screen.height())));
    const int back = (QuietModules - KeptQuiet) * p.module;
    p.code = QRect(std::max(margin, safe.x() - back), std::max(margin, safe.y() - back), side, side);
    // The address under the code, inside the cropped edge too, as wide as the code reaches.
    const int left = std::max(safe.x(), p.code.left());
    p.address = QRect(left, p.code.bottom() + 1, p.code.right() + 1 - left, std::max(10, side / 8));
    p.reach = QSize(p.code.right() + 1, p.address.bottom() + 1);
    return p;
}

void PhoneCorner::follow()
{
    const QStringList addresses = sharing.addresses();
    address = addresses.isEmpty() ? QString() : addresses.first();
    const bool shown = sharing.on() && !address.isEmpty();
    const Placement p = placement(hall->size(), std::max(1, QrCode::of(address.toLatin1()).size()));
    setGeometry(QRect(QPoint(0, 0), p.reach));
    setVisible(shown);
    hall->reserveCorner(shown ? p.reach : QSize());
    raise();
    update();
}

bool PhoneCorner::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        follow();
    return QWidget::eventFilter(watched, event);
}

void PhoneCorner::paintEvent(QPaintEvent *)
{
    const QrCode code = QrCode::of(address.toLatin1());
    if (code.empty())
        return;
    const Placement p = placement(hall->size(), code.size());
    QPainter painter(this);
    painter.fillRect(rect(), look::hall::Backdrop);
    painter.drawImage(p.code.topLeft(), qrImage(address.toLatin1(), p.module));
    // The address under it, for a phone without a camera app: as large as fits.
    const QString shown = QString(address).remove(QStringLiteral("http://")).remove(QLatin1Char('/'));
    QFont font = look::arialBold(12);
    int pixels = std::max(8, p.address.height() * 7 / 10);
    font.setPixelSize(pixels);
    while (pixels > 8 && QFontMetrics(font).horizontalAdvance(shown) > p.address.width()) {
        font.setPixelSize(--pixels);
    }
    painter.setFont(font);
    painter.setPen(look::hall::Words);
    painter.drawText(p.address, Qt::AlignLeft | Qt::AlignVCenter, shown);
}

QByteArray PhoneCorner::palette()
{
    using namespace look::hall;
    return ":root{" + cssColour("backdrop", Backdrop) + cssColour("dark-cell", DarkCell)
        + cssColour("dim-digit", DimDigit) + cssColour("lit-cell", LitCell) + cssColour("lit-digit", LitDigit)
        + cssColour("just-called", JustCalled) + cssColour("just-called-digit", JustCalledDigit)
        + cssColour("words", Words) + "}\n";
}

QImage PhoneCorner::qrImage(const QByteArray &text, int module)
{
    const QrCode code = QrCode::of(text);
    const int side = (code.size() + 2 * QuietModules) * module;
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (int y = 0; y < code.size(); ++y) {
        for (int x = 0; x < code.size(); ++x) {
            if (code.dark(x, y))
                painter.fillRect((x + QuietModules) * module, (y + QuietModules) * module, module, module, Qt::black);
        }
    }
    return image;
}
