#pragma once

#include "ticketsheet.h"

#include <QDialog>
#include <QTimer>

class BookPrinter;
class ReaderNews;
class QComboBox;
class QProgressBar;
class QPushButton;
class QSpinBox;

// Print Tickets: how many strips of six and on which paper, then a PDF file or the
// desktop's printer. Each print run is a new book, so no two runs share a code. The book
// is made while the window shows its progress; it closes once the book is made.
class frmPrintTickets : public QDialog
{
    Q_OBJECT

public:
    explicit frmPrintTickets(QWidget *owner);

    int strips() const;
    ticketsheet::Paper paper() const;
    // Starts making the book as a PDF file; a failure is said in a message box. False
    // while a book is being made.
    bool saveAs(const QString &file);

Q_SIGNALS:
    // What a screen reader should say once the book is made and the window has closed.
    void bookDone(const QString &news);

protected:
    void changeEvent(QEvent *event) override;

private:
    void cmdPdf_Click();
    void cmdPrint_Click();
    void making(const QString &doing, const QString &where, const QString &news);
    void made(bool printed, const QString &why, const QString &note);
    void progressed(int drawn);
    void tellStarted();

    QSpinBox *spnStrips;
    QComboBox *cboPaper;
    QPushButton *cmdPdf;
    QPushButton *cmdPrint;
    QPushButton *cmdCancel;
    QProgressBar *barProgress;
    BookPrinter *printer;
    QString target;   // the file's name or the printer's, for the host
    QString doneNews; // what the reader hears once the book is made
    ReaderNews *readerNews;
    QString startNews;  // "Printing 500 strips", once the window is active again
    QTimer startTold;   // ... or a moment later
    QTimer pace;        // the bar moves at most this often
    int drawn = 0;      // strips drawn, the bar showing them at the next pace
};
