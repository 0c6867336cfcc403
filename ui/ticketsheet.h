#pragma once

#include "ticket.h"

#include <QString>

#include <cstdint>

class QPagedPaintDevice;

// The printed book: two strips of six tickets side by side on each page, black on white,
// cutting lines between the tickets, each ticket's code above it. Vector text throughout,
// so it stays sharp on any printer and through a photocopier.
namespace ticketsheet {

using Paper = ::Paper;

// The paper the desktop prints on by default: Letter where the system's measures are
// American, A4 elsewhere.
Paper desktopPaper();

// Draws strips 0 to strips - 1 of the book on the device, page after page.
bool paint(QPagedPaintDevice &device, std::uint32_t book, int strips);

// The book as a PDF file; on failure, why in a few words.
bool writePdf(const QString &file, std::uint32_t book, int strips, Paper paper, QString &why);

} // namespace ticketsheet
