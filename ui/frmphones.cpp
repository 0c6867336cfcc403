#include "frmphones.h"

#include "accessibility.h"
#include "ownwindow.h"
#include "phonecorner.h"
#include "phonesharing.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int ModulePixels = 6;
}

frmPhones::frmPhones(PhoneSharing &sharing, QWidget *owner)
    : QWidget(owner, Qt::Window)
    , sharing(sharing)
{
    dressWindow(*this, QStringLiteral("frmPhones"), tr("Share With Phones"), QStringLiteral("notepad"));

    chkShare = new QCheckBox(tr("S&hare the game with phones on this network"), this);
    chkShare->setObjectName(QStringLiteral("chkShare"));
    lblAddress = new QLabel(this);
    lblAddress->setObjectName(QStringLiteral("lblAddress"));
    lblAddress->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QFont big = lblAddress->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    lblAddress->setFont(big);
    lblOthers = new QLabel(this);
    lblOthers->setObjectName(QStringLiteral("lblOthers"));
    lblOthers->setTextInteractionFlags(Qt::TextSelectableByMouse);
    imgCode = new QLabel(this);
    imgCode->setObjectName(QStringLiteral("imgCode"));
    imgCode->setAlignment(Qt::AlignCenter);
    lblPhones = new QLabel(this);
    lblPhones->setObjectName(QStringLiteral("lblPhones"));
    // The address and the phones following are reached with Tab, so a reader can read them.
    lblAddress->setFocusPolicy(Qt::StrongFocus);
    lblPhones->setTextInteractionFlags(Qt::TextSelectableByKeyboard);
    lblPhones->setFocusPolicy(Qt::StrongFocus);
    lblHelp = new QLabel(this);
    lblHelp->setObjectName(QStringLiteral("lblHelp"));
    lblHelp->setWordWrap(true);
    cmdClose = new QPushButton(tr("C&lose"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    readerNews = ReaderNews::forWindow(*this);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(chkShare);
    layout->addWidget(lblAddress, 0, Qt::AlignHCenter);
    layout->addWidget(imgCode);
    layout->addWidget(lblOthers, 0, Qt::AlignHCenter);
    layout->addWidget(lblPhones, 0, Qt::AlignHCenter);
    layout->addWidget(lblHelp);
    layout->addLayout(buttons);
    setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 52);

    connect(chkShare, &QCheckBox::toggled, this, &frmPhones::chkShare_Toggled);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    auto *escape = new QAction(this);
    escape->setShortcut(Qt::Key_Escape);
    escape->setShortcutContext(Qt::WindowShortcut);
    addAction(escape);
    connect(escape, &QAction::triggered, this, &QWidget::close);
    connect(&sharing, &PhoneSharing::sharingChanged, this, &frmPhones::follow);
    connect(&sharing, &PhoneSharing::phonesChanged, this, &frmPhones::showPhones);
    follow();
    chkShare->setFocus();
}

void frmPhones::chkShare_Toggled(bool on)
{
    if (on == sharing.on())
        return;
    if (sharing.setOn(on)) {
        // The box says only "checked": what it did is said after it.
        const QStringList addresses = sharing.addresses();
        readerNews->tell(!on                 ? tr("Sharing stopped, every phone dropped")
                         : addresses.isEmpty() ? tr("Sharing, but this computer is on no network")
                                               : tr("Sharing the game at %1").arg(addresses.first()));
        return;
    }
    // Not shared after all: the box says so, and the words say why.
    follow();
    if (sharing.unavailable())
        lblHelp->setText(tr("The phones' server is missing from this installation, so the game cannot be shared. "
                            "Reinstalling the caller puts it back."));
    else
        lblHelp->setText(tr("No port from %1 to %2 is free on this computer: close the program that holds them, "
                            "and try again.")
                             .arg(PhoneSharing::FirstPort)
                             .arg(PhoneSharing::FirstPort + PhoneSharing::Ports - 1));
    adjustSize();
}

void frmPhones::follow()
{
    const bool on = sharing.on();
    const QSignalBlocker quiet(chkShare);
    chkShare->setChecked(on);
    const QStringList addresses = sharing.addresses();
    lblAddress->setVisible(on);
    imgCode->setVisible(on && !addresses.isEmpty());
    lblOthers->setVisible(on && addresses.size() > 1);
    lblPhones->setVisible(on);
    if (!on) {
        lblHelp->setText(tr("Players follow the game on their phones: the number just called, the board and the "
                            "prizes, on a page this computer serves on the hall's own network. Nothing on the page "
                            "can change the game."));
    } else if (addresses.isEmpty()) {
        lblAddress->setText(tr("No network"));
        lblHelp->setText(tr("This computer is on no network. Connect it to the hall's Wi-Fi (or make it a hotspot) "
                            "and the address appears here."));
    } else {
        lblAddress->setText(addresses.first());
        imgCode->setPixmap(QPixmap::fromImage(PhoneCorner::qrImage(addresses.first().toLatin1(), ModulePixels)));
        imgCode->setAccessibleName(tr("QR code of %1").arg(addresses.first()));
        lblOthers->setText(tr("Also: %1").arg(addresses.mid(1).join(QStringLiteral("  "))));
        lblHelp->setText(tr("Players join the same Wi-Fi and scan the code, or type the address. The hall display "
                            "shows the code in its corner. If phones cannot open the page, let TCP port %1 through "
                            "this computer's firewall.")
                             .arg(sharing.port()));
    }
    showPhones(sharing.phones());
    adjustSize();
}

void frmPhones::showPhones(int phones)
{
    lblPhones->setText(phones == 0   ? tr("No phone is following yet")
                        : phones == 1 ? tr("1 phone following")
                                      : tr("%1 phones following").arg(phones));
}
