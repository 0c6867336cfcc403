#pragma once

#include "ticketsheet.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

// Prints a new book of tickets on a thread of its own, so that the calling goes on while a
// book of 500 strips is drawn: the book number is drawn from those not yet printed, the
// pages handed to a PDF file or to any other print, and the book added to the books in
// play once printed. Signals come on the thread that made it.
class BookPrinter : public QObject
{
    Q_OBJECT

public:
    // Prints book's strips, reporting progress as the sheet does; on failure, why.
    using Print = std::function<bool(std::uint32_t book, const ticketsheet::Progress &progress, QString &why)>;

    // stateFolder: where the books in play are listed.
    explicit BookPrinter(QString stateFolder, QObject *parent = nullptr);
    // Stops a book being drawn (nothing of it is kept) and waits for its thread.
    ~BookPrinter() override;

    // False while a book is being printed.
    bool start(int strips, ticketsheet::Paper paper, Print print);
    bool startPdf(const QString &file, int strips, ticketsheet::Paper paper);
    bool busy() const { return running; }

Q_SIGNALS:
    void progressed(int stripsDrawn, int strips);
    // printed: the book is made; why: what failed; note: what the host should know besides
    // (the list of books could not be kept).
    void finished(bool printed, const QString &why, const QString &note);

private:
    QString folder;
    std::thread worker;
    std::atomic<bool> stopping{false};
    bool running = false; // this object's thread only
};

// The command line's book of tickets, with no display: prints nothing on success, one line
// and status 1 on failure. Makes its own off-screen application: whatever platform the
// command line names, none is opened.
int printBookCommand(const char *program, int strips, const QString &output, ticketsheet::Paper paper);
