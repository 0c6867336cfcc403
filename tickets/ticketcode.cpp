#include "ticketcode.h"

namespace {
// 29 characters, a prime number of them: a weighted sum modulo 29 then catches every
// single change and every swap of neighbours.
constexpr char Alphabet[] = "2346789ABCDEFGHJKMNPQRTUVWXYZ";
constexpr std::uint32_t Base = 29;
constexpr int BookLength = 3;
constexpr int SerialLength = 4;
constexpr int Length = BookLength + SerialLength; // before the check character

int valueOf(QChar c)
{
    for (std::uint32_t i = 0; i < Base; ++i) {
        if (c == QLatin1Char(Alphabet[i]))
            return int(i);
    }
    return -1;
}

// Character i (0 first) weighs i + 1, the check character 8; the check makes the sum 0.
int checkValue(const int (&values)[Length])
{
    int sum = 0;
    for (int i = 0; i < Length; ++i)
        sum += (i + 1) * values[i];
    // 8 * 11 = 88 = 1 modulo 29: 11 is the inverse of the check character's weight.
    return int(((Base - std::uint32_t(sum) % Base) * 11) % Base);
}

void digits(std::uint32_t value, int *out, int count)
{
    for (int i = count - 1; i >= 0; --i) {
        out[i] = int(value % Base);
        value /= Base;
    }
}
} // namespace

QString TicketCode::text() const
{
    int values[Length];
    digits(book, values, BookLength);
    digits(serial, values + BookLength, SerialLength);
    QString out;
    for (int i = 0; i < Length; ++i) {
        if (i == BookLength)
            out += QLatin1Char('-');
        out += QLatin1Char(Alphabet[values[i]]);
    }
    out += QLatin1Char('-');
    out += QLatin1Char(Alphabet[checkValue(values)]);
    return out;
}

QString TicketCode::bookText(std::uint32_t book)
{
    int values[BookLength];
    digits(book % Books, values, BookLength);
    QString out;
    for (int value : values)
        out += QLatin1Char(Alphabet[value]);
    return out;
}

bool TicketCode::parseBook(const QString &text, std::uint32_t &book)
{
    if (text.size() != BookLength)
        return false;
    std::uint32_t read = 0;
    for (QChar c : text) {
        const int value = valueOf(c);
        if (value < 0)
            return false;
        read = read * Base + std::uint32_t(value);
    }
    book = read;
    return true;
}

bool TicketCode::parse(const QString &typed, TicketCode &code, QString &why)
{
    QString plain;
    for (QChar c : typed) {
        if (c != QLatin1Char('-') && !c.isSpace())
            plain += c.toUpper();
    }
    if (plain.isEmpty()) {
        why = QStringLiteral("no code was typed");
        return false;
    }
    int values[Length + 1];
    for (int i = 0; i < plain.size() && i <= Length; ++i) {
        values[i] = valueOf(plain[i]);
        if (values[i] < 0) {
            why = QStringLiteral("'%1' is not a character of our ticket codes").arg(plain[i]);
            return false;
        }
    }
    if (plain.size() != Length + 1) {
        why = QStringLiteral("a ticket code has 8 characters, not %1").arg(plain.size());
        return false;
    }
    int data[Length];
    std::copy(values, values + Length, data);
    if (checkValue(data) != values[Length]) {
        why = QStringLiteral("the check character does not match: a character mistyped or two swapped");
        return false;
    }
    TicketCode read;
    for (int i = 0; i < BookLength; ++i)
        read.book = read.book * Base + std::uint32_t(values[i]);
    for (int i = BookLength; i < Length; ++i)
        read.serial = read.serial * Base + std::uint32_t(values[i]);
    code = read;
    return true;
}
