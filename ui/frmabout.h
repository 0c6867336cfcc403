#pragma once

#include "seams.h"

#include <QLabel>
#include <QWidget>

class QFrame;
class QPushButton;

// A label that acts as a link, for the contact line: a left click, or Enter or Space
// while it has the focus, reports a click.
class ClickLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ClickLabel(const QString &text, QWidget *parent = nullptr);

    void click() { Q_EMIT clicked(); }

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};

// The information window: picture, version and a contact line that plays the greeting,
// whatever the sound switch says. Closing it discards it.
class frmAbout : public QWidget
{
    Q_OBJECT

public:
    frmAbout(Greeter &greeter, QWidget *owner);

    void cmdOK_Click();
    void lblMail_Click();

protected:
    void changeEvent(QEvent *event) override;

private:
    void colourContact();

    Greeter &greeter;
    QFrame *Shape1;
    QLabel *Image1;
    QLabel *Label1;
    ClickLabel *lblMail = nullptr;
    QPushButton *cmdOK;
};
