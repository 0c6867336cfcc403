#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QSlider;

// Sets the call interval in whole seconds, 1 to 5, starting at 2 each time it is opened.
// OK applies the chosen seconds and closes; Cancel only closes. Closing discards it.
class frmSetTime : public QWidget
{
    Q_OBJECT

public:
    explicit frmSetTime(QWidget *owner);

    void cmdOK_Click();
    void cmdCancel_Click();
    void quitstime();

Q_SIGNALS:
    void intervalChosen(int seconds);

private:
    QLabel *lblDisp;
    QLabel *Label1;
    QSlider *sldTime;
    QLabel *Label2;
    QPushButton *cmdOK;
    QPushButton *cmdCancel;
};
