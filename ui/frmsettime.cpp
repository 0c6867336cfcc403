#include "frmsettime.h"

#include "game.h"
#include "look.h"
#include "ownwindow.h"
#include "twips.h"

#include <QLabel>
#include <QPushButton>
#include <QSlider>

frmSetTime::frmSetTime(QWidget *owner)
    : QWidget(owner, Qt::Window)
{
    dressWindow(*this, QStringLiteral("frmSetTime"), QStringLiteral("Setting The Time Interval"));
    resize(twips(5025), twips(1770));

    lblDisp = new QLabel(QStringLiteral("Set the Time Limit in (Secs) :Default 2 secs"), this);
    lblDisp->setObjectName(QStringLiteral("lblDisp"));
    lblDisp->setGeometry(twipsRect(600, 120, 3975, 375));
    lblDisp->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    Label1 = new QLabel(QStringLiteral("Min"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(twipsRect(360, 720, 495, 255));
    Label1->setFont(look::arialBold(9.75));

    sldTime = new QSlider(Qt::Horizontal, this);
    sldTime->setObjectName(QStringLiteral("sldTime"));
    sldTime->setGeometry(twipsRect(840, 600, 3375, 375));
    sldTime->setRange(Game::MinIntervalSeconds, Game::MaxIntervalSeconds);
    sldTime->setSingleStep(1);
    sldTime->setPageStep(1);
    sldTime->setTickInterval(1);
    sldTime->setTickPosition(QSlider::TicksBelow);
    sldTime->setValue(Game::ChosenIntervalSeconds);
    sldTime->setAccessibleName(tr("Seconds between calls"));

    Label2 = new QLabel(QStringLiteral("Max"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(twipsRect(4320, 720, 495, 375));
    Label2->setFont(look::arialBold(8.25));

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(twipsRect(960, 1200, 1215, 375));
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setGeometry(twipsRect(2880, 1200, 1215, 375));
    // The buttons act when clicked or pressed with the focus, never on Enter or Escape alone.
    cmdOK->setAutoDefault(false);
    cmdCancel->setAutoDefault(false);

    setTabOrder(sldTime, cmdCancel);
    setTabOrder(cmdCancel, cmdOK);
    sldTime->setFocus();

    connect(cmdOK, &QPushButton::clicked, this, &frmSetTime::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmSetTime::cmdCancel_Click);
}

void frmSetTime::cmdOK_Click()
{
    Q_EMIT intervalChosen(sldTime->value());
    quitstime();
}

void frmSetTime::cmdCancel_Click()
{
    quitstime();
}

void frmSetTime::quitstime()
{
    close();
}
