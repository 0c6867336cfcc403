#pragma once

#include <QColor>
#include <QFont>

// The program's look in one place: the colours and fonts of the board and every window.
namespace look {

inline const QColor Purple{128, 0, 128};     // titles, called numbers, the zoomed number
inline const QColor Peach{255, 224, 192};    // the board's cells, the zoomed number's ground
inline const QColor Ink{0, 0, 0};            // uncalled numbers: the classic button text, fixed
                                             // like the peach under it
inline const QColor GridLine{192, 192, 192}; // between the board's cells
inline const QColor Beyond{128, 128, 128};   // the board's area beyond its last cells
inline const QColor ContactBlue{0, 0, 192};  // the information window's contact line

// The colour for text on a ground the desktop chooses: the wanted colour where it stands
// out at least 4.5:1, as readable text must, otherwise the desktop's own text colour.
QColor readable(const QColor &wanted, const QColor &ground, const QColor &desktopText);

// The windows' own font, MS Sans Serif 8.25 pt, or the nearest installed face.
QFont windowFont();
// Arial, bold, at the given size, or its installed metric-compatible face.
QFont arialBold(qreal points);

} // namespace look
