#pragma once

#include <QLineEdit>
#include <QWidget>

#include <functional>

class QPushButton;

// The number box of the zoom window: gaining the focus copies the main window's number.
class ZoomNumberBox : public QLineEdit
{
    Q_OBJECT

public:
    using QLineEdit::QLineEdit;

Q_SIGNALS:
    void gotFocus();

protected:
    void focusInEvent(QFocusEvent *event) override;
};

// Repeats the last called number in 72-point type for the room. Closing it discards it.
class frmZoom : public QWidget
{
    Q_OBJECT

public:
    // calledText reads the main window's number display.
    frmZoom(std::function<QString()> calledText, QWidget *owner);

    void setNumber(const QString &text);
    QString number() const;

    void cmdExit_Click();
    void txtNumber_GotFocus();

private:
    std::function<QString()> calledText;
    ZoomNumberBox *txtNumber;
    QPushButton *cmdExit;
};
