#pragma once

#include "ticket.h"
#include "ticketcode.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <vector>

// The books of tickets this caller has printed ("books in play"), kept in the state folder
// beside the game, so that a claim can tell a ticket of ours from one of an old book,
// someone else's book, or one worked out from the generator. Plain text, written whole:
//
//   tabro-kalvor books 1
//   book K7Q 50 a4 2026-12-09T20:15:03.120Z    (book, strips, paper, when it was printed)
//   ...
//   end
class BookList
{
public:
    struct Book
    {
        std::uint32_t book = 0;
        int strips = 0;
        Paper paper = Paper::A4;
        qint64 time = 0; // milliseconds since 1970, UTC
        bool dealt = false; // handed out by link rather than printed ("dealt" in the paper's place)

        bool operator==(const Book &other) const
        {
            return book == other.book && strips == other.strips && paper == other.paper && time == other.time
                && dealt == other.dealt;
        }
    };
    // A list far longer than every book there is is not ours.
    static constexpr qint64 MaxFileSize = 2 * 1024 * 1024;

    // Whether a code was handed out by this caller: its book is listed and its serial is one of
    // the tickets that book holds (strips × 6); a code past the end of its book was never
    // printed here, whatever the generator makes of it.
    enum class Standing { InPlay, BookNotListed, PastTheBook };
    static Standing standing(const std::vector<Book> &books, const TicketCode &code);

    // folder: the state folder; the list is "books.txt" in it.
    explicit BookList(QString folder);
    QString path() const { return file; }

    // Reads the list again: another run may have printed since. A missing list is empty. A
    // line that is not a book is set aside: the list as it was is kept as "books.txt.bad",
    // the good lines are written back, and why says so (false). A list that is not one at all
    // is moved aside whole and read as empty.
    bool load(QString &why);
    const std::vector<Book> &books() const { return list; }

    // A book number not on the list, drawn with random(n), which returns 0 to n - 1; false
    // when every number has been printed.
    bool newBook(std::uint32_t &book, const std::function<std::uint32_t(std::uint32_t)> &random) const;
    // Adds a book printed now to the list as it is on disk, and writes it; on failure, why.
    bool add(const Book &book, QString &why);

    // Prints a new book: a number not on the list, handed to print(book, why); once printed
    // it is added to the list. False, with why, when printing failed; a list that could not
    // be kept is said in note (the book is printed, but claims from it will ask).
    bool printNew(int strips, Paper paper, const std::function<bool(std::uint32_t, QString &)> &print, QString &why,
                  QString &note);

    static QByteArray text(const std::vector<Book> &books);
    // False, with why, for what is not a list of books at all; otherwise the books of its
    // good lines, and in damaged what was wrong with the others ("line 3 is not a book").
    static bool parse(const QByteArray &bytes, std::vector<Book> &books, QString &why, QStringList &damaged);

private:
    QString folder;
    QString file;
    std::vector<Book> list;
};
