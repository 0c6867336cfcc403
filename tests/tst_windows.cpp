#include "accessibility.h"
#include "frmcalls.h"
#include "frmphones.h"
#include "frmprinttickets.h"
#include "frmprizes.h"
#include "phonesharing.h"
#include "readerwords.h"
#include "windowrig.h"

#include "recordfile.h"

#include <QAccessible>
#include <QCheckBox>
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

// The news a window's reader notices hold for a screen reader now (every window of the
// program tells through the main window's).
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

// How many times a reader was handed a notice: each show is one telling.
struct Tellings : QObject
{
    int count = 0;
    explicit Tellings(QWidget *notice) { notice->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == QEvent::Show;
        return false;
    }
};

QWidget *noticeOf(QWidget *window, const QString &text)
{
    for (QWidget *notice : window->findChildren<QWidget *>(QStringLiteral("readerNotice")))
        if (notice->accessibleName() == text)
            return notice;
    return nullptr;
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
    void readerWordsAHostCanRepeat_data();
    void readerWordsAHostCanRepeat();
    void aKeyMayCutNewsShortUntilItCouldBeSaid_data();
    void aKeyMayCutNewsShortUntilItCouldBeSaid();
    void newsAKeyCutShortIsSaidAgainAfterIt();
    void callsInFrontSayEachCallOnceAsTheirLine();
    void aWonPrizeIsReachedAndTheSetsSayWhatTheyChose();
    void sharingSaysWhatItDidAndEscapeCloses();
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
    QVERIFY(toldBy(&rig.window).contains(QStringLiteral("Saved 5 strips to book.pdf")));
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
    QVERIFY(toldBy(&rig.window).contains(QStringLiteral("Copied 24 calls"))); // every window tells through the main one
    QVERIFY(toldBy(calls).isEmpty());
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
    QTest::newRow("Share With Phones") << QStringLiteral("mnuPhones") << QStringLiteral("frmPhones");
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
    tabReachesEveryControl_data(); // Share With Phones among them
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

void TestWindows::readerWordsAHostCanRepeat_data()
{
    QTest::addColumn<bool>("code");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("spoken");
    QTest::newRow("a code, in its groups") << true << "TC6-222A-V" << "T C 6, 2 2 2 A, V";
    QTest::newRow("a book alone") << true << "W3V" << "W 3 V";
    QTest::newRow("a word is no book") << true << "Book" << "Book";
    QTest::newRow("a code typed in any case, no dashes") << true << " tc6222av" << "T C 6, 2 2 2 A, V";
    QTest::newRow("one character too many") << true << "TC6-222A-VV" << "TC6-222A-VV";
    QTest::newRow("a typed ticket's label") << true << "typed:4,17,23" << "typed:4,17,23";
    QTest::newRow("a colon before words pauses") << false << "it would lose it: the disk is full." << "it would lose it, the disk is full.";
    QTest::newRow("a colon at the end pauses") << false << "Verdicts:" << "Verdicts,";
    QTest::newRow("a time keeps its colons") << false << "called at 19:54:17" << "called at 19:54:17";
    QTest::newRow("a dash between words pauses") << false << "Top Line - late" << "Top Line, late";
    QTest::newRow("a code keeps its dashes") << false << "ticket TC6-222A-V" << "ticket TC6-222A-V";
}

// Readers say "colon" and "dash" aloud and run a code's characters together: what a reader
// is given has pauses instead, and codes one character at a time in their printed groups.
void TestWindows::readerWordsAHostCanRepeat()
{
    QFETCH(bool, code);
    QFETCH(QString, shown);
    QFETCH(QString, spoken);
    QCOMPARE(code ? spokenCode(shown) : spokenLine(shown), spoken);
}

void TestWindows::aKeyMayCutNewsShortUntilItCouldBeSaid_data()
{
    QTest::addColumn<qint64>("keyMs");
    QTest::addColumn<bool>("cut");
    // Seven words: two seconds and 0.4 s a word.
    QTest::newRow("at once") << qint64(0) << true;
    QTest::newRow("the last moment it could be unsaid") << qint64(4800) << true;
    QTest::newRow("just after") << qint64(4801) << false;
    QTest::newRow("a key before the news") << qint64(-1) << false;
}

void TestWindows::aKeyMayCutNewsShortUntilItCouldBeSaid()
{
    QFETCH(qint64, keyMs);
    QFETCH(bool, cut);
    QCOMPARE(ReaderNews::mayCutShort(QStringLiteral("Claim from a phone for Top Line"), keyMs), cut);
}

// A key press empties a reader's queue: news the host must hear is said again once the keys
// are quiet, after the key's own words; news settled, replaced or said often enough is not.
void TestWindows::newsAKeyCutShortIsSaidAgainAfterIt()
{
    QWidget window;
    auto *field = new QLineEdit(&window);
    auto *news = new ReaderNews(&window);
    window.show();
    QApplication::setActiveWindow(&window);
    field->setFocus();
    const QString claim = QStringLiteral("Claim from a phone for Top Line");
    news->tellMustHear(ReaderNews::Subject::Claim, claim);
    Tellings claimTold(noticeOf(&window, claim));
    news->tell(QStringLiteral("Calling")); // news of its own is never said again
    Tellings callingTold(noticeOf(&window, QStringLiteral("Calling")));
    QTest::keyClick(field, Qt::Key_Space);
    QTRY_COMPARE(claimTold.count, 1);
    QTest::qWait(2 * ReaderNews::QuietMs);
    QCOMPARE(claimTold.count, 1); // once for one key
    QCOMPARE(callingTold.count, 0);
    for (int key = 0; key < ReaderNews::MaxRetold + 1; ++key) {
        QTest::keyClick(field, Qt::Key_Space);
        QTest::qWait(2 * ReaderNews::QuietMs);
    }
    QCOMPARE(claimTold.count, ReaderNews::MaxRetold);

    // A newer word on the subject replaces the one waiting; a settled subject is not said again.
    const QString more = QStringLiteral("2 more claims from phones");
    const QString all = QStringLiteral("3 claims from phones wait, the newest for Full House");
    news->tellMustHear(ReaderNews::Subject::Claim, QStringLiteral("Claim from a phone for Bottom Line"));
    news->tellMustHear(ReaderNews::Subject::Claim, more, all);
    news->tellMustHear(ReaderNews::Subject::Game, QStringLiteral("Game resumed"));
    news->settle(ReaderNews::Subject::Game);
    QTest::keyClick(field, Qt::Key_Space);
    QTRY_VERIFY(noticeOf(&window, all));
    Tellings allTold(noticeOf(&window, all));
    Tellings resumedTold(noticeOf(&window, QStringLiteral("Game resumed")));
    Tellings bottomTold(noticeOf(&window, QStringLiteral("Claim from a phone for Bottom Line")));
    QTest::keyClick(field, Qt::Key_Space);
    QTRY_COMPARE(allTold.count, 1);
    QTest::qWait(2 * ReaderNews::QuietMs);
    QCOMPARE(resumedTold.count, 0);
    QCOMPARE(bottomTold.count, 0);

    // A window of the program losing the keys (a question answered) cuts it short too.
    QWidget question;
    question.show();
    QApplication::setActiveWindow(&question);
    news->tellMustHear(ReaderNews::Subject::Game, QStringLiteral("Game resumed"));
    QCOMPARE(resumedTold.count, 1);
    QApplication::setActiveWindow(&window);
    QTRY_COMPARE(resumedTold.count, 2);
}

// With Calls So Far in front the list's moving line is the reader's voice for each call, as
// "45, call 3" without the time; the main window's news says the number only where the list
// does not: behind, or with the list's line left where the host put it. Enter adds the time.
// (With the program's voice on, the list follows in silence where a reader listens: the
// reader test checks it, as only a reader makes Qt's accessibility active.)
void TestWindows::callsInFrontSayEachCallOnceAsTheirLine()
{
    WindowRig rig;
    rig.action("mnuMute")->trigger(); // the reader is the host's voice for the numbers
    QTest::mouseClick(rig.cmdStart(), Qt::LeftButton);
    rig.tick(2);
    rig.action("mnuCalls")->trigger();
    auto *calls = rig.secondary<frmCalls>("frmCalls");
    auto *list = calls->findChild<QListWidget *>(QStringLiteral("lstCalls"));
    QApplication::setActiveWindow(calls);
    QVERIFY(list->hasFocus());
    auto toldByMain = [&rig](int n) { return toldBy(&rig.window).contains(QString::number(n)); };
    for (int call = 3; call <= 12; ++call) {
        rig.tick();
        const Call &newest = rig.game().calls().back();
        QCOMPARE(newest.position, call);
        QVERIFY2(!toldByMain(newest.number), "the call was told twice");
        QCOMPARE(list->currentRow(), call - 1);
        QCOMPARE(QAccessible::queryAccessibleInterface(list)->child(call - 1)->text(QAccessible::Name),
                 QStringLiteral("%1, call %2").arg(newest.number).arg(call));
    }
    QTest::keyClick(list, Qt::Key_Return);
    const QString asked = QStringLiteral("%1, call 12, at ").arg(rig.game().calls().back().number);
    const QStringList told = toldBy(&rig.window);
    QVERIFY2(std::any_of(told.cbegin(), told.cend(),
                         [&asked](const QString &line) { return line.startsWith(asked) && line.endsWith(QLatin1String(" seconds")); }),
             qPrintable(told.join(QLatin1Char('/'))));
    list->setCurrentRow(4); // the host reads back: the news says the next call
    rig.tick();
    QVERIFY(toldByMain(rig.game().calls().back().number));
    QApplication::setActiveWindow(&rig.window);
    rig.tick();
    QVERIFY(toldByMain(rig.game().calls().back().number));
}

// A won prize stays in play: Tab reaches its box, a press leaves it checked and says why;
// All Ninety-Ball and All Tambola say what they chose, the won prize kept.
void TestWindows::aWonPrizeIsReachedAndTheSetsSayWhatTheyChose()
{
    WindowRig rig;
    QTest::mouseClick(rig.cmdStart(), Qt::LeftButton);
    rig.tick(6);
    // The first five numbers called, typed from a ticket: its Early Five, won at call 5.
    QStringList typed;
    for (int call = 0; call < 5; ++call)
        typed << QString::number(rig.game().calls()[std::size_t(call)].number);
    ClaimTicket ticket;
    QString why;
    QVERIFY2(ClaimTicket::read(typed.join(QLatin1Char(' ')), ticket, why), qPrintable(why));
    QCOMPARE(rig.game().acceptClaim(ticket, 5).size(), std::size_t(1));
    QVERIFY(rig.game().prizesWon() & prizes::bit(Prize::EarlyFive));

    rig.action("mnuPrizes")->trigger();
    auto *prizesWindow = rig.secondary<frmPrizes>("frmPrizes");
    QApplication::setActiveWindow(prizesWindow);
    auto *won = prizesWindow->findChild<QCheckBox *>(prizes::key(Prize::EarlyFive));
    QVERIFY(won->isEnabled() && (won->focusPolicy() & Qt::TabFocus));
    QCOMPARE(QAccessible::queryAccessibleInterface(won)->text(QAccessible::Description),
             QStringLiteral("Won already, it stays in play"));
    QTest::keyClick(won, Qt::Key_Space);
    QVERIFY(won->isChecked());
    QVERIFY(toldBy(&rig.window).contains(QStringLiteral("Early Five was won already, it stays in play")));
    QTest::mouseClick(prizesWindow->findChild<QPushButton *>(QStringLiteral("cmdNinety")), Qt::LeftButton);
    QVERIFY(won->isChecked());
    QVERIFY(toldBy(&rig.window).contains(
        QStringLiteral("Chosen, One Line, Two Lines and Full House. Early Five stays, won already.")));
    QTest::mouseClick(prizesWindow->findChild<QPushButton *>(QStringLiteral("cmdTambola")), Qt::LeftButton);
    QVERIFY(toldBy(&rig.window).contains(QStringLiteral(
        "Chosen, Top Line, Middle Line, Bottom Line, Four Corners and Full House. Early Five stays, won already.")));
}

// Ticking says what it did; the address and the phones following are reached with Tab;
// Escape closes the window.
void TestWindows::sharingSaysWhatItDidAndEscapeCloses()
{
    WindowRig rig;
    rig.action("mnuPhones")->trigger();
    auto *phones = rig.secondary<frmPhones>("frmPhones");
    QApplication::setActiveWindow(phones);
    auto *share = phones->findChild<QCheckBox *>(QStringLiteral("chkShare"));
    QTest::keyClick(share, Qt::Key_Space);
    QVERIFY(rig.window.findChild<PhoneSharing *>()->on());
    const QStringList addresses = rig.window.findChild<PhoneSharing *>()->addresses();
    QVERIFY(toldBy(&rig.window).contains(addresses.isEmpty() ? QStringLiteral("Sharing, but this computer is on no network")
                                                             : QStringLiteral("Sharing the game at %1").arg(addresses.first())));
    QStringList reached;
    for (int i = 0; i < 8 && reached.size() < 4; ++i) {
        QTest::keyClick(phones->focusWidget(), Qt::Key_Tab);
        reached << phones->focusWidget()->objectName();
    }
    if (!addresses.isEmpty())
        QVERIFY2(reached.contains(QStringLiteral("lblAddress")), qPrintable(reached.join(QLatin1Char(' '))));
    QVERIFY2(reached.contains(QStringLiteral("lblPhones")), qPrintable(reached.join(QLatin1Char(' '))));
    QCOMPARE(QAccessible::queryAccessibleInterface(phones->findChild<QLabel *>(QStringLiteral("lblPhones")))
                 ->text(QAccessible::Name),
             QStringLiteral("No phone is following yet"));
    share->setFocus();
    QTest::keyClick(share, Qt::Key_Space);
    QVERIFY(toldBy(&rig.window).contains(QStringLiteral("Sharing stopped, every phone dropped")));
    QTest::keyClick(share, Qt::Key_Escape);
    QVERIFY(!rig.secondary<frmPhones>("frmPhones"));
}

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
