#pragma once

#include <QWidget>

class PhoneClaims;
class QLabel;
class QListWidget;
class QPushButton;

// Claims From Phones: the claims the players' phones sent, waiting for the host, oldest
// first, each with its ticket's code, the prize it says it completes and the call it was
// made at. F9 checks the oldest; Check (or Enter, or a double click) the one chosen. The list
// follows the claims one change at a time.
class frmPhoneClaims : public QWidget
{
    Q_OBJECT

public:
    frmPhoneClaims(PhoneClaims &claims, QWidget *owner);

    void cmdCheck_Click();

Q_SIGNALS:
    // The host wants this claim checked: its ticket as of its call.
    void check(const QString &code, int call);

private:
    void added(int at);
    void removed(int at);

    PhoneClaims &claims;
    QLabel *lblHelp;
    QListWidget *lstClaims;
    QPushButton *cmdCheck;
    QPushButton *cmdClose;
};
