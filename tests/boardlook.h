#pragma once

#include "boardgrid.h"

#include <QBrush>
#include <QRgb>

#include <algorithm>
#include <cmath>

// Whether a board cell carries the called-number look: purple and underlined, as seen.
inline bool isMarked(const BoardGrid &grid, int row, int column)
{
    const QTableWidgetItem *item = grid.item(row, column);
    const QVariant foreground = item->data(Qt::ForegroundRole);
    return foreground.isValid() && foreground.value<QBrush>().color() == QColor(128, 0, 128) && item->font().underline();
}


// A colour's relative luminance, as the contrast rules of readable text define it.
inline double luminance(QRgb rgb)
{
    auto channel = [](int value) {
        const double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(rgb)) + 0.7152 * channel(qGreen(rgb)) + 0.0722 * channel(qBlue(rgb));
}

// The contrast ratio of two luminances, 1 to 21.
inline double contrast(double a, double b)
{
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}
