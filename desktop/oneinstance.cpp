#include "oneinstance.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QWindow>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {
const QString Interface = QStringLiteral("org.freedesktop.Application");

// org.freedesktop.Application as the desktop's launchers call it.
class ApplicationAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    explicit ApplicationAdaptor(OneInstance *owner)
        : QDBusAbstractAdaptor(owner)
        , owner(owner)
    {
    }

public Q_SLOTS:
    void Activate(const QVariantMap &platformData) { owner->bringToFront(platformData); }
    void Open(const QStringList &, const QVariantMap &platformData) { owner->bringToFront(platformData); }
    void ActivateAction(const QString &, const QVariantList &, const QVariantMap &platformData)
    {
        owner->bringToFront(platformData);
    }

private:
    OneInstance *owner;
};

// The application id "org.example.App" lives at "/org/example/App".
QString objectPath(const QString &applicationId)
{
    return QLatin1Char('/') + QString(applicationId).replace(QLatin1Char('.'), QLatin1Char('/'));
}
// The launcher's startup notification on X11: the window carries its id, so the window
// manager lets the activation through its focus-stealing rules, and the launcher's busy
// cursor ends ("remove" in the startup-notification protocol).
void endStartup(QWindow *window, const QByteArray &id)
{
    auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) // the off-screen platform has the interface, not the connection
        return;
    xcb_connection_t *x = x11->connection();
    auto atom = [x](const char *name) {
        xcb_intern_atom_reply_t *reply =
            xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, std::uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t found = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return found;
    };
    const auto target = xcb_window_t(window->winId());
    xcb_change_property(x, XCB_PROP_MODE_REPLACE, target, atom("_NET_STARTUP_ID"), atom("UTF8_STRING"), 8,
                        std::uint32_t(id.size()), id.constData());
    QByteArray quoted = id;
    quoted.replace('\\', "\\\\").replace('"', "\\\"");
    const QByteArray message = "remove: ID=\"" + quoted + "\"" + '\0';
    const xcb_atom_t begin = atom("_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = atom("_NET_STARTUP_INFO");
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
    for (qsizetype at = 0; at < message.size(); at += 20) {
        xcb_client_message_event_t piece{};
        piece.response_type = XCB_CLIENT_MESSAGE;
        piece.format = 8;
        piece.window = target;
        piece.type = at == 0 ? begin : more;
        std::memcpy(piece.data.data8, message.constData() + at, std::size_t(std::min<qsizetype>(20, message.size() - at)));
        xcb_send_event(x, 0, root, XCB_EVENT_MASK_PROPERTY_CHANGE, reinterpret_cast<const char *>(&piece));
    }
    xcb_flush(x);
}
} // namespace

OneInstance::OneInstance(const QString &applicationId)
    : name(applicationId)
    , path(objectPath(applicationId))
    , claim([this] {
        // Connecting to the bus costs about as much as the rest of the start-up; done
        // beside it, it costs nothing.
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected())
            return;
        const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = bus.interface()->registerService(
            name, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
        second = reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceNotRegistered;
    })
{
}

OneInstance::~OneInstance()
{
    if (claim.joinable())
        claim.join();
}

bool OneInstance::isSecond()
{
    if (claim.joinable())
        claim.join();
    return second;
}

namespace {
// Startup ids and activation tokens are a few dozen bytes; anything longer than this is not
// one, and is not written into the window's properties.
constexpr int LongestId = 512;
} // namespace

bool OneInstance::activateFirst()
{
    QVariantMap platformData;
    // The launcher's startup notification travels to the caller that shows the window.
    const QByteArray startup = qgetenv("DESKTOP_STARTUP_ID");
    if (!startup.isEmpty() && startup.size() <= LongestId)
        platformData.insert(QStringLiteral("desktop-startup-id"), QString::fromUtf8(startup));
    const QByteArray token = qgetenv("XDG_ACTIVATION_TOKEN");
    if (!token.isEmpty() && token.size() <= LongestId)
        platformData.insert(QStringLiteral("activation-token"), QString::fromUtf8(token));
    QDBusMessage call = QDBusMessage::createMethodCall(name, path, Interface, QStringLiteral("Activate"));
    call << platformData;
    // A caller that answers does so at once; one that does not within a second is stopped
    // or hung, and the host is asked rather than kept waiting.
    return QDBusConnection::sessionBus().call(call, QDBus::Block, AnswerMs).type() == QDBusMessage::ReplyMessage;
}

void OneInstance::serve(QWindow *shown)
{
    window = shown;
    new ApplicationAdaptor(this);
    QDBusConnection::sessionBus().registerObject(path, this);
}

void OneInstance::release()
{
    if (claim.joinable())
        claim.join();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || second)
        return;
    window = nullptr;
    bus.unregisterObject(path);
    bus.interface()->unregisterService(name);
}

void OneInstance::bringToFront(const QVariantMap &platformData)
{
    if (!window)
        return;
    // What arrives on the bus is outside input: an id longer than any real one is ignored.
    const QString startup = platformData.value(QStringLiteral("desktop-startup-id")).toString();
    if (!startup.isEmpty() && startup.size() <= LongestId)
        endStartup(window, startup.toUtf8());
    const QString token = platformData.value(QStringLiteral("activation-token")).toString();
    if (!token.isEmpty() && token.size() <= LongestId)
        qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
    window->setWindowStates(window->windowStates() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->requestActivate();
}

#include "oneinstance.moc"
