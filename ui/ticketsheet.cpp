#include "ticketsheet.h"

#include "look.h"
#include "ticketcode.h"
#include "version.h"

#include <QFile>
#include <QLocale>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

namespace {
// Lengths on the page in tenths of a millimetre.
constexpr int Margin = 100;
constexpr int StripGap = 80;   // between the two strips of a page
constexpr int CodeHeight = 50; // the line above a ticket with its code
constexpr int TicketGap = 40;  // between a ticket and the next one's code, the cut in its middle
constexpr int StripsPerPage = 2;

void drawTicket(QPainter &painter, const QRectF &box, const TicketCode &code, const QFont &digits,
                const QFont &label)
{
    painter.setFont(label);
    const QRectF codeLine(box.left(), box.top(), box.width(), CodeHeight);
    painter.drawText(codeLine, Qt::AlignLeft | Qt::AlignVCenter, code.text());
    painter.drawText(codeLine, Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("%1 · strip %2").arg(QLatin1String(version::DisplayName)).arg(code.strip() + 1));

    const QRectF grid(box.left(), box.top() + CodeHeight, box.width(), box.height() - CodeHeight);
    const qreal cellWidth = grid.width() / Ticket::Columns;
    const qreal cellHeight = grid.height() / Ticket::Rows;
    const Ticket ticket = code.ticket();
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

bool ticketsheet::paint(QPagedPaintDevice &device, std::uint32_t book, int strips)
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
    const qreal ticketHeight = (area.height() + TicketGap) / 6 - TicketGap;

    QFont digits = look::arialBold(1);
    digits.setPixelSize(int(ticketHeight * 0.16)); // about 6 mm on A4: read at arm's length, kept by a copier
    QFont label = look::arialBold(1);
    label.setPixelSize(30);
    QPen cut(Qt::black, 3, Qt::DashLine);

    for (int first = 0; first < strips; first += StripsPerPage) {
        if (first > 0 && !device.newPage())
            return false;
        for (int s = first; s < std::min(strips, first + StripsPerPage); ++s) {
            const qreal left = area.left() + (s - first) * (stripWidth + StripGap);
            for (int t = 0; t < 6; ++t) {
                const QRectF box(left, area.top() + t * (ticketHeight + TicketGap), stripWidth, ticketHeight);
                painter.setPen(Qt::black);
                drawTicket(painter, box, TicketCode{book, std::uint32_t(s) * 6 + std::uint32_t(t)}, digits, label);
                painter.setPen(cut);
                if (t < 5)
                    painter.drawLine(QPointF(left - StripGap / 2.0, box.bottom() + TicketGap / 2.0),
                                     QPointF(left + stripWidth + StripGap / 2.0, box.bottom() + TicketGap / 2.0));
            }
        }
        if (strips - first > 1) {
            painter.setPen(cut);
            const qreal middle = area.left() + stripWidth + StripGap / 2.0;
            painter.drawLine(QPointF(middle, page.top() + Margin / 2.0), QPointF(middle, page.bottom() - Margin / 2.0));
        }
    }
    return painter.end();
}

bool ticketsheet::writePdf(const QString &file, std::uint32_t book, int strips, Paper paper, QString &why)
{
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        why = out.errorString().toLower();
        return false;
    }
    QPdfWriter pdf(&out);
    pdf.setCreator(QLatin1String(version::DisplayName));
    pdf.setTitle(QStringLiteral("Tickets, book %1").arg(TicketCode{book, 0}.text().left(3)));
    pdf.setResolution(254);
    pdf.setPageSize(QPageSize(paper == Paper::Letter ? QPageSize::Letter : QPageSize::A4));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    if (!paint(pdf, book, strips)) {
        why = QStringLiteral("the pages could not be drawn");
        out.remove(); // no half a book left behind
        return false;
    }
    out.close();
    if (out.error() != QFileDevice::NoError) {
        why = out.errorString().toLower();
        out.remove();
        return false;
    }
    return true;
}
