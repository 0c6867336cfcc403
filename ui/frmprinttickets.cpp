#include "frmprinttickets.h"

#include "accessibility.h"
#include "atomicfile.h"
#include "bookprinter.h"

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
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QVBoxLayout>

#include <memory>

namespace {
// The bar moves at most this often: at every strip it sent a reader hundreds of changes,
// among which the news of the book made was lost.
constexpr int PaceMs = 500;
// A reader hears that the book is under way once the window is active again after the
// file's or the printer's dialog, or after this long at the latest.
constexpr int StartToldMs = 1000;

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
    const bool letterFirst = ticketsheet::desktopPaper() == Paper::Letter;
    cboPaper->addItem(QStringLiteral("A4"), int(ticketsheet::Paper::A4));
    cboPaper->insertItem(letterFirst ? 0 : 1, QStringLiteral("Letter"), int(ticketsheet::Paper::Letter));
    cboPaper->setCurrentIndex(0);
    // A reader says this box by its label and role alone ("Paper: combo box"); the choice
    // is its description too, which the reader says after them.
    cboPaper->setAccessibleDescription(cboPaper->currentText());
    connect(cboPaper, &QComboBox::currentTextChanged, cboPaper, &QWidget::setAccessibleDescription);

    auto *form = new QFormLayout;
    form->addRow(tr("St&rips of six tickets:"), spnStrips);
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
    barProgress = new QProgressBar(this);
    barProgress->setObjectName(QStringLiteral("barProgress"));
    barProgress->hide();
    layout->addWidget(barProgress);
    layout->addWidget(buttons);

    // The book is drawn on a thread of its own: the calling is never late for it, and
    // closing the window stops it with nothing written.
    printer = new BookPrinter(defaultStateFolder(), this);
    connect(printer, &BookPrinter::progressed, this, &frmPrintTickets::progressed);
    connect(printer, &BookPrinter::finished, this, &frmPrintTickets::made);
    readerNews = ReaderNews::forWindow(*this);
    pace.setSingleShot(true);
    pace.setInterval(PaceMs);
    connect(&pace, &QTimer::timeout, this, [this] {
        if (barProgress->value() != drawn) {
            barProgress->setValue(drawn);
            pace.start();
        }
    });
    startTold.setSingleShot(true);
    startTold.setInterval(StartToldMs);
    connect(&startTold, &QTimer::timeout, this, &frmPrintTickets::tellStarted);

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
    if (!printer->startPdf(file, strips(), paper()))
        return false;
    making(tr("Saving"), QFileInfo(file).fileName(),
           tr("Saved %1 to %2").arg(stripsText(strips()), QFileInfo(file).fileName()));
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
    auto device = std::make_shared<QPrinter>(QPrinter::HighResolution);
    device->setPageSize(ticketsheet::pageSize(paper()));
    device->setFullPage(true);
    device->setDocName(tr("Tickets"));
    QPrintDialog dialog(device.get(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // Drawn on the book's own thread, as a PDF is; the print system takes the job at the end.
    const int count = strips();
    const auto print = [device, count](std::uint32_t book, const ticketsheet::Progress &progress, QString &why) {
        if (!ticketsheet::paint(*device, book, count, progress) || device->printerState() == QPrinter::Error) {
            why = QStringLiteral("the printer did not take the job");
            return false;
        }
        return true;
    };
    if (printer->start(count, paper(), print))
        making(tr("Printing"), device->printerName(), tr("Sent %1 to the printer").arg(stripsText(count)));
}

void frmPrintTickets::making(const QString &doing, const QString &where, const QString &news)
{
    target = where;
    doneNews = news;
    spnStrips->setEnabled(false);
    cboPaper->setEnabled(false);
    cmdPdf->setEnabled(false);
    cmdPrint->setEnabled(false);
    barProgress->setRange(0, strips());
    barProgress->setValue(0);
    drawn = 0;
    barProgress->setFormat(tr("%1: strip %v of %m").arg(doing));
    barProgress->show();
    startNews = tr("Printing %1").arg(stripsText(strips()));
    if (isActiveWindow())
        QTimer::singleShot(0, this, &frmPrintTickets::tellStarted);
    else
        startTold.start();
}

void frmPrintTickets::tellStarted()
{
    startTold.stop();
    if (!startNews.isEmpty())
        readerNews->tell(startNews);
    startNews.clear();
}

void frmPrintTickets::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && startTold.isActive())
        QTimer::singleShot(0, this, &frmPrintTickets::tellStarted);
}

void frmPrintTickets::progressed(int strips)
{
    drawn = strips;
    if (!pace.isActive()) {
        barProgress->setValue(drawn);
        pace.start();
    }
}

void frmPrintTickets::made(bool printed, const QString &why, const QString &note)
{
    pace.stop();
    startNews.clear();
    startTold.stop();
    barProgress->hide();
    spnStrips->setEnabled(true);
    cboPaper->setEnabled(true);
    cmdPdf->setEnabled(true);
    cmdPrint->setEnabled(true);
    if (!printed) {
        QMessageBox::warning(this, windowTitle(), tr("The tickets could not be made for %1:\n%2.").arg(target, why));
        return;
    }
    if (!note.isEmpty())
        QMessageBox::warning(this, windowTitle(), note.left(1).toUpper() + note.mid(1) + QLatin1Char('.'));
    // Said once the window has closed, so the reader's move to the main window does not
    // cut it short.
    accept();
    Q_EMIT bookDone(doneNews);
}
