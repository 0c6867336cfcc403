#include "books.h"

#include "atomicfile.h"
#include "ticketcode.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QRandomGenerator>

#include <algorithm>
#include <mutex>

namespace {
const QByteArray Magic = QByteArrayLiteral("tabro-kalvor books 1");

QByteArray timeText(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs).toLatin1();
}

// A list mended by one thread while another adds to it would lose the book added: within
// this program, reading and writing the list take turns.
std::recursive_mutex listTurn;

QByteArray paperKey(Paper paper)
{
    return paper == Paper::Letter ? QByteArrayLiteral("letter") : QByteArrayLiteral("a4");
}
} // namespace

BookList::BookList(QString folder)
    : folder(std::move(folder))
    , file(QDir(this->folder).filePath(QStringLiteral("books.txt")))
{
}

QByteArray BookList::text(const std::vector<Book> &books)
{
    QByteArray out = Magic + '\n';
    for (const Book &book : books) {
        out += "book " + TicketCode::bookText(book.book).toLatin1() + ' ' + QByteArray::number(book.strips) + ' '
            + (book.dealt ? QByteArrayLiteral("dealt") : paperKey(book.paper)) + ' ' + timeText(book.time) + '\n';
    }
    out += "end\n";
    return out;
}

bool BookList::parse(const QByteArray &bytes, std::vector<Book> &books, QString &why, QStringList &damaged)
{
    QList<QByteArray> lines = bytes.split('\n');
    if (lines.first() != Magic) {
        why = QStringLiteral("not a list of books");
        return false;
    }
    // A list cut short keeps the lines before the cut; only the torn one is lost.
    const bool whole = lines.size() >= 3 && lines.last().isEmpty() && lines[lines.size() - 2] == "end";
    const qsizetype end = whole ? lines.size() - 2 : lines.size();
    if (!whole)
        damaged << QStringLiteral("the list ends early");
    std::vector<Book> read;
    for (qsizetype i = 1; i < end; ++i) {
        const QList<QByteArray> parts = lines[i].split(' ');
        Book book;
        bool number = false;
        if (!whole && i == end - 1 && lines[i].isEmpty())
            continue; // the line feed before a cut
        if (parts.size() != 5 || parts[0] != "book"
            || !TicketCode::parseBook(QString::fromLatin1(parts[1]), book.book)) {
            damaged << QStringLiteral("line %1 is not a book").arg(i + 1);
            continue;
        }
        book.strips = parts[2].toInt(&number);
        if (!number || book.strips < 1 || book.strips > MaxPrintedStrips || QByteArray::number(book.strips) != parts[2]) {
            damaged << QStringLiteral("line %1 has no number of strips").arg(i + 1);
            continue;
        }
        if (parts[3] != "a4" && parts[3] != "letter" && parts[3] != "dealt") {
            damaged << QStringLiteral("line %1 has no paper").arg(i + 1);
            continue;
        }
        book.paper = parts[3] == "letter" ? Paper::Letter : Paper::A4;
        book.dealt = parts[3] == "dealt";
        const QDateTime when = QDateTime::fromString(QString::fromLatin1(parts[4]), Qt::ISODateWithMs);
        if (!when.isValid() || timeText(when.toMSecsSinceEpoch()) != parts[4]) {
            damaged << QStringLiteral("line %1 has no time").arg(i + 1);
            continue;
        }
        book.time = when.toMSecsSinceEpoch();
        read.push_back(book);
    }
    books = std::move(read);
    return true;
}

bool BookList::load(QString &why)
{
    std::lock_guard<std::recursive_mutex> turn(listTurn);
    list.clear();
    QFile in(file);
    const QFileInfo info(file);
    if (!info.exists())
        return true;
    QString problem;
    QStringList damaged;
    QByteArray bytes;
    if (!info.isFile())
        problem = QStringLiteral("not a regular file");
    else if (info.size() > MaxFileSize)
        problem = QStringLiteral("far too large");
    else if (!in.open(QIODevice::ReadOnly))
        problem = in.errorString();
    else if (bytes = in.read(MaxFileSize + 1); parse(bytes, list, problem, damaged) && damaged.isEmpty())
        return true;
    in.close();
    if (problem.isEmpty()) {
        // The good lines stay in play; the list as it was is kept beside them for the host.
        QString kept;
        const bool aside = writeAtomically(file + QStringLiteral(".bad"), bytes, kept)
            && writeAtomically(file, text(list), kept);
        why = QStringLiteral("the list of printed books was damaged (%1): %2")
                  .arg(damaged.join(QStringLiteral(", ")),
                       aside ? QStringLiteral("those lines were set aside in %1.bad, the other books are in play")
                                   .arg(file)
                             : QStringLiteral("the other books are in play, but the list could not be mended (%1)")
                                   .arg(kept));
        return false;
    }
    list.clear();
    QString moved;
    why = moveAside(file, moved) ? QStringLiteral("the list of printed books was damaged (%1) and was moved aside")
                                       .arg(problem)
                                 : QStringLiteral("the list of printed books cannot be read: %1").arg(problem);
    return false;
}

BookList::Standing BookList::standing(const std::vector<Book> &books, const TicketCode &code)
{
    bool listed = false;
    for (const Book &book : books) {
        if (book.book != code.book)
            continue;
        listed = true;
        if (code.serial < std::uint32_t(book.strips) * std::uint32_t(TicketsPerStrip))
            return Standing::InPlay;
    }
    return listed ? Standing::PastTheBook : Standing::BookNotListed;
}

bool BookList::newBook(std::uint32_t &book, const std::function<std::uint32_t(std::uint32_t)> &random) const
{
    std::vector<bool> used(TicketCode::Books, false);
    std::uint32_t free = TicketCode::Books;
    for (const Book &b : list) {
        if (!used[b.book]) {
            used[b.book] = true;
            --free;
        }
    }
    if (free == 0)
        return false;
    // The k-th free number, k drawn evenly: every unused book is as likely as any other.
    std::uint32_t k = random(free);
    for (std::uint32_t b = 0; b < TicketCode::Books; ++b) {
        if (!used[b] && k-- == 0) {
            book = b;
            return true;
        }
    }
    return false;
}

bool BookList::add(const Book &book, QString &why)
{
    // What another run printed meanwhile is kept: the list is read again first.
    std::lock_guard<std::recursive_mutex> turn(listTurn);
    QString damaged;
    load(damaged);
    list.push_back(book);
    if (!makeStateFolder(folder, why))
        return false;
    return writeAtomically(file, text(list), why);
}

bool BookList::printNew(int strips, Paper paper, const std::function<bool(std::uint32_t, QString &)> &print,
                        QString &why, QString &note)
{
    QString damaged;
    if (!load(damaged))
        note = damaged;
    std::uint32_t book = 0;
    if (!newBook(book, [](std::uint32_t n) { return QRandomGenerator::system()->bounded(n); })) {
        why = QStringLiteral("every book number has been printed already");
        return false;
    }
    if (!print(book, why))
        return false;
    QString problem;
    if (!add({book, strips, paper, QDateTime::currentMSecsSinceEpoch()}, problem))
        note = QStringLiteral("book %1 is printed, but the list of printed books could not be kept (%2): a claim "
                              "from it will ask to be checked anyway")
                   .arg(TicketCode::bookText(book), problem);
    return true;
}
