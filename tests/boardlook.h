#pragma once

#include "boardgrid.h"

#include <QBrush>

// Whether a board cell carries the called-number look: purple and underlined, as seen.
inline bool isMarked(const BoardGrid &grid, int row, int column)
{
    const QTableWidgetItem *item = grid.item(row, column);
    const QVariant foreground = item->data(Qt::ForegroundRole);
    return foreground.isValid() && foreground.value<QBrush>().color() == QColor(128, 0, 128) && item->font().underline();
}

