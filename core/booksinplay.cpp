#include "booksinplay.h"

#include "atomicfile.h"
#include "version.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <cstdio>

#include <sys/stat.h>

namespace {
// The file's identity and state: a list written again (a new file renamed over it) or
// changed in place shows here, without reading it.
QByteArray lookOf(const QString &file)
{
    struct stat info{};
    if (::stat(QFile::encodeName(file).constData(), &info) != 0)
        return QByteArrayLiteral("none");
    return QByteArray::number(qulonglong(info.st_ino)) + ' ' + QByteArray::number(qlonglong(info.st_size)) + ' '
        + QByteArray::number(qlonglong(info.st_mtim.tv_sec)) + '.' + QByteArray::number(qlonglong(info.st_mtim.tv_nsec));
}
} // namespace

BooksInPlay::BooksInPlay(const QString &folder, QObject *parent)
    : QObject(parent)
    , folder(folder)
{
    thread.setObjectName(QStringLiteral("books"));
    home->moveToThread(&thread);
    thread.start();
    connect(&watcher, &QFileSystemWatcher::directoryChanged, this, &BooksInPlay::refresh);
    watchFolder();
    refresh();
}

BooksInPlay::~BooksInPlay()
{
    thread.quit();
    thread.wait();
    delete home;
}

void BooksInPlay::watchFolder()
{
    // Until the state folder is made, its nearest parent that is there is watched, so a list
    // another run writes into a folder it made meanwhile is seen all the same.
    QString nearest = QDir(folder).absolutePath();
    while (!QFileInfo::exists(nearest) && QFileInfo(nearest).absolutePath() != nearest)
        nearest = QFileInfo(nearest).absolutePath();
    const QStringList watched = watcher.directories();
    if (watched == QStringList{nearest})
        return;
    if (!watched.isEmpty())
        watcher.removePaths(watched);
    watcher.addPath(nearest);
}

void BooksInPlay::refresh()
{
    watchFolder();
    // One reading on its way answers every change made before it starts.
    if (asked.exchange(true))
        return;
    QMetaObject::invokeMethod(home, [this] { read(); }, Qt::QueuedConnection);
}

void BooksInPlay::read()
{
    asked = false;
    BookList reading(folder);
    const QByteArray look = lookOf(reading.path());
    {
        std::lock_guard<std::mutex> lock(guard);
        if (haveRead && look == seen)
            return;
    }
    QString why;
    reading.load(why);
    const QByteArray after = lookOf(reading.path()); // a mended list is not read again
    bool different = false;
    {
        std::lock_guard<std::mutex> lock(guard);
        different = !haveRead || reading.books() != list;
        list = reading.books();
        problem = why;
        seen = after;
        haveRead = true;
    }
    firstDone.notify_all();
    QMetaObject::invokeMethod(this, [this, different, why] {
        if (!why.isEmpty()) {
            std::fprintf(stderr, "%s: %s\n", version::Command, qPrintable(printable(why)));
            Q_EMIT troubled(why);
        }
        if (different)
            Q_EMIT changed();
    }, Qt::QueuedConnection);
}

void BooksInPlay::waitForFirst() const
{
    std::unique_lock<std::mutex> lock(guard);
    firstDone.wait_for(lock, std::chrono::milliseconds(FirstReadingMs), [this] { return haveRead; });
}

std::vector<BookList::Book> BooksInPlay::books() const
{
    waitForFirst();
    std::lock_guard<std::mutex> lock(guard);
    return list;
}

BookList::Standing BooksInPlay::standing(const TicketCode &code) const
{
    waitForFirst();
    std::lock_guard<std::mutex> lock(guard);
    return BookList::standing(list, code);
}

QString BooksInPlay::trouble() const
{
    std::lock_guard<std::mutex> lock(guard);
    return problem;
}
