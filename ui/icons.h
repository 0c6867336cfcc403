#pragma once

#include <QIcon>
#include <QString>

// One of the program's icons from its resources, at 16 and 32 pixels.
inline QIcon programIcon(const QString &name)
{
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/%1-16.png").arg(name), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icons/%1-32.png").arg(name), QSize(32, 32));
    return icon;
}
