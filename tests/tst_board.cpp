#include "boardcell.h"
#include "boardgrid.h"
#include "boardlook.h"

#include <QAccessible>
#include <QHeaderView>
#include <QtTest>

class TestBoard : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cellRule_data();
    void cellRule();
    void cellRuleInvertsTheFilling();
    void freshBoardShowsOneToNinetyPlain();
    void markGivesThePurpleEmphasisAndKeepsThePlainFormat();
    void marksStayUntilTheBoardIsCleared();
    void sizesSurviveManyNewGames();
    void userCannotMoveTheCurrentCell();
    void noCellSaysItHasTheFocus();
};

void TestBoard::cellRule_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::newRow("1 top left") << 1 << 0 << 0;
    QTest::newRow("10 ends row 0") << 10 << 0 << 9;
    QTest::newRow("11 starts row 1") << 11 << 1 << 0;
    QTest::newRow("45") << 45 << 4 << 4;
    QTest::newRow("89") << 89 << 8 << 8;
    QTest::newRow("90 ends row 8") << 90 << 8 << 9;
}

void TestBoard::cellRule()
{
    QFETCH(int, n);
    QFETCH(int, row);
    QFETCH(int, column);
    const BoardCell cell = cellOf(std::int16_t(n));
    QCOMPARE(cell.row, row);
    QCOMPARE(cell.column, column);
}

void TestBoard::cellRuleInvertsTheFilling()
{
    BoardGrid grid;
    grid.setrowcolwidth();
    grid.clear();
    grid.fill();
    for (int n = 1; n <= 90; ++n) {
        const BoardCell cell = cellOf(std::int16_t(n));
        QCOMPARE(cell.row, (n - 1) / 10);
        QCOMPARE(cell.column, (n - 1) % 10);
        QCOMPARE(grid.item(cell.row, cell.column)->text(), QStringLiteral(" %1").arg(n));
    }
}

void TestBoard::freshBoardShowsOneToNinetyPlain()
{
    BoardGrid grid;
    grid.setrowcolwidth();
    grid.clear();
    grid.fill();
    QCOMPARE(grid.objectName(), QStringLiteral("grdTable"));
    QCOMPARE(grid.rowCount(), 10);
    QCOMPARE(grid.columnCount(), 10);
    QVERIFY(grid.horizontalHeader()->isHidden());
    QVERIFY(grid.verticalHeader()->isHidden());
    QCOMPARE(grid.item(0, 0)->text(), QStringLiteral(" 1"));
    QCOMPARE(grid.item(0, 9)->text(), QStringLiteral(" 10"));
    QCOMPARE(grid.item(8, 9)->text(), QStringLiteral(" 90"));
    for (int row = 0; row <= 8; ++row) {
        for (int column = 0; column < 10; ++column) {
            const QTableWidgetItem *item = grid.item(row, column);
            QCOMPARE(item->textAlignment(), int(Qt::AlignCenter));
            // Arial, or the face the system shows for it.
            QCOMPARE(QFontInfo(item->font()).family(), QFontInfo(QFont(QStringLiteral("Arial"))).family());
            QCOMPARE(item->font().pointSize(), 12);
            QVERIFY(item->font().bold());
            QVERIFY(!item->font().underline());
            QVERIFY(!isMarked(grid, row, column));
            QCOMPARE(item->background().color(), QColor(255, 224, 192)); // peach
        }
    }
    for (int column = 0; column < 10; ++column)
        QVERIFY(grid.item(9, column)->text().isEmpty());
    // The fill leaves the cell of 90 current.
    QCOMPARE(grid.currentCell().row, 8);
    QCOMPARE(grid.currentCell().column, 9);
}

void TestBoard::markGivesThePurpleEmphasisAndKeepsThePlainFormat()
{
    BoardGrid grid;
    grid.setrowcolwidth();
    grid.clear();
    grid.fill();
    grid.marknumber(10);
    QVERIFY(isMarked(grid, 0, 9));
    const QTableWidgetItem *item = grid.item(0, 9);
    QCOMPARE(item->foreground().color(), QColor(128, 0, 128));
    QVERIFY(item->font().underline());
    QVERIFY(item->font().bold());
    QCOMPARE(item->font().pointSize(), 12);
    QCOMPARE(item->text(), QStringLiteral(" 10"));
    QCOMPARE(item->textAlignment(), int(Qt::AlignCenter));
    QCOMPARE(grid.currentCell().row, 0);
    QCOMPARE(grid.currentCell().column, 9);
    QVERIFY(!isMarked(grid, 1, 0)); // 11, the cell after it
}

void TestBoard::marksStayUntilTheBoardIsCleared()
{
    BoardGrid grid;
    grid.setrowcolwidth();
    grid.clear();
    grid.fill();
    for (int n = 1; n <= 90; ++n)
        grid.marknumber(std::int16_t(n));
    for (int row = 0; row <= 8; ++row)
        for (int column = 0; column < 10; ++column)
            QVERIFY(isMarked(grid, row, column));
    QCOMPARE(grid.currentCell().row, 8);
    QCOMPARE(grid.currentCell().column, 9);

    grid.clear();
    for (int row = 0; row < 10; ++row) {
        for (int column = 0; column < 10; ++column) {
            QVERIFY(!isMarked(grid, row, column));
            QVERIFY(grid.item(row, column)->text().isEmpty());
        }
    }
    grid.fill();
    QVERIFY(!isMarked(grid, 4, 4));
    QCOMPARE(grid.item(4, 4)->text(), QStringLiteral(" 45"));
}

void TestBoard::sizesSurviveManyNewGames()
{
    BoardGrid grid;
    grid.setrowcolwidth();
    for (int game = 0; game < 50; ++game) {
        grid.clear();
        grid.fill();
        grid.marknumber(std::int16_t(game % 90 + 1));
    }
    for (int i = 0; i < 10; ++i) {
        QCOMPARE(grid.rowHeight(i), 43); // 650 twips
        QCOMPARE(grid.columnWidth(i), 43);
    }
}

void TestBoard::userCannotMoveTheCurrentCell()
{
    BoardGrid grid;
    grid.resize(433, 393);
    grid.setrowcolwidth();
    grid.clear();
    grid.fill();
    grid.marknumber(45);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, QPoint(10, 10));
    QTest::keyClick(&grid, Qt::Key_Down);
    QCOMPARE(grid.currentCell().row, 4);
    QCOMPARE(grid.currentCell().column, 4);
}

// The button holds the focus; a cell that said it had it too drew a reader starting up
// onto the board.
void TestBoard::noCellSaysItHasTheFocus()
{
    BoardGrid grid;
    grid.setrowcolwidth();
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QAccessibleInterface *board = QAccessible::queryAccessibleInterface(&grid);
    auto focusedCells = [board] {
        int focused = 0;
        for (int row = 0; row < 10; ++row)
            for (int column = 0; column < 10; ++column)
                focused += board->tableInterface()->cellAt(row, column)->state().focused ? 1 : 0;
        return focused;
    };
    grid.clear();
    grid.fill();
    QCOMPARE(focusedCells(), 0);
    QCOMPARE(grid.currentCell().row, 8);
    grid.marknumber(47);
    QCOMPARE(focusedCells(), 0);
    QCOMPARE(grid.currentCell().column, 6);
}

QTEST_MAIN(TestBoard)
#include "tst_board.moc"
