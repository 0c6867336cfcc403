#include "frmrelay.h"

#include "ownwindow.h"
#include "phonecorner.h"
#include "relaysharing.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
constexpr int ModulePixels = 4;
}

frmRelay::frmRelay(RelaySharing &relay, QWidget *owner)
    : QWidget(owner, Qt::Window)
    , relay(relay)
{
    dressWindow(*this, QStringLiteral("frmRelay"), tr("Share Beyond the Hall"), QStringLiteral("notepad"));

    auto line = [this](const QString &name, const QString &hint) {
        auto *edit = new QLineEdit(this);
        edit->setObjectName(name);
        edit->setPlaceholderText(hint);
        edit->setMaxLength(RelaySettings::MaxText);
        return edit;
    };
    txtHost = line(QStringLiteral("txtHost"), tr("bingo.example.org"));
    txtPort = new QSpinBox(this);
    txtPort->setObjectName(QStringLiteral("txtPort"));
    txtPort->setRange(1, 65535);
    chkTls = new QCheckBox(tr("&TLS"), this);
    chkTls->setObjectName(QStringLiteral("chkTls"));
    txtUser = line(QStringLiteral("txtUser"), tr("optional"));
    txtPassword = line(QStringLiteral("txtPassword"), tr("optional"));
    txtPassword->setEchoMode(QLineEdit::Password);
    txtPlayers = line(QStringLiteral("txtPlayers"), tr("the same broker's WebSocket, port %1").arg(RelaySettings::PlayersPort));
    txtPage = line(QStringLiteral("txtPage"), tr("the page the broker serves"));
    chkRelay = new QCheckBox(tr("S&hare the game beyond the hall"), this);
    chkRelay->setObjectName(QStringLiteral("chkRelay"));
    lblState = new QLabel(this);
    lblState->setObjectName(QStringLiteral("lblState"));
    lblState->setWordWrap(true);
    // A link is one long word: a read-only line shows it whole by scrolling, and selects it.
    lblLink = new QLineEdit(this);
    lblLink->setObjectName(QStringLiteral("lblLink"));
    lblLink->setReadOnly(true);
    lblLink->setAccessibleName(tr("The players' link"));
    imgCode = new QLabel(this);
    imgCode->setObjectName(QStringLiteral("imgCode"));
    imgCode->setAlignment(Qt::AlignCenter);
    lblPlayers = new QLabel(this);
    lblPlayers->setObjectName(QStringLiteral("lblPlayers"));
    lblHelp = new QLabel(this);
    lblHelp->setObjectName(QStringLiteral("lblHelp"));
    lblHelp->setWordWrap(true);
    cmdCopy = new QPushButton(tr("&Copy Link"), this);
    cmdCopy->setObjectName(QStringLiteral("cmdCopy"));
    cmdExport = new QPushButton(tr("&Export Page..."), this);
    cmdExport->setObjectName(QStringLiteral("cmdExport"));
    cmdClose = new QPushButton(tr("C&lose"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));

    auto *hostRow = new QHBoxLayout;
    hostRow->addWidget(txtHost, 1);
    hostRow->addWidget(txtPort);
    hostRow->addWidget(chkTls);
    auto *form = new QFormLayout;
    auto *lblHost = new QLabel(tr("&Broker (for the caller):"), this);
    lblHost->setBuddy(txtHost);
    form->addRow(lblHost, hostRow);
    form->addRow(tr("&User name:"), txtUser);
    form->addRow(tr("Pass&word:"), txtPassword);
    form->addRow(tr("&Players' broker:"), txtPlayers);
    form->addRow(tr("P&age address:"), txtPage);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdCopy);
    buttons->addWidget(cmdExport);
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(chkRelay);
    layout->addWidget(lblState);
    layout->addWidget(lblLink);
    layout->addWidget(imgCode);
    layout->addWidget(lblPlayers, 0, Qt::AlignHCenter);
    layout->addWidget(lblHelp);
    layout->addLayout(buttons);
    setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 60);

    const RelaySettings &kept = relay.settings();
    txtHost->setText(kept.host);
    txtPort->setValue(kept.port);
    chkTls->setChecked(kept.tls);
    txtUser->setText(kept.user);
    txtPassword->setText(kept.password);
    txtPlayers->setText(kept.players);
    txtPage->setText(kept.page);

    ticking.setInterval(1000);
    connect(&ticking, &QTimer::timeout, this, &frmRelay::follow);
    connect(chkRelay, &QCheckBox::toggled, this, &frmRelay::chkRelay_Toggled);
    connect(cmdCopy, &QPushButton::clicked, this, &frmRelay::cmdCopy_Click);
    connect(cmdExport, &QPushButton::clicked, this, &frmRelay::cmdExport_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    closeOnEscape(*this);
    connect(&relay, &RelaySharing::changed, this, &frmRelay::follow);
    follow();
    (kept.host.isEmpty() ? static_cast<QWidget *>(txtHost) : chkRelay)->setFocus();
}

void frmRelay::chkRelay_Toggled(bool on)
{
    if (on == relay.on())
        return;
    QString why;
    problem.clear();
    if (on) {
        RelaySettings wanted;
        wanted.host = txtHost->text().trimmed();
        wanted.port = quint16(txtPort->value());
        wanted.tls = chkTls->isChecked();
        wanted.user = txtUser->text();
        wanted.password = txtPassword->text();
        wanted.players = txtPlayers->text().trimmed();
        wanted.page = txtPage->text().trimmed();
        if (!wanted.usable(why) || !relay.setSettings(wanted, why) || !relay.setOn(true, why)) {
            problem = why;
            follow();
            return;
        }
    } else {
        relay.setOn(false, why);
    }
    follow();
}

void frmRelay::cmdCopy_Click()
{
    QString why;
    const QString link = relay.link({}, why);
    if (link.isEmpty()) {
        lblHelp->setText(why);
        return;
    }
    QApplication::clipboard()->setText(link);
    lblHelp->setText(tr("The link is copied: paste it into the players' chat group."));
}

void frmRelay::cmdExport_Click()
{
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Export the Players' Page To"));
    if (folder.isEmpty())
        return;
    QString why;
    if (relay.exportPage(folder, why))
        lblHelp->setText(tr("The page is in %1: put it where the page address points, or in the broker's "
                            "http_dir.")
                             .arg(folder));
    else
        lblHelp->setText(tr("The page could not be written: %1").arg(why));
}

void frmRelay::follow()
{
    const bool on = relay.on();
    {
        const QSignalBlocker quiet(chkRelay);
        chkRelay->setChecked(on);
    }
    for (QWidget *field : {static_cast<QWidget *>(txtHost), static_cast<QWidget *>(txtPort),
                           static_cast<QWidget *>(chkTls), static_cast<QWidget *>(txtUser),
                           static_cast<QWidget *>(txtPassword), static_cast<QWidget *>(txtPlayers),
                           static_cast<QWidget *>(txtPage)})
        field->setEnabled(!on);
    lblState->setText(on ? relay.stateWords() : problem);
    lblState->setAccessibleName(lblState->text());
    QString why;
    const QString link = on ? relay.link({}, why) : QString();
    lblLink->setVisible(on);
    imgCode->setVisible(on && !link.isEmpty());
    cmdCopy->setEnabled(on);
    if (on && lblLink->text() != link) {
        lblLink->setText(link);
        lblLink->setCursorPosition(0);
        imgCode->setPixmap(QPixmap::fromImage(PhoneCorner::qrImage(link.toUtf8(), ModulePixels)));
        imgCode->setAccessibleName(tr("QR code of the players' link"));
    }
    lblPlayers->setVisible(on);
    const int players = relay.players();
    lblPlayers->setText(players < 0    ? tr("The broker does not say how many players follow")
                        : players == 1 ? tr("1 player's page following")
                                       : tr("%1 players' pages following").arg(players));
    if (relay.turnedAway() > 0)
        lblPlayers->setText(lblPlayers->text() + tr("; %1 claims turned away (too many at once)").arg(relay.turnedAway()));
    if (!on)
        lblHelp->setText(tr("Players anywhere follow the game through a message broker (MQTT): the caller "
                            "publishes each call there, signed, and the players' pages read it over the internet. "
                            "Export the page to the broker's http_dir, then share the link."));
    if (on && relay.state().link == Relay::Link::Waiting)
        ticking.start();
    else
        ticking.stop();
    adjustSize();
}
