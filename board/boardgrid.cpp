#include "boardgrid.h"

#include "boardcell.h"
#include "numbertext.h"
#include "twips.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

const QColor BoardGrid::CellColour(255, 224, 192);
const QColor BoardGrid::MarkColour(128, 0, 128);
const QColor BoardGrid::LineColour(192, 192, 192);
const QColor BoardGrid::BeyondColour(128, 128, 128);

BoardGrid::BoardGrid(QWidget *parent)
    : QTableWidget(Size, Size, parent)
{
    setObjectName(QStringLiteral("grdTable"));
    setAccessibleName(tr("Board"));

    horizontalHeader()->hide();
    verticalHeader()->hide();
    // Hidden, but a screen reader still asks the headers for their text: they have none.
    setHorizontalHeaderLabels(QStringList(Size, QString()));
    setVerticalHeaderLabels(QStringList(Size, QString()));
    horizontalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setMinimumSectionSize(1);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setFocusPolicy(Qt::NoFocus);
    setTabKeyNavigation(false);
    setWordWrap(false);
    QFont gridFont(QStringLiteral("MS Sans Serif"));
    gridFont.setPointSizeF(8.25);
    setFont(gridFont);

    QPalette colours = palette();
    colours.setColor(QPalette::Base, BeyondColour);
    colours.setColor(QPalette::Mid, LineColour); // the grid lines
    colours.setColor(QPalette::Text, colours.color(QPalette::ButtonText));
    colours.setColor(QPalette::Highlight, colours.color(QPalette::Button));
    colours.setColor(QPalette::HighlightedText, colours.color(QPalette::ButtonText));
    setPalette(colours);

    for (int row = 0; row < Size; ++row) {
        for (int column = 0; column < Size; ++column) {
            auto *item = new QTableWidgetItem;
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            item->setBackground(CellColour);
            setItem(row, column, item);
        }
    }
}

void BoardGrid::setrowcolwidth()
{
    for (int i = 0; i < Size; ++i) {
        setColumnWidth(i, twips(CellTwips));
        setRowHeight(i, twips(CellTwips));
    }
}

void BoardGrid::clear()
{
    for (int row = 0; row < Size; ++row) {
        for (int column = 0; column < Size; ++column) {
            QTableWidgetItem *item = cell(row, column);
            item->setText(QString());
            item->setData(Qt::FontRole, QVariant());
            item->setData(Qt::ForegroundRole, QVariant());
            item->setData(Qt::TextAlignmentRole, QVariant());
            item->setData(Qt::AccessibleTextRole, QVariant());
        }
    }
}

void BoardGrid::fill()
{
    for (int i = 0; i <= 8; ++i) {
        for (int j = 0; j <= 9; ++j) {
            setCurrent(i, j);
            QTableWidgetItem *item = cell(i, j);
            item->setText(numberText(i * 10 + j + 1));
            item->setData(Qt::AccessibleTextRole, plainNumberText(i * 10 + j + 1));
            formatPlain(item);
        }
    }
}

void BoardGrid::formatPlain(QTableWidgetItem *item) const
{
    // The grid centres its columns; here the alignment travels with each filled cell.
    item->setTextAlignment(Qt::AlignCenter);
    QFont plain(QStringLiteral("arial"));
    plain.setPointSize(12);
    plain.setBold(true);
    item->setFont(plain);
}

void BoardGrid::marknumber(std::int16_t n)
{
    const BoardCell at = cellOf(n);
    setCurrent(at.row, at.column);
    // Once numbers are being marked the selection highlight would hide the newest mark.
    setSelectionMode(QAbstractItemView::NoSelection);
    clearSelection();
    QTableWidgetItem *item = cell(at.row, at.column);
    item->setForeground(MarkColour);
    QFont emphasised = item->font();
    emphasised.setUnderline(true);
    item->setFont(emphasised);
    item->setData(Qt::AccessibleTextRole, tr("%1, called").arg(n));
}

bool BoardGrid::isMarked(int row, int column) const
{
    const QTableWidgetItem *item = cell(row, column);
    const QVariant foreground = item->data(Qt::ForegroundRole);
    return foreground.isValid() && foreground.value<QBrush>().color() == MarkColour
        && item->font().underline();
}

QTableWidgetItem *BoardGrid::cell(int row, int column) const
{
    return item(row, column);
}

void BoardGrid::setCurrent(int row, int column)
{
    setCurrentCell(row, column);
}

// The board only shows: clicks and keys must not move the current cell.
void BoardGrid::mousePressEvent(QMouseEvent *event)
{
    event->accept();
}

void BoardGrid::mouseMoveEvent(QMouseEvent *event)
{
    event->accept();
}

void BoardGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
}

void BoardGrid::keyPressEvent(QKeyEvent *event)
{
    event->ignore();
}

// The table's own handler reports every new current cell as focused, even while the
// Start button holds the focus; a screen reader would then follow the board and read a
// whole row at each call. The board never takes the focus, so the report is left out.
void BoardGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    if (hasFocus())
        QTableWidget::currentChanged(current, previous);
    else
        QAbstractItemView::currentChanged(current, previous);
}
