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

// The hall's display and the players' phones: a lit board, as flashboards are. The numbers
// not yet called are dim on a dark ground, the called ones lit, the program's purple on its
// peach, and the one just called lit apart in yellow until the next call. A projector
// cannot show black, and a lit hall washes out its darks, so what reads from the back is
// the light: the pattern of lit cells carries across the room even where the digits cannot.
namespace hall {
inline const QColor Backdrop{24, 16, 28};
inline const QColor DarkCell{40, 28, 44};
inline const QColor DimDigit{160, 150, 165};   // 5.9:1 on the dark cell
inline const QColor LitCell = Peach;           // with the purple: 7.6:1
inline const QColor LitDigit = Purple;
inline const QColor JustCalled{255, 204, 0};   // with black: 13.9:1
inline const QColor JustCalledDigit{0, 0, 0};
inline const QColor Words{235, 225, 240};      // the count, the last five, the state and prizes
} // namespace hall

// The colour for text on a ground the desktop chooses: the wanted colour where it stands
// out at least 4.5:1, as readable text must, otherwise the desktop's own text colour.
QColor readable(const QColor &wanted, const QColor &ground, const QColor &desktopText);

// The windows' own font, MS Sans Serif 8.25 pt, or the nearest installed face.
QFont windowFont();
// Arial, bold, at the given size, or its installed metric-compatible face.
QFont arialBold(qreal points);

} // namespace look
