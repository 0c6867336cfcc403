#pragma once

#include "books.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

// The books in play as the running program knows them: the list in the state folder, read
// on a thread of its own when the program starts, whenever the folder changes (another run
// may have printed) and when asked, so a claim is judged without waiting for the disk. A
// list unchanged on disk is not read again. A damaged line is set aside and said once.
class BooksInPlay : public QObject
{
    Q_OBJECT

public:
    // Until the first reading is done, a question waits for it, at most this long.
    static constexpr int FirstReadingMs = 2000;

    explicit BooksInPlay(const QString &folder, QObject *parent = nullptr);
    ~BooksInPlay() override;

    // From any thread.
    std::vector<BookList::Book> books() const;
    BookList::Standing standing(const TicketCode &code) const;
    // What was wrong with the list when it was last read, in words for the host; empty when
    // nothing was.
    QString trouble() const;

    // Reads the list again soon, off this thread; changed() follows if it did change.
    void refresh();

Q_SIGNALS:
    void changed();
    // A damaged list was found (and set aside): why, in words for the host.
    void troubled(const QString &why);

private:
    void read(); // on the reading thread
    void waitForFirst() const;
    void watchFolder();

    const QString folder;
    QThread thread;
    QObject *home = new QObject; // lives on the reading thread
    QFileSystemWatcher watcher;
    std::atomic<bool> asked{false}; // a reading is on its way

    mutable std::mutex guard;
    mutable std::condition_variable firstDone;
    bool haveRead = false;
    std::vector<BookList::Book> list;
    QString problem;
    QByteArray seen; // what the file looked like when last read: its inode, size and time
};
