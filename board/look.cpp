#include "look.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

#include <fontconfig/fontconfig.h>

namespace {
// Whether fontconfig holds a face of this family, by its plain list of fonts: asking Qt
// for a missing family runs fontconfig's alias rules, and listing Qt's families loads
// every one of them, each costing more than the rest of the start-up.
bool isInstalled(const QString &family)
{
    FcPattern *pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>(family.toUtf8().constData()));
    FcObjectSet *fields = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet *fonts = FcFontList(nullptr, pattern, fields);
    const bool found = fonts && fonts->nfont > 0;
    if (fonts)
        FcFontSetDestroy(fonts);
    FcObjectSetDestroy(fields);
    FcPatternDestroy(pattern);
    return found;
}

// The first of the faces that is installed, looked up once: a font named after a face
// the system lacks would start a fallback search for every size and weight.
QString installed(const QStringList &faces)
{
    for (const QString &face : faces) {
        if (isInstalled(face))
            return face;
    }
    return faces.constFirst();
}

QFont font(const QString &family, qreal points, bool bold)
{
    QFont f(family);
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}
} // namespace

namespace {
// Relative luminance and contrast ratio as the web's accessibility guidelines define them.
double luminance(const QColor &colour)
{
    auto channel = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) + 0.0722 * channel(colour.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}
} // namespace

QColor look::readable(const QColor &wanted, const QColor &ground, const QColor &desktopText)
{
    return contrast(wanted, ground) >= 4.5 ? wanted : desktopText;
}

QFont look::windowFont()
{
    static const QString family = installed({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                                             QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    return font(family, 8.25, false);
}

QFont look::arialBold(qreal points)
{
    static const QString family = installed({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                                             QStringLiteral("Arimo")});
    return font(family, points, true);
}
