#include "phonesharing.h"

#include "atomicfile.h"
#include "boardfeed.h"
#include "booksinplay.h"
#include "game.h"
#include "phoneclaims.h"
#include "pluginfile.h"
#include "listening.h"
#include "version.h"

#include <QCoreApplication>

#include <algorithm>

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
// A hall's phones each hold a connection open: the descriptors a desktop gives a program
// by default (often 1024) would run out first.
void roomForConnections()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return;
    const rlim_t wanted = 4096;
    if (limit.rlim_cur < wanted) {
        limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? wanted : std::min(wanted, limit.rlim_max);
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

// The server's thread yields to the window's: when both want the processor, a tick and the
// voice come first and the phones a moment later.
void yieldToTheWindow()
{
    setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), 5);
}

} // namespace

PhoneSharing::PhoneSharing(const Game &game, BooksInPlay &books, const QByteArray &palette, QObject *parent)
    : QObject(parent)
    , game(game)
    , books(books)
    , palette(palette)
{
    thread.setObjectName(QStringLiteral("phones"));
    home->moveToThread(&thread);
    // Claims from phones wait here for the host; a new game sets them aside.
    qRegisterMetaType<PhoneClaim>();
    claimList = new PhoneClaims(this);
    claimList->follow(game.identity());
    connect(&game, &Game::callsChanged, claimList, [this] {
        claimList->follow(this->game.identity());
        if (this->game.calls().empty())
            this->books.refresh(); // a book printed by another run meanwhile
    });
    // The host's decision goes to the phones' claims of that ticket at that call.
    connect(&game, &Game::claimDecided, claimList, &PhoneClaims::settle);
    connect(&books, &BooksInPlay::changed, this, &PhoneSharing::sendBooks);
    // The board that explains a verdict (the prize now won) reaches the phone before it, so
    // the page never offers to claim what it has just been told is its own.
    connect(claimList, &PhoneClaims::verdict, this, [this](const QString &code, const QByteArray &message) {
        if (feed)
            feed->flush();
        QMetaObject::invokeMethod(home, [this, code, message] {
            if (server)
                server->tellVerdict(code, message);
        }, Qt::QueuedConnection);
    });
}

PhoneSharing::~PhoneSharing()
{
    setOn(false);
    if (thread.isRunning()) {
        // The program is ending: the server goes before its thread.
        QMetaObject::invokeMethod(home, [this] { thread.quit(); }, Qt::QueuedConnection);
        thread.wait();
    }
    delete home;
}

bool PhoneSharing::setOn(bool wanted)
{
    if (wanted == sharing)
        return true;
    if (wanted) {
        if (!loadServer())
            return false;
        roomForConnections();
        // The port is opened here and now, so the host knows at once whether sharing
        // started; the server is made on its own thread, after whatever the last one left.
        // A hall arriving at once waits in the kernel, not in retries.
        const Listening door = Listening::onFirstFree(FirstPort, Ports, 1000);
        if (door.descriptor < 0)
            return false;
        sharing = true;
        listener = door.descriptor;
        listening = door.port;
        feed = new BoardFeed(game, this);
        if (!thread.isRunning())
            thread.start();
        // What the server tells comes back to the window's thread queued, and is dropped
        // once its sharing has stopped.
        const quint64 made = ++generation;
        PhoneServer::Hooks hooks;
        hooks.phonesChanged = [this, made](int phones) {
            QMetaObject::invokeMethod(this, [this, phones, made] {
                if (made != generation || !sharing)
                    return;
                following = phones;
                Q_EMIT phonesChanged(phones);
            }, Qt::QueuedConnection);
        };
        hooks.claimed = [list = claimList](const PhoneClaim &claim) {
            QMetaObject::invokeMethod(list, [list, claim] { list->add(claim); }, Qt::QueuedConnection);
        };
        // Made on its own thread: Qt HttpServer keeps its WebSocket server inside, where a
        // move to another thread would not reach it.
        QMetaObject::invokeMethod(
            home,
            [this, hooks, first = feed->snapshot(), descriptor = door.descriptor] {
                yieldToTheWindow();
                server = create(palette, hooks);
                server->publish(first);
                server->open(descriptor);
            },
            Qt::QueuedConnection);
        // Snapshots cross to the server's thread queued: the game never waits for a phone.
        connect(feed, &BoardFeed::changed, home, [this](const QByteArray &snapshot) {
            if (server)
                server->publish(snapshot);
        }, Qt::QueuedConnection);
        sendBooks();
        // The verdicts told this game while sharing was off wait for their pages.
        const auto told = claimList->told();
        QMetaObject::invokeMethod(home, [this, told] {
            for (const auto &[code, message] : told) {
                if (server)
                    server->tellVerdict(code, message);
            }
        }, Qt::QueuedConnection);
    } else {
        sharing = false;
        delete feed;
        feed = nullptr;
        // The port closes now; the phones are dropped on the server's own thread, however
        // many they are, and this one does not wait for it.
        ::shutdown(listener, SHUT_RDWR);
        listener = -1;
        QMetaObject::invokeMethod(home, [this] {
            delete server;
            server = nullptr;
        }, Qt::QueuedConnection);
        listening = 0;
        if (following != 0) {
            following = 0;
            Q_EMIT phonesChanged(0);
        }
    }
    Q_EMIT sharingChanged(sharing);
    return true;
}

QStringList PhoneSharing::addresses() const
{
    return sharing ? findAddresses(listening) : QStringList();
}

bool PhoneSharing::loadServer()
{
    if (create)
        return true;
    if (loadPlugin(plugin, QCoreApplication::applicationDirPath(), QStringLiteral(TK_PHONES_PLUGIN))) {
        // The pointers' types are the declarations' own, so the compiler checks the calls.
        create = reinterpret_cast<CreatePhoneServer>(plugin.resolve(CreatePhoneServerSymbol));
        findAddresses = reinterpret_cast<PhoneAddresses>(plugin.resolve(PhoneAddressesSymbol));
    }
    missing = !create || !findAddresses;
    if (missing) {
        create = nullptr;
        qWarning("%s: the phones' server could not be loaded (%s); the game cannot be shared", version::Command,
                 qPrintable(plugin.errorString()));
    }
    return !missing;
}

void PhoneSharing::sendBooks()
{
    if (!on())
        return;
    QMetaObject::invokeMethod(home, [this, list = books.books()] {
        if (server)
            server->setBooks(list);
    }, Qt::QueuedConnection);
}
