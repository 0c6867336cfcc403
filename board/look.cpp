#include "look.h"

#include <QFontDatabase>
#include <QStringList>

namespace {
// The first of the faces that is installed, looked up once: a font named after a face
// the system lacks would start a fallback search for every size and weight.
QString installed(const QStringList &faces)
{
    for (const QString &face : faces) {
        if (QFontDatabase::hasFamily(face))
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
