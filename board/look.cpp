#include "look.h"

#include <QStringList>

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
