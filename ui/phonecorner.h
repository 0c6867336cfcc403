#pragma once

#include <QByteArray>
#include <QImage>
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
