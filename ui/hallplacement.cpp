#include "hallplacement.h"

#include "version.h"

#include <QApplication>
#include <QDateTime>
#include <QScreen>
#include <QWidget>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {
constexpr int SettleMs = 400;      // a plug's changes come within this of each other
constexpr int CheckEveryMs = 50;
constexpr int ManagerMs = 400;     // the window manager's time to act on a placing
constexpr int RightChecks = 6;     // right this many checks in a row: settled
constexpr int MostAttempts = 4;

qint64 now()
{
    return QDateTime::currentMSecsSinceEpoch();
}

qint64 area(const QRect &rect)
{
    return qint64(rect.width()) * rect.height();
}

struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};
template<typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

// What the display server says of the window: mapped, where, and whether the window
// manager holds it full screen. Nothing when the display server is not X11.
struct Seen
{
    bool mapped = false;
    QRect rect;
    bool fullScreen = false;
};

std::optional<Seen> seenByServer(const QWidget &window)
{
    // The off-screen platform offers an X11 interface too, without a connection behind it.
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || QGuiApplication::platformName() != QLatin1String("xcb") || !x11->connection()
        || !window.internalWinId())
        return std::nullopt;
    xcb_connection_t *x = x11->connection();
    const auto id = xcb_window_t(window.internalWinId());
    auto atom = [x](const char *name) {
        Reply<xcb_intern_atom_reply_t> reply(
            xcb_intern_atom_reply(x, xcb_intern_atom(x, 1, std::uint16_t(std::strlen(name)), name), nullptr));
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    };
    static const xcb_atom_t state = atom("_NET_WM_STATE");
    static const xcb_atom_t fullScreen = atom("_NET_WM_STATE_FULLSCREEN");
    const auto attributesAsked = xcb_get_window_attributes(x, id);
    const auto geometryAsked = xcb_get_geometry(x, id);
    const auto stateAsked = xcb_get_property(x, 0, id, state, XCB_ATOM_ATOM, 0, 32);
    Reply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(x, attributesAsked, nullptr));
    Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(x, geometryAsked, nullptr));
    Reply<xcb_get_property_reply_t> states(xcb_get_property_reply(x, stateAsked, nullptr));
    if (!attributes || !geometry)
        return std::nullopt;
    Seen seen;
    seen.mapped = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    Reply<xcb_translate_coordinates_reply_t> origin(
        xcb_translate_coordinates_reply(x, xcb_translate_coordinates(x, id, geometry->root, 0, 0), nullptr));
    if (!origin)
        return std::nullopt;
    const qreal ratio = window.devicePixelRatioF();
    seen.rect = QRect(QPoint(int(origin->dst_x / ratio), int(origin->dst_y / ratio)),
                      QSize(int(geometry->width / ratio), int(geometry->height / ratio)));
    if (states && states->format == 32) {
        const auto *atoms = static_cast<const xcb_atom_t *>(xcb_get_property_value(states.get()));
        const int count = xcb_get_property_value_length(states.get()) / 4;
        seen.fullScreen = std::find(atoms, atoms + count, fullScreen) != atoms + count;
    }
    return seen;
}
} // namespace

HallPlacement::HallPlacement(QWidget &display, QWidget *owner)
    : QObject(&display)
    , display(display)
    , owner(owner)
{
    settle.setSingleShot(true);
    settle.setInterval(SettleMs);
    connect(&settle, &QTimer::timeout, this, &HallPlacement::settled);
    checker.setInterval(CheckEveryMs);
    connect(&checker, &QTimer::timeout, this, &HallPlacement::check);
    for (QScreen *each : QGuiApplication::screens())
        watch(each);
    connect(qApp, &QGuiApplication::screenAdded, this, [this](QScreen *added) {
        watch(added);
        screensChanged();
    });
    connect(qApp, &QGuiApplication::screenRemoved, this, &HallPlacement::screensChanged);
}

QList<QRect> HallPlacement::placesOf(const QList<QRect> &screens)
{
    QList<QRect> kept;
    for (const QRect &rect : screens) {
        const bool spans = std::any_of(screens.begin(), screens.end(), [&rect](const QRect &other) {
            return other != rect && rect.contains(other);
        });
        if (!spans && !kept.contains(rect))
            kept << rect;
    }
    QList<QRect> places;
    for (const QRect &rect : kept) {
        auto same = std::find_if(places.begin(), places.end(), [&rect](const QRect &place) { return place.intersects(rect); });
        if (same == places.end())
            places << rect;
        else if (area(rect) > area(*same))
            *same = rect;
    }
    std::sort(places.begin(), places.end(), [](const QRect &a, const QRect &b) {
        return a.x() != b.x() ? a.x() < b.x() : a.y() < b.y();
    });
    return places;
}

std::optional<QRect> HallPlacement::freePlace(const QList<QRect> &places, QPoint host)
{
    std::optional<QRect> best;
    for (const QRect &place : places) {
        if (!place.contains(host) && (!best || area(place) > area(*best)))
            best = place;
    }
    return best;
}

namespace {
QList<QRect> screenRects()
{
    QList<QRect> rects;
    for (const QScreen *screen : QGuiApplication::screens())
        rects << screen->geometry();
    return rects;
}
} // namespace

QPoint HallPlacement::hostPoint() const
{
    return owner ? owner->frameGeometry().center() : QPoint(-1, -1);
}

// A question stands over the display: placing the display again would hide it, and the
// question with it, for a moment; the display stays until the question is answered.
bool HallPlacement::questionOver() const
{
    const QWidget *question = QApplication::activeModalWidget();
    return question && question->parentWidget() == &display;
}

QRect HallPlacement::hostPlace(const QList<QRect> &places) const
{
    const auto host = std::find_if(places.begin(), places.end(), [this](const QRect &p) { return p.contains(hostPoint()); });
    return host != places.end() ? *host : places.front();
}

void HallPlacement::place()
{
    const QList<QRect> places = placesOf(screenRects());
    if (places.isEmpty())
        return;
    if (const std::optional<QRect> free = freePlace(places, hostPoint())) {
        go(*free, false);
        return;
    }
    go(hostPlace(places), true);
}

void HallPlacement::placeNext()
{
    const QList<QRect> places = placesOf(screenRects());
    if (places.isEmpty())
        return;
    const auto next = (places.indexOf(target) + 1) % int(places.size());
    go(places[next], places[next].contains(hostPoint()));
}

void HallPlacement::watch(QScreen *screen)
{
    connect(screen, &QScreen::geometryChanged, this, &HallPlacement::screensChanged);
}

// At once: a display whose place has gone hides, rather than stay where the window manager
// moved it, over the host's screen. Once the screens have settled it is placed again.
void HallPlacement::screensChanged()
{
    overHost = 0;
    if (!target.isNull() && !shared) {
        const QList<QRect> places = placesOf(screenRects());
        if (!places.contains(target) || target.contains(hostPoint())) {
            checker.stop();
            target = QRect();
            display.hide();
        }
    }
    settle.start();
}

void HallPlacement::settled()
{
    if (questionOver()) {
        settle.start();
        return;
    }
    const QList<QRect> places = placesOf(screenRects());
    QRect where;
    bool withHost = false;
    if (const std::optional<QRect> free = freePlace(places, hostPoint())) {
        where = *free;
    } else if (shared && !places.isEmpty()) {
        where = hostPlace(places);
        withHost = true;
    } else {
        // Its own screen is gone and no other is free: it waits for one, out of the way.
        checker.stop();
        target = QRect();
        display.hide();
        return;
    }
    if (where == target && withHost == shared && display.isVisible())
        verify(); // the same place: the window manager may have moved it meanwhile
    else
        go(where, withHost);
}

void HallPlacement::go(const QRect &where, bool withHost)
{
    settle.stop(); // placed on the screens as they are now: a choice of the host's stands
    const bool hadKeys = shared && display.isActiveWindow();
    target = where;
    shared = withHost;
    attempts = 0;
    put();
    Q_EMIT placed(shared);
    if (shared)
        comeForward();
    else if (hadKeys && owner)
        owner->activateWindow(); // off the host's screen: the keys go back
}

// Shown afresh, full screen at its place, rather than moved while full screen: a window
// manager holds a full-screen window to its screen, and carries out a change of state and
// place in one turn only sometimes. A window mapped full screen at its place it honours.
void HallPlacement::put()
{
    ++attempts;
    display.hide();
    // On a screen of its own the host's window keeps the keys; on the host's screen the
    // display covers that window, so it takes them.
    display.setAttribute(Qt::WA_ShowWithoutActivating, !shared);
    if (display.testAttribute(Qt::WA_ShowWithoutActivating) != bool(display.windowFlags() & Qt::WindowDoesNotAcceptFocus))
        display.setWindowFlag(Qt::WindowDoesNotAcceptFocus, !shared);
    display.setWindowState(display.windowState() & ~Qt::WindowFullScreen);
    display.setGeometry(target);
    // Not showFullScreen(), which would also take the focus.
    display.setWindowState(display.windowState() | Qt::WindowFullScreen);
    display.show();
    placedAt = now();
    rightChecks = 0;
    checker.start();
}

void HallPlacement::verify()
{
    attempts = 0;
    rightChecks = 0;
    placedAt = now() - ManagerMs;
    checker.start();
}

void HallPlacement::check()
{
    if (target.isNull() || !display.isVisible()) {
        checker.stop();
        return;
    }
    const std::optional<Seen> seen = seenByServer(display);
    const bool right = seen ? seen->mapped && seen->rect == target && seen->fullScreen
                            : display.geometry() == target && display.isFullScreen();
    if (right) {
        if (++rightChecks >= RightChecks) {
            checker.stop();
            overHost = 0;
        }
        return;
    }
    rightChecks = 0;
    // A window manager that still saw the old screens may have put it over the host's: it
    // is not left there while the manager gets another chance.
    if (seen && seen->mapped && !shared && seen->rect.contains(hostPoint())) {
        checker.stop();
        display.hide();
        if (++overHost <= MostAttempts)
            settle.start(); // placed afresh once the manager has caught up
        else
            qWarning("%s: the window manager keeps putting the hall display over the host's screen; it waits "
                     "for the screens to change", version::Command);
        return;
    }
    if (now() - placedAt < ManagerMs)
        return;
    if (questionOver())
        return;
    if (attempts < MostAttempts) {
        put();
        if (shared)
            comeForward();
        return;
    }
    checker.stop();
    qWarning("%s: the window manager did not put the hall display full screen at %d,%d %dx%d", version::Command,
             target.x(), target.y(), target.width(), target.height());
}

void HallPlacement::comeForward()
{
    if (!shared || !display.isVisible())
        return;
    display.raise();
    display.activateWindow();
}
