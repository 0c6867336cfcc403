#pragma once

#include <QTimer>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class RelaySharing;

// Share Beyond the Hall: the broker the caller publishes to and the one the players' browsers
// reach, the state of the connection, the players' link with its QR code, and how many
// follow where the broker says. The settings can be changed while sharing is off.
class frmRelay : public QWidget
{
    Q_OBJECT

public:
    frmRelay(RelaySharing &relay, QWidget *owner);

    void chkRelay_Toggled(bool on);
    void cmdCopy_Click();
    void cmdExport_Click();

private:
    void follow();

    RelaySharing &relay;
    QLineEdit *txtHost;
    QSpinBox *txtPort;
    QCheckBox *chkTls;
    QLineEdit *txtUser;
    QLineEdit *txtPassword;
    QLineEdit *txtPlayers;
    QLineEdit *txtPage;
    QCheckBox *chkRelay;
    QLabel *lblState;
    QLineEdit *lblLink;
    QLabel *imgCode;
    QLabel *lblPlayers;
    QLabel *lblHelp;
    QPushButton *cmdCopy;
    QPushButton *cmdExport;
    QPushButton *cmdClose;
    QTimer ticking; // the seconds to the next attempt
    QString problem; // why sharing did not start
};
