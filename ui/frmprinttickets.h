#pragma once

#include "ticketsheet.h"

#include <QDialog>

class QComboBox;
class QPushButton;
class QSpinBox;

// Print Tickets: how many strips of six and on which paper, then a PDF file or the
// desktop's printer. Each print run is a new book, so no two runs share a code.
class frmPrintTickets : public QDialog
{
    Q_OBJECT

public:
    explicit frmPrintTickets(QWidget *owner);

    int strips() const;
    ticketsheet::Paper paper() const;
    // The book as a PDF file; a failure is said in a message box. True when written.
    bool saveAs(const QString &file);

Q_SIGNALS:
    // What a screen reader should say once the book is made and the window has closed.
    void done(const QString &news);

private:
    void cmdPdf_Click();
    void cmdPrint_Click();

    QSpinBox *spnStrips;
    QComboBox *cboPaper;
    QPushButton *cmdPdf;
    QPushButton *cmdPrint;
    QPushButton *cmdCancel;
};
