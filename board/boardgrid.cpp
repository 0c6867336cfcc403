#include "boardgrid.h"

#include "look.h"
#include "numbertext.h"
#include "twips.h"

#include <QApplication>
#include <QHeaderView>
#include <QProxyStyle>
#include <QStyledItemDelegate>
#include <QKeyEvent>
#include <QMouseEvent>

namespace {
// Every style draws the grid lines in a colour of its own choosing; the board's are
// light grey under any style.
class GridLineStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returned) const override
    {
        if (hint == SH_Table_GridLineColor)
            return int(look::GridLine.rgba());
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }
};
// The current cell before the first call wears the desktop's button colours; where the
// desktop's button text cannot be read on its button face, plain black or white is used.
class CellDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!(option->state & QStyle::State_Selected))
            return;
        const QColor face = option->palette.color(QPalette::Button);
        const QColor plain = look::readable(look::Ink, face, Qt::white);
        option->palette.setColor(QPalette::Highlight, face);
        option->palette.setColor(QPalette::HighlightedText,
                                 look::readable(option->palette.color(QPalette::ButtonText), face, plain));
    }
};
} // namespace

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
    setFont(look::windowFont());
    auto *lines = new GridLineStyle(QApplication::style()->name());
    lines->setParent(this);
    setStyle(lines);

    QPalette colours = palette();
    colours.setColor(QPalette::Base, look::Beyond);
    // The cells' peach is fixed, so their text is too: a dark desktop's light text would
    // vanish on it.
    colours.setColor(QPalette::Text, look::Ink);
    setPalette(colours);
    setItemDelegate(new CellDelegate(this));

    for (int row = 0; row < Size; ++row) {
        for (int column = 0; column < Size; ++column) {
            auto *item = new QTableWidgetItem;
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            item->setBackground(look::Peach);
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
            QTableWidgetItem *item = this->item(row, column);
            item->setText(QString());
            item->setData(Qt::FontRole, QVariant());
            item->setData(Qt::ForegroundRole, QVariant());
            item->setData(Qt::TextAlignmentRole, QVariant());
            item->setData(Qt::AccessibleTextRole, QVariant());
        }
    }
}

// The cells are written first and the current cell set once: moving it through all ninety
// while the board is shown told a screen reader of each one, and a refill or a resumed game
// kept the reader busy for most of a minute.
void BoardGrid::fill()
{
    for (int i = 0; i < NumberRows; ++i) {
        for (int j = 0; j < Size; ++j) {
            QTableWidgetItem *item = this->item(i, j);
            item->setText(numberText(i * 10 + j + 1));
            item->setData(Qt::AccessibleTextRole, plainNumberText(i * 10 + j + 1));
            formatPlain(item);
        }
    }
    makeCurrent({NumberRows - 1, Size - 1});
}

// The board's current cell is its own: a table's current cell reports itself focused to a
// screen reader, beside the button that has the focus, and a reader starting up would land
// on the board. Before the first call the current cell shows as the selected one.
void BoardGrid::makeCurrent(BoardCell cell)
{
    current = cell;
    if (selectionMode() != QAbstractItemView::NoSelection)
        selectionModel()->select(model()->index(cell.row, cell.column), QItemSelectionModel::ClearAndSelect);
}

void BoardGrid::formatPlain(QTableWidgetItem *item) const
{
    // The grid centres its columns; here the alignment travels with each filled cell.
    item->setTextAlignment(Qt::AlignCenter);
    item->setFont(look::arialBold(CellPoints));
    item->setForeground(look::Ink);
}

void BoardGrid::marknumber(std::int16_t n)
{
    // Once numbers are being marked the selection highlight would hide the newest mark.
    setSelectionMode(QAbstractItemView::NoSelection);
    clearSelection();
    const BoardCell at = cellOf(n);
    makeCurrent(at);
    QTableWidgetItem *item = this->item(at.row, at.column);
    item->setForeground(look::Purple);
    QFont emphasised = item->font();
    emphasised.setUnderline(true);
    item->setFont(emphasised);
    item->setData(Qt::AccessibleTextRole, tr("%1, called").arg(n));
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
