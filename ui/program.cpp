#include "program.h"

#include "appquitter.h"
#include "atomicfile.h"
#include "clockrandomsource.h"
#include "commandline.h"
#include "frmkalvor.h"
#include "latevoice.h"
#include "look.h"
#include "messageboxquestion.h"
#include "oneinstance.h"
#include "phonecorner.h"
#include "relaysharing.h"
#include "recordfile.h"
#include "screenkeeper.h"
#include "bookprinter.h"
#include "version.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// Runs a task once, after the watched window's first paint, or after a while if the
// window is never painted (minimised at start, no display to paint on).
class AfterFirstPaint : public QObject
{
public:
    AfterFirstPaint(QWidget *window, std::function<void()> task)
        : QObject(window)
        , task(std::move(task))
    {
        window->installEventFilter(this);
        QTimer::singleShot(1000, this, &AfterFirstPaint::run);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, this, &AfterFirstPaint::run);
        }
        return false;
    }

private:
    void run()
    {
        if (!task)
            return;
        const auto once = std::move(task);
        task = nullptr;
        once();
    }

    std::function<void()> task;
};
}

namespace {
// Why no window can be shown, in the user's terms: the variable or the package missing.
QByteArray whyNoDisplay()
{
    const bool wayland = qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
    const bool x11 = qEnvironmentVariableIsSet("DISPLAY");
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        return "the display named by QT_QPA_PLATFORM (" + qgetenv("QT_QPA_PLATFORM") + ") cannot be used";
    if (wayland && !x11) {
        // The compositor's socket first: with none there, no package would help.
        QString socket = qEnvironmentVariable("WAYLAND_DISPLAY");
        if (!QDir::isAbsolutePath(socket))
            socket = qEnvironmentVariable("XDG_RUNTIME_DIR") + QLatin1Char('/') + socket;
        if (!QFileInfo(socket).exists())
            return "the Wayland compositor named by WAYLAND_DISPLAY is not running (no socket " + QFile::encodeName(socket)
                + ")";
        const QString plugins = QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms");
        if (QDir(plugins).entryList({QStringLiteral("libqwayland*")}).isEmpty())
            return "this Wayland desktop needs Qt's Wayland support: install the package qt6-wayland";
        return "cannot open the Wayland display " + qgetenv("WAYLAND_DISPLAY");
    }
    if (x11)
        return "cannot open the display " + qgetenv("DISPLAY");
    return "there is no display: neither DISPLAY nor WAYLAND_DISPLAY is set";
}

QtMessageHandler ordinaryMessages = nullptr;

// While Qt looks for a display its platform messages are held back; if it finds none, the
// program says why in one line and ends with status 1 instead of Qt's abort.
void displayMessages(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s: %s\n", version::Command, whyNoDisplay().constData());
        std::_Exit(1);
    }
    if (context.category && std::strncmp(context.category, "qt.qpa.", 7) == 0)
        return;
    ordinaryMessages(type, context, text);
}
} // namespace

namespace {
int signalPipe[2] = {-1, -1};

void onEndSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t sent = ::write(signalPipe[1], &byte, 1);
}

// A logout, a shutdown or a kill asks the program to end: it ends as after a close of
// its window, with the game on record for resuming, instead of dying in the middle of a
// write.
void endOnSignals(Game &game, QObject *owner)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, &game, [&game, notifier] {
        notifier->setEnabled(false);
        game.endProgram();
    });
    struct sigaction action {};
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}
// --export-page: the players' page as files for a static host, without a display. Prints
// nothing on success.
int exportPageCommand(int argc, char *argv[], const CommandLine &line)
{
    QCoreApplication app(argc, argv);
    QString players = line.broker;
    if (players.isEmpty()) {
        RelaySettings settings;
        QFile file(RelaySharing::settingsPath());
        QString why;
        if (file.open(QIODevice::ReadOnly))
            RelaySettings::parse(file.read(RelaySettings::MaxFileSize + 1), settings, why);
        if (!settings.host.isEmpty())
            players = settings.playersAddress();
    }
    if (players.isEmpty()) {
        std::fprintf(stderr, "%s: --export-page needs --broker wss://HOST:PORT, or a broker set in Share Beyond the Hall\n",
                     version::Command);
        return 2;
    }
    QString why;
    QUrl broker;
    if (!relaylink::brokerAddress(players, broker, why)) {
        std::fprintf(stderr, "%s: --broker is wss://HOST:PORT (or ws://), not '%s'\n", version::Command,
                     qPrintable(printable(players)));
        return 2;
    }
    if (!RelaySharing::exportPage(line.folder, players, PhoneCorner::palette(), why)) {
        std::fprintf(stderr, "%s: cannot write the page to %s: %s\n", version::Command,
                     qPrintable(printable(line.folder)), qPrintable(printable(why)));
        return 1;
    }
    return 0;
}
} // namespace

int runProgram(int argc, char *argv[])
{
    // The command line is read before any display is opened, so --help works anywhere.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine line = CommandLine::parse(arguments);
    if (line.action == CommandLine::Tickets)
        return printBookCommand(argv[0], line.strips, line.output, line.paper);
    if (line.action == CommandLine::ExportPage)
        return exportPageCommand(argc, argv, line);
    if (line.action != CommandLine::Run) {
        std::fputs(line.text.toLocal8Bit().constData(), line.action == CommandLine::Error ? stderr : stdout);
        return line.status;
    }

    ordinaryMessages = qInstallMessageHandler(displayMessages);
    QApplication app(argc, argv);
    qInstallMessageHandler(ordinaryMessages);
    QApplication::setApplicationName(QLatin1String(version::Command));
    QApplication::setApplicationVersion(QLatin1String(version::Number));
    QGuiApplication::setDesktopFileName(QLatin1String(version::AppId));
    // Menus and message boxes are windows of their own and would not inherit the main
    // window's font; giving it to the whole program also spares loading a face never shown.
    QApplication::setFont(look::windowFont());

    // A second launch brings the running caller to the front instead of calling a second
    // game over it; the bus is asked while the window is being built.
    OneInstance instance{QLatin1String(version::AppId)};

    LateVoice voice(QCoreApplication::applicationDirPath());
    MessageBoxQuestion question;
    AppQuitter quitter;
    ClockRandomSource random;
    // Made before the window, so it outlives the game and writes its last record.
    RecordFile keeper(RecordFile::defaultFolder());

    // The game is made before the window and outlives it, with every window it opens.
    Game game(voice, question, quitter, random);
    frmKalvor window(game, voice);
    question.setParentWindow(&window);
    voice.arrived = [&game](Announcer &layer) { game.setVoice(layer); };
    // The sound libraries are loaded and the sound server asked for its device once the
    // window is on screen, long before the first call can come; the recordings follow in
    // the background.
    new AfterFirstPaint(&window, [&voice] { voice.load(); });
    ScreenKeeper screen;
    QObject::connect(&game, &Game::callingChanged, &screen, &ScreenKeeper::setHeld);
    if (instance.isSecond()) {
        if (instance.activateFirst()) {
            std::printf("%s: already running; its window was brought to the front\n", version::Command);
            return 0;
        }
        // A caller holds the desktop's name but does not answer: stopped, or hung. Two
        // callers in one hall would call two games, so the host decides.
        std::fprintf(stderr, "%s: a caller is already running on this desktop but does not answer\n",
                     version::Command);
        QMessageBox box(QMessageBox::Question, QLatin1String(version::DisplayName),
                        QObject::tr("A caller is already running on this desktop, but it does not answer.\n\n"
                                    "Start another caller anyway?"),
                        QMessageBox::Yes | QMessageBox::No);
        box.setObjectName(QStringLiteral("notAnswering"));
        box.setDefaultButton(QMessageBox::No);
        if (box.exec() != QMessageBox::Yes)
            return 1;
    }
    // The record is the one caller's: a second caller started anyway finds its folder
    // locked, keeps nothing and offers nothing, so the first one's game is never
    // overwritten or doubled, and says so in its window. One that is only ending, still
    // writing its last records, is waited for before the window shows.
    keeper.claim();
    game.setKeeper(&keeper);
    window.show();
    instance.serve(window.windowHandle());
    endOnSignals(game, &window);
    // Before the first call can come: a game a crash or a power cut interrupted.
    game.offerResume();
    // A logout during the question ended the program before its event loop began.
    if (quitter.ended())
        return 0;
    const int status = QApplication::exec();
    // The window is gone; the last records may still be on their way to a slow disk. A
    // launch from now on starts a caller of its own, which waits for them and offers the game.
    keeper.ending();
    instance.release();
    return status;
}
