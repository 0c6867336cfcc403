#pragma once

#include <QWidget>

// Tells screen readers what the program's own widgets are: the three secondary windows
// are dialogs named by their captions, the contact line is a link that can be pressed,
// and a CallNotice is a notification. Safe to call more than once.
void installAccessibility();

// An invisible notification that a screen reader speaks each time it is shown, wherever
// the focus is: the program's way to say a number was called.
class CallNotice : public QWidget
{
    Q_OBJECT

public:
    explicit CallNotice(QWidget *parent);
    void tell(const QString &text);
};
