#pragma once

#include <QWidget>

class PhoneSharing;
class QCheckBox;
class QLabel;
class QPushButton;
class ReaderNews;

// Share With Phones: the host turns sharing on and off here; while on, it shows where the
// players' phones find the page, as an address and as a QR code, and how many follow (both
// reached with Tab). A reader hears sharing start and stop; Escape closes it.
class frmPhones : public QWidget
{
    Q_OBJECT

public:
    frmPhones(PhoneSharing &sharing, QWidget *owner);

    void chkShare_Toggled(bool on);

private:
    void follow();
    void showPhones(int phones);

    PhoneSharing &sharing;
    QCheckBox *chkShare;
    QLabel *lblAddress;
    QLabel *lblOthers;
    QLabel *imgCode;
    QLabel *lblPhones;
    QLabel *lblHelp;
    QPushButton *cmdClose;
    ReaderNews *readerNews;
};
