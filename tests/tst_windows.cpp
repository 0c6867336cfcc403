#include "frmcalls.h"
#include "frmprinttickets.h"
#include "windowrig.h"

#include "recordfile.h"

#include <QAccessible>
#include <QClipboard>
#include <QComboBox>
#include <QListWidget>
#include <QRegularExpression>
#include <QSpinBox>
#include <QAbstractButton>
#include <QCheckBox>
#include <QTemporaryDir>

#include <QLabel>
#include <QPointer>
#include <QSlider>

namespace {
template<typename T> int countOpen()
{
    int count = 0;
    for (QWidget *window : QApplication::topLevelWidgets())
        if (qobject_cast<T *>(window) && window->isVisible())
            ++count;
    return count;
}

// The news a window's reader notices hold for a screen reader now.
QStringList toldBy(QWidget *window)
{
    QStringList told;
    for (QWidget *notice : window->findChildren<QWidget *>(QStringLiteral("readerNotice")))
        if (notice->isVisible())
            told << notice->accessibleName();
    return told;
}

QPoint centreOf(QWidget *window)
{
    return window->frameGeometry().center();
}
}

class TestWindows : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void setTimeOkAppliesTheChosenSeconds_data();
    void setTimeOkAppliesTheChosenSeconds();
    void setTimeCancelAndOpeningLeaveThePeriod();
    void setTimeReopensAtTwoAndNeverTwice();
    void setTimeLooksAsDesigned();
    void zoomOpensEmptyAndFollowsTheNextCall();
    void secondZoomStopsFollowing();
    void zoomClosedWhileFollowingIsRecreatedHidden();
    void zoomClosedByANewGameIsMadeAgainForTheNextCallAtOnce();
    void zoomNumberFocusCopiesTheCalledNumber();
    void newGameClosesTheZoomAndKeepsTheFlag();
    void aboutGreetsByClickAndKey();
    void aboutComesToTheFrontInsteadOfTwice();
    void windowsOpenCentredOnTheMainWindow();
    void printTicketsMakesTheChosenBook();
    void contactLineReadableOnADarkDesktop();
    void resumingIsToldInOneLine_data();
    void resumingIsToldInOneLine();
    void callsBehindTheMainWindowKeepTheirLine();
    void callsCopySaysHowManyAndEscapeCloses();
    void beyondTheHallWindowsCloseOnEscape_data();
    void beyondTheHallWindowsCloseOnEscape();
    void tabReachesEveryControl_data();
    void tabReachesEveryControl();
    void altSIsTheMainWindowsStartAlone_data();
    void altSIsTheMainWindowsStartAlone();
};

void TestWindows::setTimeOkAppliesTheChosenSeconds_data()
{
    QTest::addColumn<int>("seconds");
    QTest::newRow("1 s") << 1;
    QTest::newRow("3 s") << 3;
    QTest::newRow("5 s") << 5;
}

void TestWindows::setTimeOkAppliesTheChosenSeconds()
{
    QFETCH(int, seconds);
    WindowRig rig;
    rig.action("mnuStime")->trigger();
    frmSetTime *dialog = rig.setTimeWindow();
    QVERIFY(dialog && dialog->isVisible());
    slider(dialog)->setValue(seconds);
    QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
    QCOMPARE(timerOf(rig.game()).interval(), seconds * 1000);
    QTRY_VERIFY(!rig.setTimeWindow());
}

void TestWindows::setTimeCancelAndOpeningLeaveThePeriod()
{
    WindowRig rig;
    rig.action("mnuStime")->trigger();
    QCOMPARE(timerOf(rig.game()).interval(), Game::StartInterval); // opening alone applies nothing
    frmSetTime *dialog = rig.setTimeWindow();
    slider(dialog)->setValue(5);
    QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("cmdCancel")), Qt::LeftButton);
    QCOMPARE(timerOf(rig.game()).interval(), Game::StartInterval);
    QTRY_VERIFY(!rig.setTimeWindow());
}

void TestWindows::setTimeReopensAtTwoAndNeverTwice()
{
    WindowRig rig;
    rig.action("mnuStime")->trigger();
    frmSetTime *first = rig.setTimeWindow();
    slider(first)->setValue(4);
    rig.action("mnuStime")->trigger();
    QCOMPARE(rig.setTimeWindow(), first);
    QCOMPARE(slider(first)->value(), 4); // brought to the front unchanged
    QCOMPARE(countOpen<frmSetTime>(), 1);
    first->cmdOK_Click();
    QTRY_VERIFY(!rig.setTimeWindow());
    rig.action("mnuStime")->trigger();
    QCOMPARE(slider(rig.setTimeWindow())->value(), 2);
    QCOMPARE(timerOf(rig.game()).interval(), 4000);
}

void TestWindows::setTimeLooksAsDesigned()
{
    WindowRig rig;
    rig.action("mnuStime")->trigger();
    frmSetTime *dialog = rig.setTimeWindow();
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Setting The Time Interval"));
    QCOMPARE(dialog->size(), QSize(335, 118));
    QSlider *slider = ::slider(dialog);
    QCOMPARE(slider->minimum(), 1);
    QCOMPARE(slider->maximum(), 5);
    QCOMPARE(slider->singleStep(), 1);
    QCOMPARE(slider->tickInterval(), 1);
    QCOMPARE(slider->tickPosition(), QSlider::TicksBelow);
    QCOMPARE(slider->geometry(), QRect(56, 40, 225, 25));
    QCOMPARE(dialog->findChild<QLabel *>(QStringLiteral("lblDisp"))->text(),
             QStringLiteral("Set the Time Limit in (Secs) :Default 2 secs"));
    QVERIFY(slider->hasFocus() || QApplication::focusWidget() == slider || dialog->focusWidget() == slider);
    // Enter alone does not press OK.
    QTest::keyClick(slider, Qt::Key_Return);
    QVERIFY(rig.setTimeWindow());
    QCOMPARE(timerOf(rig.game()).interval(), Game::StartInterval);
}

void TestWindows::zoomOpensEmptyAndFollowsTheNextCall()
{
    WindowRig rig;
    QTest::mouseClick(rig.cmdStart(), Qt::LeftButton);
    rig.tick();
    rig.action("mnuZoom")->trigger();
    frmZoom *zoom = rig.zoomWindow();
    QVERIFY(zoom && zoom->isVisible());
    QCOMPARE(zoom->windowTitle(), QStringLiteral("The Zoomed Number"));
    QCOMPARE(zoom->size(), QSize(312, 212));
    QCOMPARE(zoom->minimumSize(), zoom->maximumSize());
    QVERIFY(zoom->number().isEmpty());
    QCOMPARE(zoom->focusWidget(), zoom->findChild<QPushButton *>(QStringLiteral("cmdExit")));
    QCOMPARE(rig.state().zoomflag, 1);
    rig.tick();
    QCOMPARE(zoom->number(), QString::number(rig.state().callorder[2]));
    auto *box = zoom->findChild<QLineEdit *>(QStringLiteral("txtNumber"));
    QCOMPARE(box->font().pointSize(), 72);
    QCOMPARE(box->palette().color(QPalette::Text), QColor(128, 0, 128));
    QCOMPARE(box->palette().color(QPalette::Base), QColor(255, 224, 192));
}

void TestWindows::secondZoomStopsFollowing()
{
    WindowRig rig;
    QTest::mouseClick(rig.cmdStart(), Qt::LeftButton);
    rig.action("mnuZoom")->trigger();
    rig.tick();
    frmZoom *zoom = rig.zoomWindow();
    rig.action("mnuZoom")->trigger();
    QCOMPARE(rig.zoomWindow(), zoom);
    QCOMPARE(rig.state().zoomflag, 0);
    QCOMPARE(countOpen<frmZoom>(), 1);
    rig.tick();
    QCOMPARE(zoom->number(), QString::number(rig.state().callorder[1]));
    rig.action("mnuZoom")->trigger();
    QCOMPARE(rig.state().zoomflag, 1);
    rig.tick();
    QCOMPARE(zoom->number(), QString::number(rig.state().callorder[3]));
}

void TestWindows::zoomClosedWhileFollowingIsRecreatedHidden()
{
    WindowRig rig;
    QTest::mouseClick(rig.cmdStart(), Qt::LeftButton);
    rig.action("mnuZoom")->trigger();
    QTest::mouseClick(rig.zoomWindow()->findChild<QPushButton *>(QStringLiteral("cmdExit")), Qt::LeftButton);
    QTRY_VERIFY(!rig.zoomWindow());
    QCOMPARE(rig.state().zoomflag, 1);
    rig.tick();
    frmZoom *hidden = rig.zoomWindow();
    QVERIFY(hidden && !hidden->isVisible());
    QCOMPARE(hidden->number(), QString::number(rig.state().callorder[1]));
    rig.action("mnuZoom")->trigger();
    QCOMPARE(rig.zoomWindow(), hidden);
    QVERIFY(hidden->isVisible());
    QCOMPARE(hidden->number(), QString::number(rig.state().callorder[1]));
    QCOMPARE(rig.state().zoomflag, 0);
}

// The closed window is discarded later by the event loop; a call before that must not
// write into the window on its way out, or the number is lost.
void TestWindows::zoomClosedByANewGameIsMadeAgainForTheNextCallAtOnce()
{
    WindowRig rig;
    rig.action("mnuZoom")->trigger();
    QPointer<frmZoom> first = rig.zoomWindow();
    QTest::mouseClick(rig.cmdStart(), Qt::LeftButton);
    rig.tick(90); // Yes: the new game closes the zoom window
    QTest::mouseClick(rig.cmdStart(), Qt::LeftButton);
    rig.tick();
    frmZoom *second = rig.zoomWindow();
    QVERIFY(second && second != first.data());
    QVERIFY(!second->isVisible());
    QCOMPARE(second->number(), QString::number(rig.state().callorder[1]));
    QTRY_VERIFY(!first); // the old one is gone once the event loop runs
}

void TestWindows::zoomNumberFocusCopiesTheCalledNumber()
{
    WindowRig rig;
    rig.action("mnuZoom")->trigger();
    frmZoom *zoom = rig.zoomWindow();
    rig.game().stopexec();
    QTest::mouseClick(rig.cmdStart(), Qt::LeftButton);
    rig.txtgen()->setText(QStringLiteral("63"));
    zoom->txtNumber_GotFocus();
    QCOMPARE(zoom->number(), QStringLiteral("63"));
}

void TestWindows::newGameClosesTheZoomAndKeepsTheFlag()
{
    WindowRig rig;
    rig.action("mnuZoom")->trigger();
    QTest::mouseClick(rig.cmdStart(), Qt::LeftButton);
    rig.tick(90); // the question is answered Yes
    QTRY_VERIFY(!rig.zoomWindow());
    QCOMPARE(rig.state().zoomflag, 1);
    QCOMPARE(rig.cmdStart()->text(), QStringLiteral("&Start"));
}

void TestWindows::aboutGreetsByClickAndKey()
{
    WindowRig rig;
    rig.action("mnuAbout")->trigger();
    frmAbout *about = rig.aboutWindow();
    QVERIFY(about && about->isVisible());
    QCOMPARE(about->windowTitle(), QStringLiteral("About Tabro-Kalvor"));
    QCOMPARE(about->findChild<QLabel *>(QStringLiteral("Label1"))->text(), QStringLiteral("Version 1.00  Build(1156)"));
    QCOMPARE(about->findChild<QLabel *>(QStringLiteral("Image1"))->pixmap().size(), QSize(130, 150));
    auto *mail = about->findChild<QLabel *>(QStringLiteral("lblMail"));
    QCOMPARE(mail->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(mail->palette().color(QPalette::WindowText), QColor(0, 0, 192));
    QTest::mouseClick(mail, Qt::LeftButton);
    QTest::mouseClick(mail, Qt::LeftButton);
    // From the keyboard too: the line takes the focus after OK, and Space or Enter greet.
    QCOMPARE(mail->focusPolicy(), Qt::StrongFocus);
    QTest::keyClick(mail, Qt::Key_Space);
    QTest::keyClick(mail, Qt::Key_Return);
    QCOMPARE(rig.greeting.log, QStringList(4, QStringLiteral("greet")));
    QVERIFY(rig.voice.log.isEmpty());
    QTest::mouseClick(about->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
    QTRY_VERIFY(!rig.aboutWindow());
}

void TestWindows::aboutComesToTheFrontInsteadOfTwice()
{
    WindowRig rig;
    rig.action("mnuAbout")->trigger();
    frmAbout *first = rig.aboutWindow();
    rig.action("mnuAbout")->trigger();
    QCOMPARE(rig.aboutWindow(), first);
    QCOMPARE(countOpen<frmAbout>(), 1);
    QCOMPARE(first->focusWidget(), first->findChild<QPushButton *>(QStringLiteral("cmdOK")));
}

void TestWindows::windowsOpenCentredOnTheMainWindow()
{
    WindowRig rig;
    rig.action("mnuAbout")->trigger();
    rig.action("mnuZoom")->trigger();
    rig.action("mnuStime")->trigger();
    const QPoint main = centreOf(&rig.window);
    for (QWidget *window : {static_cast<QWidget *>(rig.aboutWindow()),
                            static_cast<QWidget *>(rig.zoomWindow()),
                            static_cast<QWidget *>(rig.setTimeWindow())}) {
        QVERIFY((centreOf(window) - main).manhattanLength() <= 4);
    }
}

// Ctrl+P from the main window: five strips on Letter paper are three Letter pages. A reader
// hears the paper with its choice and, once the window is gone, what was saved where.
void TestWindows::printTicketsMakesTheChosenBook()
{
    WindowRig rig;
    QTest::keyClick(&rig.window, Qt::Key_P, Qt::ControlModifier);
    auto *dialog = rig.secondary<frmPrintTickets>("frmPrintTickets");
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    dialog->findChild<QSpinBox *>(QStringLiteral("spnStrips"))->setValue(5);
    auto *paper = dialog->findChild<QComboBox *>(QStringLiteral("cboPaper"));
    QAccessibleInterface *told = QAccessible::queryAccessibleInterface(paper);
    QCOMPARE(told->text(QAccessible::Description), paper->currentText());
    paper->setCurrentIndex(paper->findData(int(ticketsheet::Paper::Letter)));
    QCOMPARE(told->text(QAccessible::Description), QStringLiteral("Letter"));
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("book.pdf"));
    QSignalSpy made(dialog, &frmPrintTickets::bookDone);
    QVERIFY(dialog->saveAs(file));
    QVERIFY(!dialog->saveAs(file)); // one book at a time
    QTRY_COMPARE_WITH_TIMEOUT(made.count(), 1, 20000);
    QTRY_VERIFY(!rig.secondary<frmPrintTickets>("frmPrintTickets"));
    QCOMPARE(toldBy(&rig.window), QStringList{QStringLiteral("Saved 5 strips to book.pdf")});
    QFile pdf(file);
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(pdf.readAll());
    QCOMPARE(text.count(QRegularExpression(QStringLiteral("/Type /Page\\b(?!s)"))), 3);
    QVERIFY(text.contains(QStringLiteral("/MediaBox [0 0 612.000000 792.000000]")));
}

// The contact line's blue is 1.3:1 on a dark desktop's window: there it takes the text colour.
void TestWindows::contactLineReadableOnADarkDesktop()
{
    WindowRig rig;
    rig.action("mnuAbout")->trigger();
    frmAbout *about = rig.aboutWindow();
    QPalette dark = about->palette();
    dark.setColor(QPalette::Window, QColor(45, 45, 45));
    dark.setColor(QPalette::WindowText, QColor(224, 224, 224));
    about->setPalette(dark);
    const QColor ink = about->findChild<QLabel *>(QStringLiteral("lblMail"))->palette().color(QPalette::WindowText);
    const double ratio = contrast(luminance(ink.rgb()), luminance(dark.color(QPalette::Window).rgb()));
    QVERIFY2(ratio >= 4.5, qPrintable(QString::number(ratio)));
}

void TestWindows::resumingIsToldInOneLine_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("Yes") << true;
    QTest::newRow("No") << false;
}

// The answer to the question at start-up is told to a reader: where the resumed game
// stands, or that a new game waits.
void TestWindows::resumingIsToldInOneLine()
{
    QFETCH(bool, yes);
    QTemporaryDir folder;
    std::int16_t last = 0;
    {
        RecordFile keeper(folder.path());
        WindowRig rig;
        rig.game().setKeeper(&keeper);
        rig.cmdStart()->click();
        rig.tick(7);
        last = rig.game().calls().back().number;
    }
    RecordFile keeper(folder.path());
    WindowRig rig;
    rig.game().setKeeper(&keeper);
    rig.question.answers.push_back(yes);
    QCOMPARE(rig.game().offerResume(), yes);
    QCOMPARE(toldBy(&rig.window), QStringList{yes ? QStringLiteral("Game resumed, 7 numbers called, the last was %1").arg(last)
                                                   : QStringLiteral("New game")});
}

// Behind the main window the list takes each call without moving its current line (a moved
// line is a second voice for the call); in front again it shows the newest call.
void TestWindows::callsBehindTheMainWindowKeepTheirLine()
{
    WindowRig rig;
    QTest::mouseClick(rig.cmdStart(), Qt::LeftButton);
    rig.tick(3);
    rig.action("mnuCalls")->trigger();
    auto *calls = rig.secondary<frmCalls>("frmCalls");
    auto *list = calls->findChild<QListWidget *>(QStringLiteral("lstCalls"));
    QApplication::setActiveWindow(calls);
    QCOMPARE(list->currentRow(), 2);
    QApplication::setActiveWindow(&rig.window);
    QVERIFY(!calls->isActiveWindow());
    QSignalSpy moved(list, &QListWidget::currentRowChanged);
    rig.tick(5);
    QCOMPARE(list->count(), 8);
    QCOMPARE(moved.count(), 0);
    QCOMPARE(list->currentRow(), 2);
    QApplication::setActiveWindow(calls);
    QCOMPARE(list->currentRow(), 7);
    QCOMPARE(list->currentItem()->text().section(QLatin1Char(' '), 1, 1),
             QString::number(rig.state().callorder[8]));
    rig.tick();
    QCOMPARE(list->currentRow(), 8); // in front, it follows each call
    // A line the host chose is kept, in front or behind.
    list->setCurrentRow(4);
    rig.tick();
    QCOMPARE(list->currentRow(), 4);
}

void TestWindows::callsCopySaysHowManyAndEscapeCloses()
{
    WindowRig rig;
    QTest::mouseClick(rig.cmdStart(), Qt::LeftButton);
    rig.tick(24);
    rig.action("mnuCalls")->trigger();
    auto *calls = rig.secondary<frmCalls>("frmCalls");
    QApplication::setActiveWindow(calls);
    QTest::keyClick(calls->findChild<QListWidget *>(QStringLiteral("lstCalls")), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text().count(QLatin1Char('\n')), 24);
    QCOMPARE(toldBy(calls), QStringList{QStringLiteral("Copied 24 calls")});
    QCOMPARE(QAccessible::queryAccessibleInterface(calls)->role(), QAccessible::Dialog);
    QTest::keyClick(calls->findChild<QListWidget *>(QStringLiteral("lstCalls")), Qt::Key_Escape);
    QVERIFY(!rig.secondary<frmCalls>("frmCalls"));
}

void TestWindows::tabReachesEveryControl_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("name");
    QTest::newRow("main window") << QString() << QStringLiteral("frmKalvor");
    QTest::newRow("Set Time") << QStringLiteral("mnuStime") << QStringLiteral("frmSetTime");
    QTest::newRow("Zoom Number") << QStringLiteral("mnuZoom") << QStringLiteral("frmZoom");
    QTest::newRow("About") << QStringLiteral("mnuAbout") << QStringLiteral("frmAbout");
    QTest::newRow("Calls So Far") << QStringLiteral("mnuCalls") << QStringLiteral("frmCalls");
    QTest::newRow("Print Tickets") << QStringLiteral("mnuTickets") << QStringLiteral("frmPrintTickets");
    QTest::newRow("Prizes") << QStringLiteral("mnuPrizes") << QStringLiteral("frmPrizes");
    QTest::newRow("Check a Claim") << QStringLiteral("mnuClaim") << QStringLiteral("frmClaim");
}

// Tab from the control a window opens on, round its whole chain: every control a keyboard
// can reach is reached, the buttons included, and the chain comes back to where it began.
void TestWindows::tabReachesEveryControl()
{
    QFETCH(QString, menu);
    QFETCH(QString, name);
    WindowRig rig;
    QTest::mouseClick(rig.cmdStart(), Qt::LeftButton);
    rig.tick(3);
    rig.game().stopexec();
    if (!menu.isEmpty())
        rig.action(menu.toLatin1().constData())->trigger();
    QWidget *window = menu.isEmpty() ? &rig.window : rig.secondary<QWidget>(name.toLatin1().constData());
    QVERIFY(window && window->isVisible());
    QSet<QWidget *> reachable;
    for (QWidget *child : window->findChildren<QWidget *>()) {
        if (child->window() == window && child->isVisibleTo(window) && child->isEnabled()
            && (child->focusPolicy() & Qt::TabFocus) && !child->focusProxy())
            reachable.insert(child);
    }
    QVERIFY(reachable.size() >= 2);
    QWidget *first = window->focusWidget();
    QVERIFY2(first, "the window opens with no control focused");
    QSet<QWidget *> reached{first};
    QStringList path{first->objectName()};
    QWidget *at = first;
    for (int i = 0; i < 3 * reachable.size(); ++i) {
        QTest::keyClick(at, Qt::Key_Tab);
        at = window->focusWidget();
        path << (at->objectName().isEmpty() ? QString::fromLatin1(at->metaObject()->className()) : at->objectName());
        if (at == first)
            break;
        reached.insert(at);
    }
    QVERIFY2(at == first, qPrintable(QStringLiteral("Tab does not come back: ") + path.join(QLatin1String(" > "))));
    QStringList missed;
    for (QWidget *control : reachable - reached)
        missed << (control->objectName().isEmpty() ? QString::fromLatin1(control->metaObject()->className())
                                                   : control->objectName());
    QVERIFY2(missed.isEmpty(), qPrintable(QStringLiteral("Tab never reaches ") + missed.join(QLatin1String(", "))
                                          + QStringLiteral(" (") + path.join(QLatin1String(" > ")) + QLatin1Char(')')));
}

void TestWindows::altSIsTheMainWindowsStartAlone_data()
{
    tabReachesEveryControl_data();
    QTest::newRow("Share With Phones") << QStringLiteral("mnuPhones") << QStringLiteral("frmPhones");
    QTest::newRow("Share Beyond the Hall") << QStringLiteral("mnuRelay") << QStringLiteral("frmRelay");
    QTest::newRow("Deal Tickets") << QStringLiteral("mnuDeal") << QStringLiteral("frmDeal");
}

// Alt+S is the host's Start, pressed by habit in whatever window has the keys: in the main
// window it starts the calling; in any other it changes nothing there (no tick taken away
// from sharing, no jump to another field), because no control there is on S.
void TestWindows::altSIsTheMainWindowsStartAlone()
{
    QFETCH(QString, menu);
    QFETCH(QString, name);
    WindowRig rig;
    if (!menu.isEmpty())
        rig.action(menu.toLatin1().constData())->trigger();
    QWidget *window = menu.isEmpty() ? &rig.window : rig.secondary<QWidget>(name.toLatin1().constData());
    QVERIFY(window && window->isVisible());
    const QKeySequence altS(Qt::ALT | Qt::Key_S);
    for (QWidget *child : window->findChildren<QWidget *>()) {
        QString text;
        if (auto *button = qobject_cast<QAbstractButton *>(child))
            text = button->text();
        else if (auto *label = qobject_cast<QLabel *>(child); label && label->buddy())
            text = label->text();
        QVERIFY2(child->window() != window || window == &rig.window || QKeySequence::mnemonic(text) != altS,
                 qPrintable(QStringLiteral("\"%1\" takes Alt+S").arg(text)));
    }
    QList<bool> ticks;
    for (QCheckBox *box : window->findChildren<QCheckBox *>())
        ticks << box->isChecked();
    QApplication::setActiveWindow(window);
    QWidget *focus = window->focusWidget();
    QVERIFY(focus);
    QTest::keyClick(focus, Qt::Key_S, Qt::AltModifier);
    if (window == &rig.window) {
        QTRY_COMPARE(rig.state().running, 1); // a mnemonic presses its button a moment later
        return;
    }
    QTest::qWait(400); // longer than a mnemonic's press takes
    QCOMPARE(rig.state().running, 0);
    QCOMPARE(window->focusWidget(), focus);
    QList<bool> after;
    for (QCheckBox *box : window->findChildren<QCheckBox *>())
        after << box->isChecked();
    QCOMPARE(after, ticks);
}

void TestWindows::beyondTheHallWindowsCloseOnEscape_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("name");
    QTest::newRow("Share Beyond the Hall") << QStringLiteral("mnuRelay") << QStringLiteral("frmRelay");
    QTest::newRow("Deal Tickets") << QStringLiteral("mnuDeal") << QStringLiteral("frmDeal");
}

// Escape closes them from whichever field has the keys, the names typed into Deal Tickets
// included, as it does every window of the host's.
void TestWindows::beyondTheHallWindowsCloseOnEscape()
{
    QFETCH(QString, menu);
    QFETCH(QString, name);
    WindowRig rig;
    rig.action(menu.toLatin1().constData())->trigger();
    QPointer<QWidget> window = rig.secondary<QWidget>(name.toLatin1().constData());
    QVERIFY(window && window->isVisible());
    QApplication::setActiveWindow(window);
    for (QWidget *field : window->findChildren<QWidget *>()) {
        if (field->focusPolicy() & Qt::TabFocus && field->isVisible()) {
            field->setFocus();
            break;
        }
    }
    QTest::keyClick(window->focusWidget(), Qt::Key_Escape);
    QTRY_VERIFY(window.isNull());
}

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
