#pragma once

#include <QWidget>

class PhoneClaims;
class QLabel;
class QListWidget;
class QPushButton;

// Claims From Phones: the claims the players' phones sent, waiting for the host, oldest
// first, each with its ticket's code, the prize it says it completes and the call it was
// made at. F9 checks the oldest; Check (or Enter, or a double click) the one chosen. The list
// follows the claims one change at a time. It comes up without the keys; F10 gives it them.
class frmPhoneClaims : public QWidget
{
    Q_OBJECT

public:
    frmPhoneClaims(PhoneClaims &claims, QWidget *owner);

    void cmdCheck_Click();
    // F10: the list with the keys, on the newest claim, which a reader then says.
    void bringForward();

Q_SIGNALS:
    // The host wants this claim checked: its ticket as of its call.
    void check(const QString &code, int call);

protected:
    void changeEvent(QEvent *event) override;

private:
    void added(int at);
    void removed(int at);

    PhoneClaims &claims;
    QLabel *lblHelp;
    QListWidget *lstClaims;
    QPushButton *cmdCheck;
    QPushButton *cmdClose;
};
