#pragma once

#include "boardcell.h"
#include "seams.h"

#include <QTableWidget>

// The board: ten rows of ten cells, 1 to 90 in rows 0 to 8, row 9 left empty. Called
// numbers keep a purple, underlined look until the board is cleared. It only shows; the
// user cannot select or edit cells.
class BoardGrid : public QTableWidget, public Board
{
    Q_OBJECT

public:
    static constexpr int Size = 10;      // rows and columns
    static constexpr int NumberRows = 9; // rows 0 to 8 hold the numbers; row 9 stays empty
    static constexpr int CellTwips = 650;
    static constexpr qreal CellPoints = 12;

    explicit BoardGrid(QWidget *parent = nullptr);

    void setrowcolwidth() override;
    void clear() override;
    void fill() override;
    void marknumber(std::int16_t n) override;
    // The cell the board last filled or marked.
    BoardCell currentCell() const { return current; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void formatPlain(QTableWidgetItem *item) const;
    void makeCurrent(BoardCell cell);

    BoardCell current{-1, -1};
};
