#include "windowrig.h"

#include "phoneclaims.h"
#include "phonesharing.h"
#include "recordfile.h"

#include <QAccessible>
#include <QClipboard>
#include <QListWidget>
#include <QSet>
#include <QTemporaryDir>

#include <QLabel>
#include <QMenuBar>
#include <QStyle>

#include <cmath>

class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void clientAreaAndControlsSitAtTheirPlaces_data();
    void clientAreaAndControlsSitAtTheirPlaces();
    void windowIsFixedWithItsCaptionAndIcon();
    void controlsStartAsDesigned();
    void everyKeyAndLetterRunsOneCommand();
    void spaceAfterStartUpPressesStart();
    void openingAMenuWhileCallingPauses_data();
    void openingAMenuWhileCallingPauses();
    void exitNoLeavesTheGameResumableWhereItStopped();
    void exitYesEndsTheProgram();
    void interruptedGameResumesAsItWasAndWaitsForStart();
    void commandsWithoutActionChangeNothing();
    void muteMenuTogglesItsCheckMark();
    void everyControlHasAnAccessibleName();
    void whatDidIMissSaysWhatWaitsFromTheGameAsItIs();
    void looksAsDesignedAfterAFewCalls();
    void boardReadableUnderEveryPalette_data();
    void boardReadableUnderEveryPalette();
};

void TestMainWindow::clientAreaAndControlsSitAtTheirPlaces_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("place");
    // Twips divided by 15.
    QTest::newRow("lblKalvor") << QStringLiteral("lblKalvor") << QRect(16, 8, 441, 49);
    QTest::newRow("txtCtr") << QStringLiteral("txtCtr") << QRect(416, 8, 33, 27);
    QTest::newRow("grdTable") << QStringLiteral("grdTable") << QRect(16, 48, 433, 393);
    QTest::newRow("lblnumber") << QStringLiteral("lblnumber") << QRect(16, 456, 233, 25);
    QTest::newRow("txtgen") << QStringLiteral("txtgen") << QRect(264, 456, 57, 25);
    QTest::newRow("cmdStart") << QStringLiteral("cmdStart") << QRect(360, 456, 89, 25);
}

void TestMainWindow::clientAreaAndControlsSitAtTheirPlaces()
{
    QFETCH(QString, name);
    QFETCH(QRect, place);
    WindowRig rig;
    QCOMPARE(rig.window.centralWidget()->size(), QSize(469, 498));
    auto *control = rig.window.centralWidget()->findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(), place);
}

void TestMainWindow::windowIsFixedWithItsCaptionAndIcon()
{
    WindowRig rig;
    QCOMPARE(rig.window.windowTitle(), QStringLiteral("The Tabro-Kalvor"));
    QCOMPARE(rig.window.minimumSize(), rig.window.maximumSize());
    QCOMPARE(rig.window.height(), 498 + rig.window.menuBar()->height());
    const QIcon icon = rig.window.windowIcon();
    QVERIFY(!icon.isNull());
    QCOMPARE(icon.availableSizes(), (QList<QSize>{QSize(16, 16), QSize(32, 32)}));
}

void TestMainWindow::controlsStartAsDesigned()
{
    WindowRig rig;
    auto *title = rig.find<QLabel>("lblKalvor");
    QCOMPARE(title->text(), QStringLiteral("The Tabro - Kalvor"));
    QCOMPARE(title->font().pointSizeF(), 21.75);
    QVERIFY(title->font().bold());
    // Arial, or a face made to its metrics where Arial is not installed.
    QVERIFY2(QStringList({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("Arimo")})
                 .contains(QFontInfo(title->font()).family()),
             qPrintable(QFontInfo(title->font()).family()));
    auto *caption = rig.find<QLabel>("lblnumber");
    QCOMPARE(caption->text(), QStringLiteral("The number called is :"));
    QCOMPARE(caption->font().pointSizeF(), 15.75);
    QCOMPARE(rig.cmdStart()->text(), QStringLiteral("&Start"));
    QVERIFY(rig.txtgen()->text().isEmpty());
    QVERIFY(rig.txtCtr()->text().isEmpty());
    QCOMPARE(rig.txtgen()->alignment(), Qt::AlignCenter);
    QCOMPARE(rig.txtgen()->font().pointSize(), 12);
    for (int row = 0; row < 10; ++row)
        for (int column = 0; column < 10; ++column)
            QVERIFY(!isMarked(*rig.board(), row, column));
}

// A key or an underlined letter taken twice does nothing at once in Qt (the letter only
// moves between the items that share it), so each must belong to one command: in the menu
// bar, in each menu, and for the keys across the whole window.
void TestMainWindow::everyKeyAndLetterRunsOneCommand()
{
    WindowRig rig;
    auto letterOf = [](const QString &caption) {
        const qsizetype at = caption.indexOf(QLatin1Char('&'));
        return at >= 0 && at + 1 < caption.size() ? caption.at(at + 1).toLower() : QChar();
    };
    auto lettersUnique = [&](const QList<QAction *> &actions, const QString &where) {
        QSet<QChar> letters;
        for (QAction *action : actions) {
            if (!action->isVisible() || action->isSeparator())
                continue;
            const QChar letter = letterOf(action->text());
            QVERIFY2(!letter.isNull(), qPrintable(where + QStringLiteral(": no letter in ") + action->text()));
            QVERIFY2(!letters.contains(letter), qPrintable(where + QStringLiteral(": ") + action->text()));
            letters.insert(letter);
        }
    };
    lettersUnique(rig.window.menuBar()->actions(), QStringLiteral("menu bar"));
    for (QAction *item : rig.window.menuBar()->actions())
        lettersUnique(item->menu()->actions(), item->text());
    QSet<QKeySequence> keys;
    for (QAction *action : rig.window.findChildren<QAction *>()) {
        if (action->shortcut().isEmpty())
            continue;
        QVERIFY2(!keys.contains(action->shortcut()), qPrintable(action->shortcut().toString()));
        keys.insert(action->shortcut());
    }
    QVERIFY(keys.size() >= 10);
}

void TestMainWindow::spaceAfterStartUpPressesStart()
{
    WindowRig rig;
    QVERIFY(rig.cmdStart()->hasFocus());
    QTest::keyClick(rig.cmdStart(), Qt::Key_Space);
    QCOMPARE(rig.cmdStart()->text(), QStringLiteral("&Stop"));
    QCOMPARE(rig.state().running, std::int16_t(1));
}

void TestMainWindow::openingAMenuWhileCallingPauses_data()
{
    QTest::addColumn<QString>("menu");
    QTest::newRow("Options") << QStringLiteral("mnuOptions");
    QTest::newRow("Help") << QStringLiteral("mnuHelp");
    QTest::newRow("Game") << QStringLiteral("mnuGame");
}

void TestMainWindow::openingAMenuWhileCallingPauses()
{
    QFETCH(QString, menu);
    WindowRig rig;
    QTest::mouseClick(rig.cmdStart(), Qt::LeftButton);
    rig.tick(3);
    rig.openMenu(menu.toLatin1().constData());
    QVERIFY(!timerOf(rig.game()).isActive());
    QCOMPARE(rig.cmdStart()->text(), QStringLiteral("&Start"));
    QTest::mouseClick(rig.cmdStart(), Qt::LeftButton);
    QVERIFY(timerOf(rig.game()).isActive());
    rig.tick();
    QCOMPARE(rig.txtCtr()->text(), QStringLiteral(" 4"));
    QCOMPARE(rig.txtgen()->text(), QString::number(rig.state().callorder[4]));
}

void TestMainWindow::exitNoLeavesTheGameResumableWhereItStopped()
{
    WindowRig rig;
    QTest::mouseClick(rig.cmdStart(), Qt::LeftButton);
    rig.tick(7);
    rig.openMenu("mnuOptions");
    rig.question.answers = {false};
    rig.action("mnuExit")->trigger();
    QCOMPARE(rig.question.asked, QStringList{QStringLiteral("Sure You Wanna Quit|Quitting Game")});
    QCOMPARE(rig.quitter.ended, 0);
    QVERIFY(rig.window.isVisible());
    QVERIFY(!timerOf(rig.game()).isActive());
    QCOMPARE(rig.cmdStart()->text(), QStringLiteral("&Start"));
    QTest::mouseClick(rig.cmdStart(), Qt::LeftButton);
    rig.tick();
    QCOMPARE(rig.txtCtr()->text(), QStringLiteral(" 8"));
    QCOMPARE(rig.txtgen()->text(), QString::number(rig.state().callorder[8]));
}

void TestMainWindow::exitYesEndsTheProgram()
{
    WindowRig rig;
    rig.action("mnuExit")->trigger();
    QCOMPARE(rig.quitter.ended, 1);
    rig.window.close(); // the frame's close ends the program too, without asking again
    QCOMPARE(rig.question.asked.size(), 1);
}

void TestMainWindow::commandsWithoutActionChangeNothing()
{
    WindowRig rig;
    QTest::mouseClick(rig.cmdStart(), Qt::LeftButton);
    rig.tick(2);
    const GameState before = rig.state();
    const auto windows = QApplication::topLevelWidgets().size();
    rig.action("mnuScan")->trigger();
    rig.action("mnuContents")->trigger();
    QCOMPARE(rig.state().callpos, before.callpos);
    QCOMPARE(rig.state().running, before.running);
    QCOMPARE(QApplication::topLevelWidgets().size(), windows);
    QVERIFY(timerOf(rig.game()).isActive());
}

void TestMainWindow::muteMenuTogglesItsCheckMark()
{
    WindowRig rig;
    QAction *mute = rig.action("mnuMute");
    mute->trigger();
    QVERIFY(mute->isChecked());
    QCOMPARE(rig.state().soundflag, std::int16_t(0));
    mute->trigger();
    QVERIFY(!mute->isChecked());
    QCOMPARE(rig.state().soundflag, std::int16_t(1));
}

// What a screen reader is told: every control has a name, the button's follows what a
// press will do, a called cell says so, and the focus stays on the button.
void TestMainWindow::everyControlHasAnAccessibleName()
{
    WindowRig rig;
    auto name = [](QObject *object) { return QAccessible::queryAccessibleInterface(object)->text(QAccessible::Name); };
    const auto controls = rig.window.centralWidget()->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(controls.size(), 7);
    for (QWidget *control : controls) {
        if (control->isVisible()) // named, or labelled by a caption beside it
            QVERIFY2(!name(control).isEmpty()
                         || !QAccessible::queryAccessibleInterface(control)->relations(QAccessible::Label).isEmpty(),
                     qPrintable(control->objectName()));
    }
    QCOMPARE(name(rig.cmdStart()), QStringLiteral("Start"));
    rig.tick(); // nothing called yet
    rig.action("mnuMute")->trigger(); // the reader hears the numbers while the voice is off
    QTest::mouseClick(rig.cmdStart(), Qt::LeftButton);
    QCOMPARE(name(rig.cmdStart()), QStringLiteral("Stop"));
    rig.tick(2);
    const int called = rig.txtgen()->text().toInt();
    QAccessibleInterface *board = QAccessible::queryAccessibleInterface(rig.board());
    const QAccessibleInterface *cell = board->tableInterface()->cellAt((called - 1) / 10, (called - 1) % 10);
    QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("%1, called").arg(called));
    // The number alone, in a notification of a status bar, which readers speak without
    // naming the role first.
    const auto notices = rig.window.findChildren<QWidget *>(QStringLiteral("readerNotice"));
    QCOMPARE(notices.size(), 4); // "Sound off", "Calling" and the two calls
    QCOMPARE(name(notices.at(1)), QStringLiteral("Calling"));
    QWidget *notice = notices.at(3);
    QCOMPARE(QAccessible::queryAccessibleInterface(notice)->role(), QAccessible::Notification);
    QCOMPARE(QAccessible::queryAccessibleInterface(notice)->parent()->role(), QAccessible::StatusBar);
    QCOMPARE(name(notice), QString::number(called));
    QVERIFY(notice->isVisible() && notice->size().isEmpty()); // heard, never seen
    QVERIFY(!rig.board()->hasFocus());
    // Reached with Tab, the number box is read after its label as the number alone; the
    // zoom window, opened, says its number after its caption.
    QCOMPARE(name(rig.txtgen()), QString::number(called));
    QCOMPARE(name(rig.txtCtr()), QStringLiteral("Numbers called 2"));
    rig.action("mnuMute")->trigger(); // sound on: the voice says the number, the reader is spared
    rig.window.mnuZoom_Click();
    rig.tick();
    QCOMPARE(rig.window.findChildren<QWidget *>(QStringLiteral("readerNotice")).size(), 5); // "Sound on" only
    QCOMPARE(QAccessible::queryAccessibleInterface(rig.zoomWindow())->text(QAccessible::Description), rig.txtgen()->text());
}

// F6, what did I miss: the claims waiting (the newest with its code spelled), the game not
// kept, where the game stands; from the game as it is now, so nothing settled is said.
void TestMainWindow::whatDidIMissSaysWhatWaitsFromTheGameAsItIs()
{
    QTemporaryDir folder;
    QFile blocker(folder.filePath(QStringLiteral("tabro-kalvor")));
    QVERIFY(blocker.open(QIODevice::WriteOnly)); // a file where the record's folder should be
    RecordFile keeper(folder.path() + QStringLiteral("/tabro-kalvor"));
    WindowRig rig;
    auto missed = [&rig] {
        QTest::keyClick(rig.cmdStart(), Qt::Key_F6);
        const auto notices = rig.window.findChildren<QWidget *>(QStringLiteral("readerNotice"));
        return notices.isEmpty() ? QString() : notices.last()->accessibleName();
    };
    QCOMPARE(missed(), QStringLiteral("Nothing missed. Waiting for Start, no number called yet."));
    QTest::mouseClick(rig.cmdStart(), Qt::LeftButton);
    rig.tick(3);
    const int last = rig.game().calls().back().number;
    QCOMPARE(missed(), QStringLiteral("Nothing missed. Calling, 3 numbers called, the last was %1.").arg(last));
    rig.game().setKeeper(&keeper);
    rig.tick();
    QTRY_VERIFY(!rig.game().notKept().isEmpty());
    QTest::mouseClick(rig.cmdStart(), Qt::LeftButton); // stopped
    PhoneClaims &claims = rig.window.findChild<PhoneSharing *>()->claims();
    QVERIFY(claims.add({QStringLiteral("TC6-222A-V"), Prize::TopLine, 4, rig.game().identity(), QStringLiteral("10.0.0.1"), 0}));
    QVERIFY(claims.add({QStringLiteral("8QB-2222-V"), Prize::BottomLine, 4, rig.game().identity(), QStringLiteral("10.0.0.2"), 0}));
    const QString said = missed();
    QVERIFY2(said.startsWith(QStringLiteral("2 claims from phones wait, the newest Bottom Line, ticket 8 Q B, 2 2 2 2, V. "
                                            "This game is not being kept, so a crash would lose it, ")),
             qPrintable(said));
    QVERIFY2(said.endsWith(QStringLiteral(". Stopped, 4 numbers called, the last was %1.").arg(rig.game().calls().back().number)),
             qPrintable(said));
    rig.game().setKeeper(nullptr);
}

void TestMainWindow::looksAsDesignedAfterAFewCalls()
{
    WindowRig rig;
    QTest::mouseClick(rig.cmdStart(), Qt::LeftButton);
    rig.tick(5);
    const QImage shot = rig.window.centralWidget()->grab().toImage();
    const QString artifacts = qEnvironmentVariable("TK_ARTIFACTS");
    if (!artifacts.isEmpty())
        shot.save(artifacts + QStringLiteral("/main-window-grab.png"));

    const QColor purple(128, 0, 128);
    const QColor peach(255, 224, 192);
    auto purplePixels = [&](const QRect &area) {
        int count = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (shot.pixelColor(x, y) == purple)
                    ++count;
        return count;
    };
    QVERIFY(purplePixels(QRect(16, 8, 380, 49)) > 100); // the title
    QVERIFY(purplePixels(QRect(16, 456, 233, 25)) > 50); // "The number called is :"

    const int grid = 48 + 1;
    auto cellArea = [&](int n) {
        const int row = (n - 1) / 10;
        const int column = (n - 1) % 10;
        return QRect(16 + 1 + column * 43 + 2, grid + row * 43 + 2, 38, 38);
    };
    for (int i = 1; i <= 5; ++i) {
        const int called = rig.state().callorder[i];
        QVERIFY2(purplePixels(cellArea(called)) > 20, qPrintable(QString::number(called)));
        QCOMPARE(shot.pixelColor(cellArea(called).topLeft()), peach);
    }
    const int uncalled = rig.state().callorder[6];
    QCOMPARE(purplePixels(cellArea(uncalled)), 0);
    QCOMPARE(shot.pixelColor(cellArea(uncalled).topLeft()), peach);
    // The grid lines are light grey whatever the style would choose.
    QCOMPARE(shot.pixelColor(16 + 1 + 42, grid + 20), QColor(192, 192, 192));
    QCOMPARE(shot.pixelColor(16 + 20, grid + 42), QColor(192, 192, 192));
}

namespace {
// The strongest contrast between an area's ground (its corner pixel) and any pixel of it.
double contrastIn(const QImage &shot, const QRect &area)
{
    const double ground = luminance(shot.pixel(area.topLeft()));
    double best = 1;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const double ink = luminance(shot.pixel(x, y));
            best = std::max(best, (std::max(ink, ground) + 0.05) / (std::min(ink, ground) + 0.05));
        }
    }
    return best;
}
} // namespace

void TestMainWindow::boardReadableUnderEveryPalette_data()
{
    QTest::addColumn<QString>("style");
    QTest::addColumn<QPalette>("palette");
    QTest::addColumn<QString>("sheet");
    QPalette dark;
    for (auto [role, colour] : {std::pair{QPalette::Window, QColor(45, 45, 45)}, {QPalette::WindowText, QColor(224, 224, 224)},
                                {QPalette::Base, QColor(30, 30, 30)}, {QPalette::Text, QColor(220, 220, 220)},
                                {QPalette::Button, QColor(53, 53, 53)}, {QPalette::ButtonText, QColor(230, 230, 230)}})
        dark.setColor(role, colour);
    QTest::newRow("default") << QString() << QPalette() << QString();
    QTest::newRow("dark palette") << QString() << dark << QString();
    QTest::newRow("high contrast") << QStringLiteral("Fusion") << QPalette()
                                   << QStringLiteral("* { color: yellow; background-color: black; }");
}

// Every number on the board, called or not and the current cell too, stands at least
// 4.5:1 against its cell whatever the desktop's colours, and so do the window's captions.
void TestMainWindow::boardReadableUnderEveryPalette()
{
    QFETCH(QString, style);
    QFETCH(QPalette, palette);
    QFETCH(QString, sheet);
    const QString originalStyle = QApplication::style()->name();
    if (!style.isEmpty())
        QApplication::setStyle(style);
    QApplication::setPalette(palette);
    qApp->setStyleSheet(sheet);
    {
        WindowRig rig;
        const QPoint board = rig.board()->mapTo(rig.window.centralWidget(), QPoint(1, 1));
        // Inside the cell's borders: its ground and its number only.
        auto cellArea = [&](int n) { return QRect(board + QPoint((n - 1) % 10 * 43 + 3, (n - 1) / 10 * 43 + 3), QSize(36, 36)); };
        for (int calls : {0, 5}) {
            if (calls)
                QTest::mouseClick(rig.cmdStart(), Qt::LeftButton);
            rig.tick(calls);
            const QImage shot = rig.window.centralWidget()->grab().toImage();
            const QString artifacts = qEnvironmentVariable("TK_ARTIFACTS");
            if (!artifacts.isEmpty())
                shot.save(QStringLiteral("%1/palette-%2-%3.png").arg(artifacts, QLatin1String(QTest::currentDataTag())).arg(calls));
            double lowest = 100;
            for (int n = 1; n <= 90; ++n) {
                lowest = std::min(lowest, contrastIn(shot, cellArea(n)));
                QVERIFY2(contrastIn(shot, cellArea(n)) >= 4.5, qPrintable(QStringLiteral("%1 after %2 calls").arg(n).arg(calls)));
            }
            qInfo("%s, %d calls: the faintest number stands %.1f:1 against its cell", QTest::currentDataTag(), calls, lowest);
            QVERIFY(contrastIn(shot, rig.find<QLabel>("lblnumber")->geometry()) >= 4.5);
        }
    }
    qApp->setStyleSheet(QString());
    QApplication::setPalette(QPalette());
    QApplication::setStyle(originalStyle);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"

// A game left by a crash comes back whole: board, number, count, sound switch, interval
// and the calls so far; nothing is called until Start, then the order goes on.
void TestMainWindow::interruptedGameResumesAsItWasAndWaitsForStart()
{
    QTemporaryDir folder;
    std::vector<Call> before;
    GameState order;
    {
        RecordFile keeper(folder.path());
        WindowRig rig;
        rig.game().setKeeper(&keeper);
        rig.game().setInterval(3);
        rig.window.findChild<QAction *>(QStringLiteral("mnuMute"))->trigger();
        rig.cmdStart()->click();
        rig.tick(12);
        before = rig.game().calls();
        order = rig.state();
    } // the program dies here, its record on disk

    RecordFile keeper(folder.path());
    WindowRig rig;
    rig.game().setKeeper(&keeper);
    QVERIFY(rig.game().offerResume());
    QCOMPARE(rig.question.asked.size(), 1);
    QVERIFY2(rig.question.asked[0].contains(QStringLiteral("12 numbers called, the last was %1.")
                                                .arg(before.back().number)),
             qPrintable(rig.question.asked[0]));
    QCOMPARE(rig.txtgen()->text(), QString::number(before.back().number));
    QCOMPARE(rig.txtCtr()->text(), QStringLiteral(" 12"));
    QVERIFY(rig.action("mnuMute")->isChecked());
    QCOMPARE(timerOf(rig.game()).interval(), 3000);
    QCOMPARE(rig.cmdStart()->text(), QStringLiteral("&Start"));
    int marked = 0;
    for (int row = 0; row < 9; ++row)
        for (int column = 0; column < 10; ++column)
            marked += isMarked(*rig.board(), row, column) ? 1 : 0;
    QCOMPARE(marked, 12);
    QVERIFY(rig.game().calls() == before);

    rig.action("mnuCalls")->trigger();
    auto *list = rig.window.findChild<QListWidget *>(QStringLiteral("lstCalls"));
    QVERIFY(list);
    QCOMPARE(list->count(), 12);

    rig.tick(); // waits for Start
    QCOMPARE(rig.game().calls().size(), std::size_t(12));
    rig.cmdStart()->click();
    rig.tick();
    QCOMPARE(rig.game().calls().back().number, order.callorder[13]);
    QCOMPARE(list->count(), 13); // the list follows the game
    rig.window.findChild<QPushButton *>(QStringLiteral("cmdCopy"))->click();
    QCOMPARE(QGuiApplication::clipboard()->text().count(QLatin1Char('\n')), 13);
}
