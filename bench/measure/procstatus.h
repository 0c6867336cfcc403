#pragma once

#include <QByteArray>
#include <QFile>

// A figure of this process from /proc/self/status in kB ("VmRSS", "VmHWM"), or -1.
inline long procStatusKb(const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = field + ':';
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').first().toLong();
    return -1;
}
