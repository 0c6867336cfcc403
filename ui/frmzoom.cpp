#include "frmzoom.h"

#include "look.h"
#include "ownwindow.h"
#include "twips.h"

#include <QPushButton>

void ZoomNumberBox::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    Q_EMIT gotFocus();
}

frmZoom::frmZoom(std::function<QString()> calledText, QWidget *owner)
    : QWidget(owner, Qt::Window | Qt::MSWindowsFixedSizeDialogHint)
    , calledText(std::move(calledText))
{
    dressWindow(*this, QStringLiteral("frmZoom"), QStringLiteral("The Zoomed Number"), QStringLiteral("bolt"));
    // A reader says the number after the caption when the window opens.
    describeForReaders(*this, [this] { return number(); });
    setFixedSize(twips(4680), twips(3180));

    cmdExit = new QPushButton(QStringLiteral("E&xit"), this);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    cmdExit->setGeometry(twipsRect(1680, 2640, 1335, 375));
    cmdExit->setAccessibleName(tr("Close the zoomed number"));

    txtNumber = new ZoomNumberBox(this);
    txtNumber->setObjectName(QStringLiteral("txtNumber"));
    txtNumber->setGeometry(twipsRect(840, 240, 3015, 2055));
    txtNumber->setAlignment(Qt::AlignCenter);
    txtNumber->setFont(look::arialBold(72));
    txtNumber->setReadOnly(true);
    txtNumber->setFrame(true);
    txtNumber->setAccessibleName(tr("The zoomed number"));
    QPalette colours = txtNumber->palette();
    colours.setColor(QPalette::Text, look::Purple);
    colours.setColor(QPalette::Base, look::Peach);
    txtNumber->setPalette(colours);

    setTabOrder(cmdExit, txtNumber);
    cmdExit->setFocus();

    connect(cmdExit, &QPushButton::clicked, this, &frmZoom::cmdExit_Click);
    connect(txtNumber, &ZoomNumberBox::gotFocus, this, &frmZoom::txtNumber_GotFocus);
}

void frmZoom::setNumber(const QString &text)
{
    txtNumber->setText(text);
}

QString frmZoom::number() const
{
    return txtNumber->text();
}

void frmZoom::cmdExit_Click()
{
    close();
}

void frmZoom::txtNumber_GotFocus()
{
    txtNumber->setText(calledText());
}
