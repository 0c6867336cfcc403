#include "frmkalvor.h"

#include "accessibility.h"
#include "boardgrid.h"
#include "look.h"
#include "icons.h"
#include "frmabout.h"
#include "frmsettime.h"
#include "frmzoom.h"
#include "halldisplay.h"
#include "frmphoneclaims.h"
#include "frmphones.h"
#include "phoneclaims.h"
#include "phonecorner.h"
#include "phonesharing.h"
#include "twips.h"
#include "version.h"

#include <QAction>
#include <QApplication>
#include <QStyle>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace {
// A secondary window, made on first use and watched, so that a closed one is forgotten.
template<typename Window, typename Make> Window *made(QPointer<Window> &window, QObject *watcher, Make make)
{
    if (!window) {
        window = make();
        window->installEventFilter(watcher);
    }
    return window;
}
} // namespace

// The icons live in a static library; the resources must be pulled in by name.
static void loadResources()
{
    Q_INIT_RESOURCE(icons);
}

frmKalvor::frmKalvor(Announcer &voice, Greeter &greeter, Question &question, Quitter &quitter, RandomSource &random,
                     QWidget *parent)
    : QMainWindow(parent)
    , greeter(greeter)
{
    loadResources();
    installAccessibility();
    setObjectName(QStringLiteral("frmKalvor"));
    setWindowTitle(QLatin1String(version::DisplayName));
    setWindowIcon(programIcon(QStringLiteral("notepad")));
    setFont(look::windowFont());

    buildControls();
    caller = std::make_unique<Game>(*grdTable, *this, voice, question, quitter, random);
    sharing = new PhoneSharing(*caller, PhoneCorner::palette(), this);
    buildMenus();
    connect(&sharing->claims(), &PhoneClaims::arrived, this, &frmKalvor::phoneClaimArrived);
    claimTold.setSingleShot(true);
    claimTold.setInterval(1500);
    connect(&claimTold, &QTimer::timeout, this, [this] {
        if (untold > 0)
            readerNews->tell(untold == 1 ? tr("One more claim from a phone") : tr("%1 more claims from phones").arg(untold));
        untold = 0;
    });

    connect(cmdStart, &QPushButton::clicked, caller.get(), &Game::cmdStart_Click);
    connect(caller.get(), &Game::numberCalled, this, &frmKalvor::tellReader);
    connect(caller.get(), &Game::news, this, &frmKalvor::tellNews);
    // The hall's display follows the game itself; here it is only placed again when the
    // screens change, once they have settled (a projector plugged in comes in bursts).
    hallPlacing.setSingleShot(true);
    hallPlacing.setInterval(700);
    connect(&hallPlacing, &QTimer::timeout, this, [this] {
        if (hall)
            hall->place(screen());
    });
    auto watchScreen = [this](QScreen *added) {
        connect(added, &QScreen::geometryChanged, &hallPlacing, qOverload<>(&QTimer::start));
    };
    for (QScreen *each : QGuiApplication::screens())
        watchScreen(each);
    connect(qApp, &QGuiApplication::screenAdded, this, [this, watchScreen](QScreen *added) {
        watchScreen(added);
        hallPlacing.start();
    });
    connect(qApp, &QGuiApplication::screenRemoved, &hallPlacing, qOverload<>(&QTimer::start));
    // Alone on the host's screen, the display comes back in front once a question or a
    // window of the host's is done with.
    connect(caller.get(), &Game::questionClosed, this, &frmKalvor::hallForward);
    auto *nextScreen = new QAction(this);
    nextScreen->setObjectName(QStringLiteral("mnuHallNext"));
    nextScreen->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F11));
    nextScreen->setShortcutContext(Qt::ApplicationShortcut);
    addAction(nextScreen);
    connect(nextScreen, &QAction::triggered, this, [this] {
        if (hall)
            hall->placeNext(screen());
    });

    // Fixed single border: the client area is the designed size, the menu bar above it.
    adjustSize();
    setFixedSize(sizeHint());
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);

    caller->Form_Load();
    cmdStart->setFocus();
}

// The secondary windows are the main window's children only so that they stay above
// it and close with it; a closed one is forgotten but deleted later by the event loop,
// so what is left of them goes here, before the game and the voice they point into.
frmKalvor::~frmKalvor()
{
    delete zoom;
    delete setTime;
    delete about;
    delete hall;
    delete callsWindow;
    delete printTickets;
    delete prizesWindow;
    delete claim;
    delete phonesWindow;
    delete phoneClaimsWindow;
    delete sharing; // the phones' server stops before the game it reads goes
}

void frmKalvor::buildControls()
{
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(twips(ClientWidthTwips), twips(ClientHeightTwips));
    setCentralWidget(client);

    lblKalvor = new QLabel(QStringLiteral("The Tabro - Kalvor"), client);
    lblKalvor->setObjectName(QStringLiteral("lblKalvor"));
    lblKalvor->setGeometry(twipsRect(240, 120, 6615, 735));
    lblKalvor->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblKalvor->setFont(look::arialBold(21.75));

    grdTable = new BoardGrid(client);
    grdTable->setGeometry(twipsRect(240, 720, 6495, 5895));

    lblnumber = new QLabel(QStringLiteral("The number called is :"), client);
    lblnumber->setObjectName(QStringLiteral("lblnumber"));
    lblnumber->setGeometry(twipsRect(240, 6840, 3495, 375));
    lblnumber->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblnumber->setFont(look::arialBold(15.75));
    colourCaptions();

    cmdStart = new QPushButton(QStringLiteral("&Start"), client);
    cmdStart->setObjectName(QStringLiteral("cmdStart"));
    cmdStart->setGeometry(twipsRect(5400, 6840, 1335, 375));

    // The number boxes only show what the game writes; the host cannot type into them.
    auto numberBox = [client](const QString &name, const QRect &place, const QString &accessible) {
        auto *box = new NumberBox(client);
        box->setObjectName(name);
        box->setGeometry(place);
        box->setAlignment(Qt::AlignCenter);
        box->setFont(look::arialBold(12));
        box->setReadOnly(true);
        box->setAccessibleName(accessible);
        return box;
    };
    txtCtr = numberBox(QStringLiteral("txtCtr"), twipsRect(6240, 120, 495, 405), tr("Numbers called"));
    txtgen = numberBox(QStringLiteral("txtgen"), twipsRect(3960, 6840, 855, 375), lblnumber->text());
    txtCtr->raise(); // a text box lies above the title label's area

    lblKalvor->setAccessibleName(lblKalvor->text());
    lblnumber->setAccessibleName(lblnumber->text());
    lblnumber->setBuddy(txtgen);

    readerNews = new ReaderNews(client);

    setTabOrder(cmdStart, txtgen);
    setTabOrder(txtgen, txtCtr);
}

// The title and the caption are purple on the desktop's own window colour; on a dark
// desktop, where purple cannot be read, they take the desktop's text colour.
void frmKalvor::colourCaptions()
{
    const QPalette desktop = palette();
    const QColor colour = look::readable(look::Purple, desktop.color(QPalette::Window),
                                         desktop.color(QPalette::WindowText));
    for (QLabel *label : {lblKalvor, lblnumber}) {
        QPalette colours = label->palette();
        colours.setColor(QPalette::WindowText, colour);
        label->setPalette(colours);
    }
}

void frmKalvor::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        colourCaptions();
}

void frmKalvor::buildMenus()
{
    auto addItem = [this](QMenu *menu, const QString &name, const QString &caption, QKeySequence key) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(name);
        action->setShortcut(key);
        // The keys work from the zoom, interval and information windows too, never past
        // an open question.
        action->setShortcutContext(Qt::ApplicationShortcut);
        return action;
    };

    mnuOptions = menuBar()->addMenu(QStringLiteral("&Options"));
    mnuOptions->setObjectName(QStringLiteral("mnuOptions"));
    mnuStime = addItem(mnuOptions, QStringLiteral("mnuStime"), QStringLiteral("Set &Time"), Qt::Key_F2);
    mnuMute = addItem(mnuOptions, QStringLiteral("mnuMute"), QStringLiteral("&Mute Sound"), Qt::Key_F8);
    mnuMute->setCheckable(true);
    mnuScan = addItem(mnuOptions, QStringLiteral("mnuScan"), QStringLiteral("Scan &Results"), Qt::Key_F3);
    mnuZoom = addItem(mnuOptions, QStringLiteral("mnuZoom"), QStringLiteral("&Zoom Number"), Qt::Key_F4);
    mnuHall = addItem(mnuOptions, QStringLiteral("mnuHall"), tr("&Hall Display"), Qt::Key_F11);
    mnuSep1 = mnuOptions->addSeparator();
    mnuSep1->setObjectName(QStringLiteral("mnuSep1"));
    mnuExit = addItem(mnuOptions, QStringLiteral("mnuExit"), QStringLiteral("&Exit "), Qt::Key_F12);

    // The game's own record and, later, its prizes and claims.
    mnuGame = menuBar()->addMenu(tr("&Game"));
    mnuGame->setObjectName(QStringLiteral("mnuGame"));
    mnuPrizes = addItem(mnuGame, QStringLiteral("mnuPrizes"), tr("&Prizes..."), QKeySequence());
    mnuClaim = addItem(mnuGame, QStringLiteral("mnuClaim"), tr("Check a &Claim..."), Qt::Key_F9);
    mnuCalls = addItem(mnuGame, QStringLiteral("mnuCalls"), tr("Calls &So Far"), Qt::Key_F5);
    mnuTickets = addItem(mnuGame, QStringLiteral("mnuTickets"), tr("Print &Tickets..."),
                         QKeySequence(Qt::CTRL | Qt::Key_P));
    mnuPhones = addItem(mnuGame, QStringLiteral("mnuPhones"), tr("Share With P&hones..."), QKeySequence());

    mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuContents = addItem(mnuHelp, QStringLiteral("mnuContents"), QStringLiteral("&Contents"), Qt::Key_F1);
    mnuAbout = addItem(mnuHelp, QStringLiteral("mnuAbout"), QStringLiteral("&About"), Qt::Key_F7);

    // Opening a menu pauses the calling, so a command is chosen with the game at rest.
    connect(mnuOptions, &QMenu::aboutToShow, caller.get(), &Game::mnuOptions_Click);
    connect(mnuHelp, &QMenu::aboutToShow, caller.get(), &Game::mnuHelp_Click);
    connect(mnuGame, &QMenu::aboutToShow, caller.get(), &Game::mnuGame_Click);

    connect(mnuStime, &QAction::triggered, this, &frmKalvor::mnuStime_Click);
    // The game sets the check mark from the sound switch after the action's own toggle.
    connect(mnuMute, &QAction::triggered, caller.get(), &Game::mnuMute_Click);
    connect(mnuZoom, &QAction::triggered, this, &frmKalvor::mnuZoom_Click);
    connect(mnuHall, &QAction::triggered, this, &frmKalvor::mnuHall_Click);
    connect(mnuExit, &QAction::triggered, caller.get(), &Game::mnuExit_Click);
    connect(mnuAbout, &QAction::triggered, this, &frmKalvor::mnuAbout_Click);
    connect(mnuCalls, &QAction::triggered, this, &frmKalvor::mnuCalls_Click);
    connect(mnuTickets, &QAction::triggered, this, &frmKalvor::mnuTickets_Click);
    connect(mnuPrizes, &QAction::triggered, this, &frmKalvor::mnuPrizes_Click);
    connect(mnuClaim, &QAction::triggered, this, &frmKalvor::mnuClaim_Click);
    connect(mnuPhones, &QAction::triggered, this, &frmKalvor::mnuPhones_Click);
}

QString frmKalvor::startCaption() const
{
    return cmdStart->text();
}

void frmKalvor::setStartCaption(const QString &caption)
{
    cmdStart->setText(caption);
}

QString frmKalvor::calledText() const
{
    return txtgen->text();
}

void frmKalvor::setCalledText(const QString &text)
{
    txtgen->setText(text);
}

void frmKalvor::setCounterText(const QString &text)
{
    txtCtr->setText(text);
}

void frmKalvor::setMuteChecked(bool checked)
{
    mnuMute->setChecked(checked);
}

void frmKalvor::setZoomText(const QString &text)
{
    zoomWindowCreated()->setNumber(text);
}

void frmKalvor::closeZoom()
{
    if (zoom)
        zoom->close();
}

frmZoom *frmKalvor::zoomWindowCreated()
{
    if (!zoom) {
        zoom = new frmZoom([this] { return txtgen->text(); }, this);
        zoom->installEventFilter(this);
    }
    return zoom;
}

void frmKalvor::showOnTop(QWidget *window)
{
    if (!window->isVisible())
        window->move(frameGeometry().center() - window->rect().center());
    window->show();
    window->raise();
    window->activateWindow();
}

void frmKalvor::mnuStime_Click()
{
    if (!setTime) {
        setTime = new frmSetTime(this);
        setTime->installEventFilter(this);
        connect(setTime, &frmSetTime::intervalChosen, caller.get(), &Game::setInterval);
    }
    showOnTop(setTime);
}

void frmKalvor::mnuZoom_Click()
{
    showOnTop(zoomWindowCreated());
    caller->mnuZoom_Click();
}

void frmKalvor::mnuHall_Click()
{
    if (hall) {
        hall->close();
        return;
    }
    hall = new HallDisplay(*caller, [this] { cmdStart->click(); }, this);
    hall->installEventFilter(this);
    PhoneCorner::attach(hall, *sharing);
    hall->place(screen());
}

void frmKalvor::mnuAbout_Click()
{
    showOnTop(made(about, this, [this] { return new frmAbout(greeter, this); }));
}

void frmKalvor::mnuCalls_Click()
{
    showOnTop(made(callsWindow, this, [this] { return new frmCalls(*caller, this); }));
}

void frmKalvor::mnuTickets_Click()
{
    showOnTop(made(printTickets, this, [this] {
        auto *window = new frmPrintTickets(this);
        connect(window, &frmPrintTickets::bookMade, readerNews, &ReaderNews::tell);
        connect(window, &frmPrintTickets::bookMade, sharing, &PhoneSharing::readBooks); // claims from its tickets
        return window;
    }));
}

void frmKalvor::mnuPrizes_Click()
{
    showOnTop(made(prizesWindow, this, [this] { return new frmPrizes(*caller, this); }));
}

// A claim stops the calling at once, wherever the host's keys are.
void frmKalvor::mnuClaim_Click()
{
    caller->claimStarted();
    const bool fresh = !claim;
    showOnTop(made(claim, this, [this] {
        auto *window = new frmClaim(*caller, this);
        connect(window, &frmClaim::decided, &sharing->claims(), &PhoneClaims::settle);
        return window;
    }));
    // The oldest claim from a phone comes filled in, unless the window is already on it.
    const auto &waiting = sharing->claims().waiting();
    if (!waiting.empty() && (fresh || waiting.front().code != phoneCodeFilled)) {
        phoneCodeFilled = waiting.front().code;
        claim->checkCode(phoneCodeFilled);
    }
}

void frmKalvor::checkPhoneClaim(const QString &code)
{
    mnuClaim_Click();
    if (phoneCodeFilled != code) {
        phoneCodeFilled = code;
        claim->checkCode(code);
    }
}

void frmKalvor::phoneClaimArrived(const PhoneClaim &arrived)
{
    if (!phoneClaimsWindow) {
        phoneClaimsWindow = new frmPhoneClaims(sharing->claims(), this);
        connect(phoneClaimsWindow, &frmPhoneClaims::check, this, &frmKalvor::checkPhoneClaim);
        phoneClaimsWindow->move(frameGeometry().topRight() + QPoint(8, 0));
    }
    phoneClaimsWindow->show();
    if (claimTold.isActive()) {
        ++untold;
    } else {
        readerNews->tell(tr("Claim from a phone: %1").arg(prizes::name(arrived.prize)));
        claimTold.start();
    }
}

void frmKalvor::mnuPhones_Click()
{
    showOnTop(made(phonesWindow, this, [this] { return new frmPhones(*sharing, this); }));
}

// A closed window is discarded; it is forgotten at once, so the next use makes a new one
// even before the old one is gone.
bool frmKalvor::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Close) {
        // After the window manager has handed the focus back to the main window.
        if (watched != hall)
            QTimer::singleShot(250, this, &frmKalvor::hallForward);
        if (watched == zoom)
            zoom = nullptr;
        else if (watched == setTime)
            setTime = nullptr;
        else if (watched == about)
            about = nullptr;
        else if (watched == hall)
            hall = nullptr;
        else if (watched == callsWindow)
            callsWindow = nullptr;
        else if (watched == printTickets)
            printTickets = nullptr;
        else if (watched == prizesWindow)
            prizesWindow = nullptr;
        else if (watched == claim)
            claim = nullptr;
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmKalvor::tellReader(int n)
{
    if (caller->readerSpeaksNumbers())
        readerNews->tell(QString::number(n));
}

void frmKalvor::tellNews(Game::News what)
{
    // In the order of Game::News.
    static const char *const words[] = {QT_TR_NOOP("Calling"), QT_TR_NOOP("Stopped"), QT_TR_NOOP("Paused"),
                                        QT_TR_NOOP("Sound off"), QT_TR_NOOP("Sound on"), QT_TR_NOOP("New game"),
                                        QT_TR_NOOP("Game resumed"), QT_TR_NOOP("Checking a claim")};
    // A key press empties a reader's queue, so the number the game stopped on is said again.
    if (what == Game::News::Stopped && !caller->calls().empty())
        readerNews->tell(tr("Stopped after %1").arg(caller->calls().back().number));
    else
        readerNews->tell(tr(words[int(what)]));
}

void frmKalvor::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (centred)
        return;
    centred = true;
    const QScreen *where = screen();
    if (!where)
        return;
    // Centred where the window fits; on a smaller screen its title bar and menus must
    // stay reachable, so it opens at the top left.
    const QRect area = where->availableGeometry();
    const QSize frame = frameGeometry().size().expandedTo(
        size() + QSize(0, style()->pixelMetric(QStyle::PM_TitleBarHeight)));
    if (frame.width() > area.width() || frame.height() > area.height())
        move(area.topLeft());
    else
        move(area.center() - frameGeometry().center() + pos());
}

void frmKalvor::hallForward()
{
    if (hall)
        hall->comeForward();
}

// Escape closes the hall's display from the host's window too, where the keys stay while
// the display is on a screen of its own.
void frmKalvor::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && hall)
        hall->close();
    else
        QMainWindow::keyPressEvent(event);
}

void frmKalvor::closeEvent(QCloseEvent *event)
{
    // Closing through the frame ends the program like Exit, without the question.
    event->accept();
    caller->endProgram();
}
