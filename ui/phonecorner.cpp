#include "phonecorner.h"

#include "halldisplay.h"
#include "look.h"
#include "phoneclaims.h"
#include "phonesharing.h"
#include "qrcode.h"

#include <QEvent>
#include <QPainter>

namespace {
constexpr int QuietModules = 4; // the white margin a reader needs around a code
constexpr qreal CornerShare = 0.24; // of the display's shorter side

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

void PhoneCorner::follow()
{
    const QStringList addresses = sharing.addresses();
    address = addresses.isEmpty() ? QString() : addresses.first();
    const int side = int(CornerShare * std::min(hall->width(), hall->height()));
    const bool shown = sharing.on() && !address.isEmpty();
    setGeometry(0, 0, side, side + side / 8);
    setVisible(shown);
    hall->reserveCorner(shown ? height() : 0);
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
    QPainter painter(this);
    const int side = width();
    const int modules = code.size() + 2 * QuietModules;
    const int module = std::max(1, side / modules);
    const QImage image = qrImage(address.toLatin1(), module);
    painter.fillRect(rect(), look::hall::Backdrop);
    painter.drawImage(QPoint((side - image.width()) / 2, 0), image);
    // The address under it, for a phone without a camera app: as large as fits.
    const QString shown = QString(address).remove(QStringLiteral("http://")).remove(QLatin1Char('/'));
    QFont font = look::arialBold(12);
    int pixels = std::max(8, (height() - image.height()) * 7 / 10);
    font.setPixelSize(pixels);
    while (pixels > 8 && QFontMetrics(font).horizontalAdvance(shown) > side) {
        font.setPixelSize(--pixels);
    }
    painter.setFont(font);
    painter.setPen(look::hall::Words);
    painter.drawText(QRectF(0, image.height(), side, height() - image.height()), Qt::AlignCenter, shown);
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
