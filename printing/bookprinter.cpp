#include "bookprinter.h"

#include "atomicfile.h"
#include "books.h"
#include "version.h"

#include <QGuiApplication>

#include <cstdio>

BookPrinter::BookPrinter(QString stateFolder, QObject *parent)
    : QObject(parent)
    , folder(std::move(stateFolder))
{
}

BookPrinter::~BookPrinter()
{
    stopping = true;
    if (worker.joinable())
        worker.join();
}

bool BookPrinter::start(int strips, ticketsheet::Paper paper, Print print)
{
    if (running)
        return false;
    if (worker.joinable())
        worker.join(); // the last one has said it is finished: its thread is ending
    running = true;
    stopping = false;
    // The thread outlives nothing: the destructor joins it. What it reports is queued to
    // this object, and dropped by Qt if the object is gone by then.
    worker = std::thread([this, strips, paper, print = std::move(print)] {
        const ticketsheet::Progress progress = [this, strips](int drawn) {
            QMetaObject::invokeMethod(
                this, [this, drawn, strips] { Q_EMIT progressed(drawn, strips); }, Qt::QueuedConnection);
            return !stopping.load();
        };
        BookList books(folder);
        QString why;
        QString note;
        const bool printed = books.printNew(
            strips, paper, [&](std::uint32_t book, QString &problem) { return print(book, progress, problem); }, why,
            note);
        QMetaObject::invokeMethod(
            this,
            [this, printed, why, note] {
                running = false;
                Q_EMIT finished(printed, why, note);
            },
            Qt::QueuedConnection);
    });
    return true;
}

bool BookPrinter::startPdf(const QString &file, int strips, ticketsheet::Paper paper)
{
    return start(strips, paper, [file, strips, paper](std::uint32_t book, const ticketsheet::Progress &progress, QString &why) {
        return ticketsheet::writePdf(file, book, strips, paper, why, progress);
    });
}

int printBookCommand(const char *program, int strips, const QString &output, ticketsheet::Paper paper)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Success prints nothing: the platform's notes about the desktop session are not the
    // host's business here.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "%s: %s\n", version::Command, qPrintable(printable(text)));
    });
    int argc = 1;
    char *argv[] = {const_cast<char *>(program), nullptr};
    QGuiApplication app(argc, argv);
    QString why;
    QString note;
    BookList books(defaultStateFolder());
    const auto write = [&](std::uint32_t book, QString &problem) {
        return ticketsheet::writePdf(output, book, strips, paper, problem);
    };
    if (!books.printNew(strips, paper, write, why, note)) {
        std::fprintf(stderr, "%s: cannot write the tickets to %s: %s\n", version::Command,
                     qPrintable(printable(output)), qPrintable(printable(why)));
        return 1;
    }
    if (!note.isEmpty())
        std::fprintf(stderr, "%s: %s\n", version::Command, qPrintable(printable(note)));
    return 0;
}
