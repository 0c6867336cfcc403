#include "frmabout.h"

#include "accessibility.h"
#include "look.h"
#include "ownwindow.h"
#include "twips.h"
#include "version.h"

#include <QFrame>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

ClickLabel::ClickLabel(const QString &text, QWidget *parent)
    : QLabel(text, parent)
{
    // A link, named by its address, whose press action plays the greeting as a click does.
    readAs(*this, QAccessible::Link);
    pressForReaders(*this, [this] { click(); });
    setFocusPolicy(Qt::StrongFocus);
}

void ClickLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        click();
    QLabel::mouseReleaseEvent(event);
}

void ClickLabel::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        click();
        event->accept();
        break;
    default:
        QLabel::keyPressEvent(event);
    }
}

// A link that takes the focus shows it, as a button does.
void ClickLabel::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    if (!hasFocus())
        return;
    QStylePainter painter(this);
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = contentsRect();
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
}

frmAbout::frmAbout(Greeter &greeter, QWidget *owner)
    : QWidget(owner, Qt::Window)
    , greeter(greeter)
{
    dressWindow(*this, QStringLiteral("frmAbout"), QStringLiteral("About Tabro-Kalvor"), QStringLiteral("question"));
    resize(twips(5460), twips(2625));

    Shape1 = new QFrame(this);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setFrameStyle(QFrame::Box | QFrame::Plain);
    Shape1->setGeometry(twipsRect(120, 120, 2175, 2415));

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(QPixmap(QStringLiteral(":/icons/about.png")));
    Image1->setGeometry(twipsRect(240, 240, 1950, 2250));
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setAccessibleName(tr("Picture of bingo balls"));

    Label1 = new QLabel(
        QStringLiteral("Version %1  Build(%2)").arg(QLatin1String(version::Number), QLatin1String(version::Build)),
        this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(twipsRect(2640, 120, 2535, 255));
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    lblMail = new ClickLabel(QLatin1String(version::ContactMail), this);
    lblMail->setObjectName(QStringLiteral("lblMail"));
    lblMail->setGeometry(twipsRect(2520, 1560, 2895, 255));
    lblMail->setCursor(Qt::PointingHandCursor);
    lblMail->setAccessibleName(lblMail->text());
    lblMail->setToolTip(tr("Click to hear our greeting"));
    colourContact();

    cmdOK = new QPushButton(QStringLiteral("&OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(twipsRect(2400, 2040, 1335, 375));
    cmdOK->setFocus();
    setTabOrder(cmdOK, lblMail);

    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(lblMail, &ClickLabel::clicked, this, &frmAbout::lblMail_Click);
}

// The contact line is blue on the desktop's own window colour; on a dark desktop, where
// that blue cannot be read, it takes the desktop's text colour, as the main window's
// captions do.
void frmAbout::colourContact()
{
    const QPalette desktop = palette();
    QPalette colours = lblMail->palette();
    colours.setColor(QPalette::WindowText, look::readable(look::ContactBlue, desktop.color(QPalette::Window),
                                                          desktop.color(QPalette::WindowText)));
    lblMail->setPalette(colours);
}

void frmAbout::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && lblMail)
        colourContact();
}

void frmAbout::cmdOK_Click()
{
    close();
}

void frmAbout::lblMail_Click()
{
    greeter.greet();
}
