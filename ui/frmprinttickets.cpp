#include "frmprinttickets.h"

#include "atomicfile.h"
#include "books.h"

#include "ownwindow.h"
#include "ticket.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
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
    QString note;
    BookList books(defaultStateFolder());
    const auto write = [&](std::uint32_t book, QString &problem) {
        return ticketsheet::writePdf(file, book, strips(), paper(), problem);
    };
    if (!books.printNew(strips(), paper(), write, why, note)) {
        QMessageBox::warning(this, windowTitle(), tr("The tickets could not be saved in %1:\n%2.").arg(file, why));
        return false;
    }
    if (!note.isEmpty())
        QMessageBox::warning(this, windowTitle(), note.left(1).toUpper() + note.mid(1) + QLatin1Char('.'));
    accept();
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
    QString why;
    QString note;
    BookList books(defaultStateFolder());
    const auto paint = [&](std::uint32_t book, QString &) { return ticketsheet::paint(printer, book, strips()); };
    if (!books.printNew(strips(), paper(), paint, why, note)) {
        QMessageBox::warning(this, windowTitle(), tr("The tickets could not be printed."));
        return;
    }
    if (!note.isEmpty())
        QMessageBox::warning(this, windowTitle(), note.left(1).toUpper() + note.mid(1) + QLatin1Char('.'));
    accept();
}
