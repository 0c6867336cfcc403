#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QWidget>

class HallDisplay;
class PhoneSharing;

// While the game is shared with phones, a corner of the hall's display holds the page's
// QR code and address, so players scan it from their seats; it is gone when sharing stops.
class PhoneCorner : public QWidget
{
    Q_OBJECT

public:
    // Adds the corner to a hall display; it lives and goes with it.
    static void attach(HallDisplay *hall, PhoneSharing &sharing);

    // The page's colours as CSS custom properties: the hall display's own.
    static QByteArray palette();
    // A QR code of the text, each module `module` pixels, with its quiet zone, dark on white.
    static QImage qrImage(const QByteArray &text, int module);

    // Where the corner goes on a screen: the code (its white square, quiet zone included)
    // kept inside what a TV that crops 5 % of every edge still shows, yet no further in
    // than that, and the address under it; `reach` is how far right and down it goes.
    struct Placement
    {
        QRect code;
        QRect address;
        int module = 1;
        QSize reach;
    };
    static Placement placement(QSize screen, int modules);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    PhoneCorner(HallDisplay *hall, PhoneSharing &sharing);
    void follow();

    HallDisplay *hall;
    PhoneSharing &sharing;
    QString address;
};
