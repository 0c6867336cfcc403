#include "screenkeeper.h"

#include "version.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {
const QString Service = QStringLiteral("org.freedesktop.ScreenSaver");
const QString Path = QStringLiteral("/org/freedesktop/ScreenSaver");
constexpr int AnswerMilliseconds = 5000;

QDBusMessage screenSaverCall(const QString &method)
{
    return QDBusMessage::createMethodCall(Service, Path, Service, method);
}
} // namespace

ScreenKeeper::~ScreenKeeper()
{
    release();
}

void ScreenKeeper::setHeld(bool held)
{
    wanted = held;
    if (held && !cookie && !asking)
        inhibit();
    else if (!held)
        release();
}

// Asked without waiting, so a slow or hung desktop service never delays a call.
void ScreenKeeper::inhibit()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        complain(QStringLiteral("there is no session bus"));
        return;
    }
    QDBusMessage call = screenSaverCall(QStringLiteral("Inhibit"));
    call << QLatin1String(version::DisplayName) << QStringLiteral("Calling bingo numbers");
    asking = true;
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, AnswerMilliseconds), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &ScreenKeeper::inhibited);
}

void ScreenKeeper::inhibited(QDBusPendingCallWatcher *call)
{
    call->deleteLater();
    asking = false;
    const QDBusPendingReply<uint> reply = *call;
    if (reply.isError()) {
        complain(reply.error().message());
        return;
    }
    cookie = reply.value();
    if (!wanted) // calling stopped while the desktop answered
        release();
}

void ScreenKeeper::release()
{
    if (!cookie)
        return;
    QDBusMessage call = screenSaverCall(QStringLiteral("UnInhibit"));
    call << *cookie;
    QDBusConnection::sessionBus().send(call);
    cookie.reset();
}

void ScreenKeeper::complain(const QString &why)
{
    if (complained)
        return;
    complained = true;
    qWarning("%s: cannot keep the screen awake while calling: %s", version::Command, qPrintable(why));
}
