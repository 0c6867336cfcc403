#include "frmkalvor.h"

#include "accessibility.h"
#include "atomicfile.h"
#include "boardgrid.h"
#include "booksinplay.h"
#include "look.h"
#include "icons.h"
#include "frmabout.h"
#include "frmprinttickets.h"
#include "frmprizes.h"
#include "frmclaim.h"
#include "frmcalls.h"
#include "frmsettime.h"
#include "frmzoom.h"
#include "halldisplay.h"
#include "hallplacement.h"
#include "readerwords.h"
#include "frmphoneclaims.h"
#include "frmphones.h"
#include "frmrelay.h"
#include "frmdeal.h"
#include "relaysharing.h"
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
#include <QStatusBar>
#include <QTimer>
#include <QWindow>

// The icons live in a static library; the resources must be pulled in by name.
static void loadResources()
{
    Q_INIT_RESOURCE(icons);
}

frmKalvor::frmKalvor(Game &game, Greeter &greeter, QWidget *parent)
    : QMainWindow(parent)
    , greeter(greeter)
    , caller(game)
{
    loadResources();
    installAccessibility();
    setObjectName(QStringLiteral("frmKalvor"));
    setWindowTitle(QLatin1String(version::DisplayName));
    setWindowIcon(programIcon(QStringLiteral("notepad")));
    setFont(look::windowFont());

    buildControls();
    caller.attach(*grdTable, *this);
    books = new BooksInPlay(defaultStateFolder(), this);
    sharing = new PhoneSharing(caller, *books, PhoneCorner::palette(), this);
    relay = new RelaySharing(caller, sharing->claims(), *books, PhoneCorner::palette(), this);
    connect(relay, &RelaySharing::changed, this, &frmKalvor::showRelay);
    buildMenus();
    connect(&sharing->claims(), &PhoneClaims::arrived, this, &frmKalvor::phoneClaimArrived);
    claimTold.setSingleShot(true);
    claimTold.setInterval(1500);
    connect(&claimTold, &QTimer::timeout, this, [this] {
        if (untold > 0) {
            const auto &waiting = sharing->claims().waiting();
            const QString all = waiting.empty()
                ? QString()
                : tr("%1 claims from phones wait, the newest for %2").arg(waiting.size()).arg(prizes::name(waiting.back().prize));
            readerNews->tellMustHear(ReaderNews::Subject::Claim,
                                     untold == 1 ? tr("One more claim from a phone") : tr("%1 more claims from phones").arg(untold),
                                     all);
        }
        untold = 0;
    });

    connect(cmdStart, &QPushButton::clicked, &caller, &Game::cmdStart_Click);
    connect(&caller, &Game::numberCalled, this, &frmKalvor::tellReader);
    connect(&caller, &Game::news, this, &frmKalvor::tellNews);
    connect(&caller, &Game::keptChanged, this, &frmKalvor::showKept);
    // Alone on the host's screen, the display comes back in front once a question or a
    // window of the host's is done with.
    connect(&caller, &Game::questionClosed, this, &frmKalvor::hallForward);
    auto *nextScreen = new QAction(this);
    nextScreen->setObjectName(QStringLiteral("mnuHallNext"));
    nextScreen->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F11));
    nextScreen->setShortcutContext(Qt::ApplicationShortcut);
    addAction(nextScreen);
    connect(nextScreen, &QAction::triggered, this, [this] {
        if (HallDisplay *hall = windows.find<HallDisplay>())
            hall->placeNext();
    });
    // Once the window manager has handed the focus back to the main window, the hall's
    // display comes in front again.
    connect(&windows, &WindowOwner::closed, this, [this](QWidget *window) {
        if (!qobject_cast<HallDisplay *>(window))
            QTimer::singleShot(250, this, &frmKalvor::hallForward);
    });

    // Fixed single border: the client area is the designed size, the menu bar above it.
    adjustSize();
    setFixedSize(sizeHint());
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);

    caller.Form_Load();
    cmdStart->setFocus();
}

// The secondary windows first, then the phones' server they show; the game they read
// outlives them all.
frmKalvor::~frmKalvor()
{
    windows.deleteAll();
    delete relay;
    delete sharing;
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
    auto addItem = [](QMenu *menu, const QString &name, const QString &caption, QKeySequence key) {
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
    mnuRelay = addItem(mnuGame, QStringLiteral("mnuRelay"), tr("Share &Beyond the Hall..."), QKeySequence());
    mnuDeal = addItem(mnuGame, QStringLiteral("mnuDeal"), tr("&Deal Tickets..."), QKeySequence());
    mnuGame->addSeparator();
    mnuMissed = addItem(mnuGame, QStringLiteral("mnuMissed"), tr("What Did I &Miss"), Qt::Key_F6);
    mnuPhoneClaims = addItem(mnuGame, QStringLiteral("mnuPhoneClaims"), tr("Claims &From Phones"), Qt::Key_F10);

    mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuContents = addItem(mnuHelp, QStringLiteral("mnuContents"), QStringLiteral("&Contents"), Qt::Key_F1);
    mnuAbout = addItem(mnuHelp, QStringLiteral("mnuAbout"), QStringLiteral("&About"), Qt::Key_F7);

    // Opening a menu pauses the calling, so a command is chosen with the game at rest.
    connect(mnuOptions, &QMenu::aboutToShow, &caller, &Game::mnuOptions_Click);
    connect(mnuHelp, &QMenu::aboutToShow, &caller, &Game::mnuHelp_Click);
    connect(mnuGame, &QMenu::aboutToShow, &caller, &Game::mnuGame_Click);

    connect(mnuStime, &QAction::triggered, this, &frmKalvor::mnuStime_Click);
    // The game sets the check mark from the sound switch after the action's own toggle.
    connect(mnuMute, &QAction::triggered, &caller, &Game::mnuMute_Click);
    connect(mnuZoom, &QAction::triggered, this, &frmKalvor::mnuZoom_Click);
    connect(mnuHall, &QAction::triggered, this, &frmKalvor::mnuHall_Click);
    connect(mnuExit, &QAction::triggered, &caller, &Game::mnuExit_Click);
    connect(mnuAbout, &QAction::triggered, this, &frmKalvor::mnuAbout_Click);
    connect(mnuCalls, &QAction::triggered, this, &frmKalvor::mnuCalls_Click);
    connect(mnuTickets, &QAction::triggered, this, &frmKalvor::mnuTickets_Click);
    connect(mnuPrizes, &QAction::triggered, this, &frmKalvor::mnuPrizes_Click);
    connect(mnuClaim, &QAction::triggered, this, &frmKalvor::mnuClaim_Click);
    connect(mnuPhones, &QAction::triggered, this, &frmKalvor::mnuPhones_Click);
    connect(mnuRelay, &QAction::triggered, this, [this] {
        showOnTop(windows.get<frmRelay>([this] { return new frmRelay(*relay, this); }));
    });
    connect(mnuDeal, &QAction::triggered, this, [this] {
        showOnTop(windows.get<frmDeal>([this] {
            auto *window = new frmDeal(*relay, this);
            connect(window, &frmDeal::dealt, books, &BooksInPlay::refresh); // claims from its tickets
            return window;
        }));
    });
    connect(mnuMissed, &QAction::triggered, this, &frmKalvor::mnuMissed_Click);
    connect(mnuPhoneClaims, &QAction::triggered, this, [this] {
        readerNews->settle(ReaderNews::Subject::Claim); // the host is on it
        phoneClaimsWindow()->bringForward();
    });
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
    if (frmZoom *zoom = windows.find<frmZoom>())
        zoom->close();
}

frmZoom *frmKalvor::zoomWindowCreated()
{
    return windows.get<frmZoom>([this] { return new frmZoom([this] { return txtgen->text(); }, this); });
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
    showOnTop(windows.get<frmSetTime>([this] {
        auto *setTime = new frmSetTime(this);
        connect(setTime, &frmSetTime::intervalChosen, &caller, &Game::setInterval);
        return setTime;
    }));
}

void frmKalvor::mnuZoom_Click()
{
    showOnTop(zoomWindowCreated());
    caller.mnuZoom_Click();
}

void frmKalvor::mnuHall_Click()
{
    if (HallDisplay *hall = windows.find<HallDisplay>()) {
        hall->close();
        return;
    }
    windows
        .get<HallDisplay>([this] {
            auto *hall = new HallDisplay(caller, [this] { cmdStart->click(); }, this);
            PhoneCorner::attach(hall, *sharing);
            connect(hall->findChild<HallPlacement *>(), &HallPlacement::placed, this, &frmKalvor::claimsOverHall,
                    Qt::QueuedConnection);
            return hall;
        })
        ->place();
}

void frmKalvor::mnuAbout_Click()
{
    showOnTop(windows.get<frmAbout>([this] { return new frmAbout(greeter, this); }));
}

void frmKalvor::mnuCalls_Click()
{
    showOnTop(windows.get<frmCalls>([this] { return new frmCalls(caller, this); }));
}

void frmKalvor::mnuTickets_Click()
{
    showOnTop(windows.get<frmPrintTickets>([this] {
        auto *window = new frmPrintTickets(this);
        connect(window, &frmPrintTickets::bookDone, this,
                [this](const QString &news) { readerNews->tellMustHear(ReaderNews::Subject::Book, news); });
        connect(window, &frmPrintTickets::bookDone, books, &BooksInPlay::refresh); // claims from its tickets
        return window;
    }));
}

void frmKalvor::mnuPrizes_Click()
{
    showOnTop(windows.get<frmPrizes>([this] { return new frmPrizes(caller, this); }));
}

// A claim stops the calling at once, wherever the host's keys are.
void frmKalvor::mnuClaim_Click()
{
    readerNews->settle(ReaderNews::Subject::Claim); // the host is on it
    // The claim from a phone to check next comes filled in, unless it was filled in already
    // (the host may have typed another ticket since).
    const PhoneClaim *next = sharing->claims().next();
    const frmClaim *open = windows.find<frmClaim>();
    if (next && (!open || !open->filledWith(next->code, next->call)))
        checkPhoneClaim(next->code, next->call);
    else
        claimWindow(false);
}

void frmKalvor::checkPhoneClaim(const QString &code, int call)
{
    claimWindow(true)->checkClaimAt(code, call);
}

frmClaim *frmKalvor::claimWindow(bool verdictFollows)
{
    // A verdict said at once is the first thing a reader hears: "Checking a claim" before it
    // would only delay the answer.
    quietClaimNews = verdictFollows;
    caller.claimStarted();
    quietClaimNews = false;
    frmClaim *claim = windows.get<frmClaim>([this] { return new frmClaim(caller, *books, this); });
    showOnTop(claim);
    return claim;
}

void frmKalvor::phoneClaimArrived(const PhoneClaim &arrived)
{
    caller.claimHeard();
    // Shown without the keys: the host may be typing elsewhere.
    phoneClaimsWindow()->show();
    claimsOverHall();
    if (claimTold.isActive()) {
        ++untold;
    } else {
        readerNews->tellMustHear(ReaderNews::Subject::Claim, tr("Claim from a phone for %1").arg(prizes::name(arrived.prize)));
        claimTold.start();
    }
}

frmPhoneClaims *frmKalvor::phoneClaimsWindow()
{
    return windows.get<frmPhoneClaims>([this] {
        auto *list = new frmPhoneClaims(sharing->claims(), this);
        connect(list, &frmPhoneClaims::check, this, &frmKalvor::checkPhoneClaim);
        list->move(frameGeometry().topRight() + QPoint(8, 0));
        return list;
    });
}

// The list stands over the display, as a question does, still leaving it the keys; at the
// display's bottom right, clear of the number, the count and the state's words.
void frmKalvor::claimsOverHall()
{
    HallDisplay *hall = windows.find<HallDisplay>();
    auto *list = windows.find<frmPhoneClaims>();
    if (!hall || !list || !list->isVisible() || !hall->isVisible() || !hall->sharesHostScreen())
        return;
    list->windowHandle()->setTransientParent(hall->windowHandle());
    list->move(hall->geometry().bottomRight() - QPoint(list->frameGeometry().width() + 16, list->frameGeometry().height() + 16));
    list->raise();
}

void frmKalvor::mnuPhones_Click()
{
    showOnTop(windows.get<frmPhones>([this] { return new frmPhones(*sharing, this); }));
}

// Calls So Far in front, following the calls, says each call itself as its line moves: the
// news would be a second voice for it.
void frmKalvor::tellReader(int n)
{
    const frmCalls *calls = windows.find<frmCalls>();
    if (caller.readerSpeaksNumbers() && !(calls && calls->announcesCalls()))
        readerNews->tell(QString::number(n));
}

void frmKalvor::tellNews(Game::News what)
{
    if (what == Game::News::Claim && quietClaimNews)
        return;
    if (what == Game::News::Resumed)
        readerNews->tellMustHear(ReaderNews::Subject::Game, readerWords(what, caller));
    else
        readerNews->tell(readerWords(what, caller));
}

// What did I miss: the claims waiting, the game not kept and where the game stands, said
// from the game as it is now; what was waiting to be said again is said by this.
void frmKalvor::mnuMissed_Click()
{
    readerNews->settleAll();
    readerNews->tell(missedWords(caller, sharing->claims().waiting()));
}

void frmKalvor::showKept()
{
    const QString why = caller.notKept();
    const bool shown = lblRecord && !lblRecord->isHidden();
    if (why.isEmpty()) {
        if (!shown)
            return;
        lblRecord->hide();
        readerNews->tellMustHear(ReaderNews::Subject::Record, tr("The game is kept again"));
    } else {
        if (!lblRecord)
            lblRecord = statusLine(QStringLiteral("lblRecord"));
        lblRecord->setText(tr("This game is not being kept, so a crash would lose it: %1.").arg(why));
        lblRecord->setMinimumHeight(lblRecord->heightForWidth(lblRecord->width()));
        lblRecord->show();
        if (!shown)
            readerNews->tellMustHear(ReaderNews::Subject::Record, spokenLine(lblRecord->text()));
    }
    fitStatusLines();
}

// Players beyond the hall not reached: said under the board while the caller tries again,
// and once to a reader each way.
void frmKalvor::showRelay()
{
    const bool shown = lblRelay && !lblRelay->isHidden();
    const Relay::Link link = relay->state().link;
    const bool lost = relay->on() && (link == Relay::Link::Waiting || (shown && link == Relay::Link::Connecting));
    if (!lost) {
        if (!shown)
            return;
        lblRelay->hide();
        if (relay->on())
            readerNews->tell(tr("Players beyond the hall are reached again"));
    } else {
        if (!lblRelay)
            lblRelay = statusLine(QStringLiteral("lblRelay"));
        if (link == Relay::Link::Waiting)
            lblRelay->setText(tr("Players beyond the hall are not being reached (%1); the caller keeps trying.")
                                  .arg(relay->state().why));
        lblRelay->setMinimumHeight(lblRelay->heightForWidth(lblRelay->width()));
        lblRelay->show();
        if (!shown)
            readerNews->tell(lblRelay->text());
    }
    fitStatusLines();
}

QLabel *frmKalvor::statusLine(const QString &name)
{
    auto *line = new QLabel(this);
    line->setObjectName(name);
    line->setWordWrap(true);
    line->setTextFormat(Qt::PlainText);
    line->setFixedWidth(centralWidget()->width() - 2 * style()->pixelMetric(QStyle::PM_LayoutLeftMargin));
    statusBar()->setSizeGripEnabled(false);
    statusBar()->addWidget(line, 1);
    return line;
}

void frmKalvor::fitStatusLines()
{
    // The lines make the window taller (or shorter when they go), as soon as they are shown:
    // it grows about its centre, so that it stays where the host put it, centred if it was.
    const QPoint centre = frameGeometry().center();
    const QSize margins = frameGeometry().size() - size();
    const bool any = (lblRecord && !lblRecord->isHidden()) || (lblRelay && !lblRelay->isHidden());
    statusBar()->setVisible(any);
    setFixedSize(sizeHint());
    if (centred && isVisible())
        placeAround(centre, sizeHint() + margins);
}

void frmKalvor::placeAround(QPoint centre, QSize frameSize)
{
    // The new size is not yet the window's on every platform: the frame is placed by it.
    QRect frame(QPoint(), frameSize);
    frame.moveCenter(centre);
    if (const QScreen *where = screen()) {
        // Kept on its screen, the title bar first.
        const QRect area = where->availableGeometry();
        if (frame.bottom() > area.bottom())
            frame.moveBottom(area.bottom());
        if (frame.top() < area.top())
            frame.moveTop(area.top());
    }
    move(frame.topLeft());
}

void frmKalvor::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (centred)
        return;
    centred = true;
    // The host's screen is the primary one, wherever the desktop arranged the others: a
    // window manager would open a plain window there too, and the hall's display then
    // takes the other screen. The screen at the desktop's origin may be the projector.
    QScreen *where = QGuiApplication::primaryScreen();
    if (!where)
        where = screen();
    if (!where)
        return;
    if (where != screen())
        setScreen(where);
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
    if (HallDisplay *hall = windows.find<HallDisplay>())
        hall->comeForward();
}

// Escape closes the hall's display from the host's window too, where the keys stay while
// the display is on a screen of its own.
void frmKalvor::keyPressEvent(QKeyEvent *event)
{
    HallDisplay *hall = windows.find<HallDisplay>();
    if (event->key() == Qt::Key_Escape && hall)
        hall->close();
    else
        QMainWindow::keyPressEvent(event);
}

void frmKalvor::closeEvent(QCloseEvent *event)
{
    // Closing through the frame ends the program like Exit, without the question.
    event->accept();
    caller.endProgram();
}
