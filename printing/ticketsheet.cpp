#include "ticketsheet.h"

#include "atomicfile.h"
#include "ticketcode.h"
#include "version.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QPainter>
#include <QPdfWriter>

#include <sys/stat.h>

namespace {
// Lengths on the page in tenths of a millimetre.
constexpr int Margin = 100;
constexpr int StripGap = 80;   // between the two strips of a page
constexpr int CodeHeight = 50; // the line above a ticket with its code
constexpr int TicketGap = 40;  // between a ticket and the next one's code, the cut in its middle
constexpr int StripsPerPage = 2;

// The process's umask, read without changing it (umask() alone would, for every thread).
mode_t fileCreationMask()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok)
                    return mode_t(mask & 0777);
            }
        }
    }
    return 022;
}

// Arial, bold; fontconfig gives its metric-compatible face where Arial is not installed.
QFont arialBold()
{
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    return font;
}

void drawTicket(QPainter &painter, const QRectF &box, const TicketCode &code, const Ticket &ticket,
                const QFont &digits, const QFont &label)
{
    painter.setFont(label);
    const QRectF codeLine(box.left(), box.top(), box.width(), CodeHeight);
    painter.drawText(codeLine, Qt::AlignLeft | Qt::AlignVCenter, code.text());
    painter.drawText(codeLine, Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("%1 · strip %2").arg(QLatin1String(version::DisplayName)).arg(code.strip() + 1));

    const QRectF grid(box.left(), box.top() + CodeHeight, box.width(), box.height() - CodeHeight);
    const qreal cellWidth = grid.width() / Ticket::Columns;
    const qreal cellHeight = grid.height() / Ticket::Rows;
    painter.setFont(digits);
    for (int row = 0; row < Ticket::Rows; ++row) {
        for (int column = 0; column < Ticket::Columns; ++column) {
            const QRectF cell(grid.left() + column * cellWidth, grid.top() + row * cellHeight, cellWidth, cellHeight);
            const int n = ticket.cells[row][column];
            if (n != 0)
                painter.drawText(cell, Qt::AlignCenter, QString::number(n));
            else
                painter.fillRect(cell.adjusted(8, 8, -8, -8), QColor(225, 225, 225)); // an empty cell, plainly empty
        }
    }
    painter.setPen(QPen(Qt::black, 4));
    for (int column = 0; column <= Ticket::Columns; ++column)
        painter.drawLine(QPointF(grid.left() + column * cellWidth, grid.top()),
                         QPointF(grid.left() + column * cellWidth, grid.bottom()));
    for (int row = 0; row <= Ticket::Rows; ++row)
        painter.drawLine(QPointF(grid.left(), grid.top() + row * cellHeight),
                         QPointF(grid.right(), grid.top() + row * cellHeight));
}
} // namespace

ticketsheet::Paper ticketsheet::desktopPaper()
{
    return QLocale::system().measurementSystem() == QLocale::ImperialUSSystem ? Paper::Letter : Paper::A4;
}

QPageSize ticketsheet::pageSize(Paper paper)
{
    return QPageSize(paper == Paper::Letter ? QPageSize::Letter : QPageSize::A4);
}

bool ticketsheet::paint(QPagedPaintDevice &device, std::uint32_t book, int strips, const Progress &progress)
{
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    // One unit a tenth of a millimetre, whatever the device's resolution.
    const qreal scale = device.logicalDpiX() / 254.0;
    painter.scale(scale, scale);
    const QRectF page(0, 0, device.width() / scale, device.height() / scale);
    const QRectF area = page.adjusted(Margin, Margin, -Margin, -Margin);
    const qreal stripWidth = (area.width() - StripGap * (StripsPerPage - 1)) / StripsPerPage;
    const int perStrip = TicketsPerStrip;
    const qreal ticketHeight = (area.height() + TicketGap) / perStrip - TicketGap;

    QFont digits = arialBold();
    digits.setPixelSize(int(ticketHeight * 0.16)); // about 6 mm on A4: read at arm's length, kept by a copier
    QFont label = arialBold();
    label.setPixelSize(30);
    QPen cut(Qt::black, 3, Qt::DashLine);

    for (int first = 0; first < strips; first += StripsPerPage) {
        if (first > 0 && !device.newPage())
            return false;
        for (int s = first; s < std::min(strips, first + StripsPerPage); ++s) {
            const qreal left = area.left() + (s - first) * (stripWidth + StripGap);
            const Strip strip = makeStrip(book, std::uint32_t(s)); // made once, drawn six times
            for (int t = 0; t < perStrip; ++t) {
                const QRectF box(left, area.top() + t * (ticketHeight + TicketGap), stripWidth, ticketHeight);
                painter.setPen(Qt::black);
                const TicketCode code{book, std::uint32_t(s * perStrip + t)};
                drawTicket(painter, box, code, strip[std::size_t(t)], digits, label);
                painter.setPen(cut);
                if (t < perStrip - 1)
                    painter.drawLine(QPointF(left - StripGap / 2.0, box.bottom() + TicketGap / 2.0),
                                     QPointF(left + stripWidth + StripGap / 2.0, box.bottom() + TicketGap / 2.0));
            }
        }
        if (strips - first > 1) {
            painter.setPen(cut);
            const qreal middle = area.left() + stripWidth + StripGap / 2.0;
            painter.drawLine(QPointF(middle, page.top() + Margin / 2.0), QPointF(middle, page.bottom() - Margin / 2.0));
        }
        if (progress && !progress(std::min(strips, first + StripsPerPage))) {
            painter.end();
            return false;
        }
    }
    return painter.end();
}

bool ticketsheet::writePdf(const QString &file, std::uint32_t book, int strips, Paper paper, QString &why,
                           const Progress &progress)
{
    const QFileInfo target(file);
    if (target.exists() && !target.isFile()) {
        why = target.isDir() ? QStringLiteral("it is a folder") : QStringLiteral("it is not a regular file");
        return false;
    }
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&bytes);
        pdf.setCreator(QLatin1String(version::DisplayName));
        pdf.setTitle(QStringLiteral("Tickets, book %1").arg(TicketCode::bookText(book)));
        pdf.setResolution(254);
        pdf.setPageSize(pageSize(paper));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        if (!paint(pdf, book, strips, progress)) {
            why = QStringLiteral("the pages could not be drawn");
            return false;
        }
    }
    return writeAtomically(file, bytes.data(), why, 0666 & ~fileCreationMask());
}
