#pragma once

#include <QList>
#include <QObject>
#include <QRect>
#include <QTimer>

#include <optional>

class QScreen;
class QWidget;

// Keeps the hall's display full screen on the room's screen while screens come and go.
// Screens that overlap (mirrors, a monitor spanning the others) count as one place. The
// display goes to the largest place that is not the host's; with none, it shares the host's
// place only when it was put there (opened on a single screen, or by Shift+F11): a display
// that loses its own screen waits hidden rather than cover the host's window, even for a
// moment. After each placing the window manager's work is checked, from what the display
// server itself reports, and the display is placed again when it is not where it was asked
// to be, a few times at most.
class HallPlacement : public QObject
{
    Q_OBJECT

public:
    // display: the hall's window; owner: the host's, if any.
    HallPlacement(QWidget &display, QWidget *owner);

    // The places screens of these rectangles offer, left to right.
    static QList<QRect> placesOf(const QList<QRect> &screens);
    // The largest place that does not hold the point where the host's window is.
    static std::optional<QRect> freePlace(const QList<QRect> &places, QPoint host);

    // A free place, or the host's own when there is none.
    void place();
    // The next place after the current one, the host's own included.
    void placeNext();
    // Alone with the host on one screen: in front again, with the keys.
    void comeForward();
    bool sharesHostScreen() const { return shared; }

Q_SIGNALS:
    // It was put on a place: the host's (it has the keys) or one of its own.
    void placed(bool withHost);

private:
    void watch(QScreen *screen);
    void screensChanged();
    void settled();
    void go(const QRect &where, bool withHost);
    void put();
    void verify();
    void check();
    QPoint hostPoint() const;
    bool questionOver() const;
    QRect hostPlace(const QList<QRect> &places) const; // places not empty

    QWidget &display;
    QWidget *owner;
    QRect target;          // where it was asked to be; empty while it waits hidden
    bool shared = false;   // put on the host's place
    int attempts = 0;      // placings of this target so far
    int rightChecks = 0;   // checks in a row that found it right
    int overHost = 0;      // times the window manager put it over the host's screen
    qint64 placedAt = 0;
    QTimer settle;         // a projector's plug changes screens in bursts
    QTimer checker;
};
