#pragma once

#include "ticket.h"

#include <QPageSize>
#include <QString>

#include <cstdint>
#include <functional>

class QPagedPaintDevice;

// The printed book: two strips of six tickets side by side on each page, black on white,
// cutting lines between the tickets, each ticket's code above it. Vector text throughout,
// so it stays sharp on any printer and through a photocopier. Needs Qt's GUI module only:
// it draws off screen, on any thread.
namespace ticketsheet {

using Paper = ::Paper;

// The paper the desktop prints on by default: Letter where the system's measures are
// American, A4 elsewhere.
Paper desktopPaper();
QPageSize pageSize(Paper paper);

// After each page: how many strips are drawn so far. Returning false stops the drawing.
using Progress = std::function<bool(int stripsDrawn)>;

// Draws strips 0 to strips - 1 of the book on the device, page after page; false when the
// device failed or progress asked to stop.
bool paint(QPagedPaintDevice &device, std::uint32_t book, int strips, const Progress &progress = {});

// The book as a PDF file, made whole in memory and then put in the file's place in one
// step: an earlier file of that name is intact on any failure. Only a regular file or a
// new name is written; a folder, a pipe or a device is refused, never opened or removed.
// On failure, why in a few words.
bool writePdf(const QString &file, std::uint32_t book, int strips, Paper paper, QString &why,
              const Progress &progress = {});

} // namespace ticketsheet
