#include "frmprinttickets.h"

#include "ownwindow.h"
#include "ticket.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace {
QString stripsText(int strips)
{
    return strips == 1 ? QObject::tr("1 strip") : QObject::tr("%1 strips").arg(strips);
}
} // namespace

frmPrintTickets::frmPrintTickets(QWidget *owner)
    : QDialog(owner)
{
    dressWindow(*this, QStringLiteral("frmPrintTickets"), tr("Print Tickets"), QStringLiteral("notepad"));

    spnStrips = new QSpinBox(this);
    spnStrips->setObjectName(QStringLiteral("spnStrips"));
    spnStrips->setRange(1, MaxPrintedStrips);
    spnStrips->setValue(10);
    cboPaper = new QComboBox(this);
    cboPaper->setObjectName(QStringLiteral("cboPaper"));
    const bool letterFirst = ticketsheet::desktopPaper() == ticketsheet::Paper::Letter;
    cboPaper->addItem(QStringLiteral("A4"), int(ticketsheet::Paper::A4));
    cboPaper->insertItem(letterFirst ? 0 : 1, QStringLiteral("Letter"), int(ticketsheet::Paper::Letter));
    cboPaper->setCurrentIndex(0);
    // A reader says this box by its label and role alone ("Paper: combo box"); the choice
    // is its description too, which the reader says after them.
    cboPaper->setAccessibleDescription(cboPaper->currentText());
    connect(cboPaper, &QComboBox::currentTextChanged, cboPaper, &QWidget::setAccessibleDescription);

    auto *form = new QFormLayout;
    form->addRow(tr("&Strips of six tickets:"), spnStrips);
    form->addRow(tr("P&aper:"), cboPaper);
    auto *note = new QLabel(tr("Two strips a page, every number once a strip. Each ticket carries its code, "
                               "from which Check a Claim rebuilds it."),
                            this);
    note->setWordWrap(true);

    auto *buttons = new QDialogButtonBox(this);
    cmdPdf = buttons->addButton(tr("Save as P&DF..."), QDialogButtonBox::AcceptRole);
    cmdPdf->setObjectName(QStringLiteral("cmdPdf"));
    cmdPrint = buttons->addButton(tr("&Print..."), QDialogButtonBox::AcceptRole);
    cmdPrint->setObjectName(QStringLiteral("cmdPrint"));
    cmdCancel = buttons->addButton(QDialogButtonBox::Cancel);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdPdf->setDefault(true);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addWidget(buttons);

    // The buttons act themselves: the dialog closes only when the book is made.
    disconnect(buttons, nullptr, this, nullptr);
    connect(cmdPdf, &QPushButton::clicked, this, &frmPrintTickets::cmdPdf_Click);
    connect(cmdPrint, &QPushButton::clicked, this, &frmPrintTickets::cmdPrint_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    spnStrips->setFocus();
}

int frmPrintTickets::strips() const
{
    return spnStrips->value();
}

ticketsheet::Paper frmPrintTickets::paper() const
{
    return ticketsheet::Paper(cboPaper->currentData().toInt());
}

bool frmPrintTickets::saveAs(const QString &file)
{
    QString why;
    if (!ticketsheet::writePdf(file, ticketsheet::newBook(), strips(), paper(), why)) {
        QMessageBox::warning(this, windowTitle(), tr("The tickets could not be saved in %1:\n%2.").arg(file, why));
        return false;
    }
    accept();
    Q_EMIT done(tr("Saved %1 to %2").arg(stripsText(strips()), QFileInfo(file).fileName()));
    return true;
}

void frmPrintTickets::cmdPdf_Click()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString file = QFileDialog::getSaveFileName(this, tr("Save the Tickets"),
                                                      QDir(folder).filePath(tr("tickets.pdf")),
                                                      tr("PDF files (*.pdf)"));
    if (!file.isEmpty())
        saveAs(file);
}

void frmPrintTickets::cmdPrint_Click()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(paper() == ticketsheet::Paper::Letter ? QPageSize::Letter : QPageSize::A4));
    printer.setFullPage(true);
    printer.setDocName(tr("Tickets"));
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (!ticketsheet::paint(printer, ticketsheet::newBook(), strips())) {
        QMessageBox::warning(this, windowTitle(), tr("The tickets could not be printed."));
        return;
    }
    accept();
    Q_EMIT done(tr("Sent %1 to the printer").arg(stripsText(strips())));
}
