// Prints the ticket each code on the command line stands for, as the program rebuilds it:
// "CODE: row 1 | row 2 | row 3", or "CODE: not ours (why)".
#include "ticketcode.h"

#include <cstdio>

int main(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        TicketCode code;
        QString why;
        if (!TicketCode::parse(QString::fromLocal8Bit(argv[i]), code, why)) {
            std::printf("%s: not ours (%s)\n", argv[i], qPrintable(why));
            continue;
        }
        const Ticket ticket = code.ticket();
        QString rows;
        for (int row = 0; row < Ticket::Rows; ++row) {
            if (row > 0)
                rows += QStringLiteral(" |");
            for (std::int16_t n : ticket.cells[row])
                if (n != 0)
                    rows += QLatin1Char(' ') + QString::number(n);
        }
        std::printf("%s:%s\n", qPrintable(code.text()), qPrintable(rows));
    }
    return 0;
}
