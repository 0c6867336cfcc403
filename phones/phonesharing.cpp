#include "phonesharing.h"

#include "atomicfile.h"
#include "boardfeed.h"
#include "books.h"
#include "game.h"
#include "phoneclaims.h"
#include "station.h"

#include <QHostAddress>
#include <QNetworkInterface>

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

bool hallNetwork(const QHostAddress &address)
{
    // 10/8, 172.16/12 and 192.168/16: the addresses a home or hall router hands out.
    return address.isInSubnet(QHostAddress(QStringLiteral("10.0.0.0")), 8)
        || address.isInSubnet(QHostAddress(QStringLiteral("172.16.0.0")), 12)
        || address.isInSubnet(QHostAddress(QStringLiteral("192.168.0.0")), 16);
}
} // namespace

PhoneSharing::PhoneSharing(const Game &game, const QByteArray &palette, QObject *parent)
    : QObject(parent)
    , game(game)
    , palette(palette)
{
    thread.setObjectName(QStringLiteral("phones"));
    home->moveToThread(&thread);
    // Claims from phones wait here for the host; a new game sets them aside.
    qRegisterMetaType<PhoneClaim>();
    claimList = new PhoneClaims(this);
    connect(&game, &Game::callsChanged, claimList, [this] {
        if (this->game.calls().empty()) {
            claimList->clear();
            readBooks(); // a book printed by another run meanwhile
        }
    });
}

PhoneSharing::~PhoneSharing()
{
    setOn(false);
    delete home;
}

bool PhoneSharing::setOn(bool wanted)
{
    if (wanted == on())
        return true;
    if (wanted) {
        roomForConnections();
        feed = new BoardFeed(game, this);
        thread.start();
        // Made on its own thread: Qt HttpServer keeps its WebSocket server inside, where a
        // move to another thread would not reach it.
        QMetaObject::invokeMethod(
            home,
            [this] {
                yieldToTheWindow();
                station = new Station(palette);
                station->publish(feed->snapshot());
                listening = station->open(FirstPort, Ports);
                listener = station->listener();
            },
            Qt::BlockingQueuedConnection);
        if (listening == 0) {
            setOn(false);
            return false;
        }
        // Snapshots cross to the server's thread queued: the game never waits for a phone.
        connect(feed, &BoardFeed::changed, station, &Station::publish, Qt::QueuedConnection);
        connect(station, &Station::phonesChanged, this, [this](int phones) {
            following = phones;
            Q_EMIT phonesChanged(phones);
        }, Qt::QueuedConnection);
        connect(station, &Station::claimed, claimList, &PhoneClaims::add, Qt::QueuedConnection);
        connect(claimList, &PhoneClaims::verdict, station, &Station::tellVerdict, Qt::QueuedConnection);
        readBooks();
    } else {
        delete feed;
        feed = nullptr;
        if (thread.isRunning()) {
            // The port closes now, even while the server's thread is still busy with a crowd.
            if (listener >= 0)
                ::shutdown(int(listener), SHUT_RDWR);
            listener = -1;
            QMetaObject::invokeMethod(home, [this] { delete station; }, Qt::BlockingQueuedConnection);
            thread.quit();
            thread.wait();
        }
        station = nullptr;
        listening = 0;
        if (following != 0) {
            following = 0;
            Q_EMIT phonesChanged(0);
        }
    }
    Q_EMIT sharingChanged(on());
    return true;
}

QStringList PhoneSharing::addresses() const
{
    QStringList hall;
    QStringList other;
    if (!on())
        return hall;
    const QString port = QString::number(listening);
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &interface : interfaces) {
        const auto flags = interface.flags();
        if (!(flags & QNetworkInterface::IsUp) || !(flags & QNetworkInterface::IsRunning)
            || (flags & QNetworkInterface::IsLoopBack) || interface.type() == QNetworkInterface::Virtual)
            continue;
        for (const QNetworkAddressEntry &entry : interface.addressEntries()) {
            const QHostAddress address = entry.ip();
            // A link-local address needs its interface named, which a phone cannot do.
            if (address.isLinkLocal() || address.isLoopback())
                continue;
            const QString url = address.protocol() == QAbstractSocket::IPv6Protocol
                ? QStringLiteral("http://[%1]:%2/").arg(address.toString(), port)
                : QStringLiteral("http://%1:%2/").arg(address.toString(), port);
            if (address.protocol() == QAbstractSocket::IPv4Protocol && hallNetwork(address))
                hall << url;
            else
                other << url;
        }
    }
    return hall + other;
}

void PhoneSharing::readBooks()
{
    if (!station)
        return;
    BookList list(defaultStateFolder());
    QString why;
    list.load(why);
    QList<quint32> books;
    for (const BookList::Book &book : list.books())
        books << book.book;
    QMetaObject::invokeMethod(station, [target = station, books] { target->setBooks(books); }, Qt::QueuedConnection);
}
