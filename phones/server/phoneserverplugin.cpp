// The phones' server plugin: the page, the board and the claims served over Qt HttpServer
// and Qt WebSockets, made when the host first shares the game.
#include "phoneserver.h"
#include "station.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QNetworkInterface>
#include <QThread>

#include <map>
#include <mutex>
#include <utility>

namespace {
class ServedStation : public PhoneServer
{
public:
    ServedStation(const QByteArray &palette, const Hooks &hooks)
        : station(palette)
    {
        QObject::connect(&station, &Station::phonesChanged, &station, hooks.phonesChanged);
        QObject::connect(&station, &Station::claimed, &station, hooks.claimed);
    }

    bool open(qintptr listening) override { return station.adopt(listening); }
    void publish(const QByteArray &snapshot) override { station.publish(snapshot); }
    void setBooks(const std::vector<BookList::Book> &books) override { station.setBooks(books); }
    void tellVerdict(const QString &code, const QByteArray &message) override { station.tellVerdict(code, message); }

private:
    Station station;
};

// What is said on the error output from the server's thread (Qt's network modules on a
// refused or broken connection) is said at most once a minute of each kind, with how many
// like it went unsaid: a hostile client cannot fill the host's error output or logs.
QtMessageHandler ordinaryMessages = nullptr;
std::mutex summaryLock;
struct Kind
{
    QElapsedTimer said;
    int unsaid = 0;
};
std::map<QString, Kind> kinds;
constexpr int SummaryMs = 60000;
constexpr std::size_t MostKinds = 64;

void summarised(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtFatalMsg || QThread::currentThread()->objectName() != QLatin1String("phones")) {
        ordinaryMessages(type, context, message);
        return;
    }
    QString kind = QString::fromLatin1(context.category ? context.category : "") + QLatin1Char(' ') + message.left(48);
    std::unique_lock<std::mutex> lock(summaryLock);
    if (kinds.size() >= MostKinds && kinds.find(kind) == kinds.end())
        kind = QStringLiteral("other");
    Kind &k = kinds[kind];
    if (k.said.isValid() && !k.said.hasExpired(SummaryMs)) {
        ++k.unsaid;
        return;
    }
    const int unsaid = std::exchange(k.unsaid, 0);
    k.said.start();
    lock.unlock();
    ordinaryMessages(type, context,
                     unsaid ? message + QStringLiteral(" (and %1 more like it in the last minute)").arg(unsaid) : message);
}

bool hallNetwork(const QHostAddress &address)
{
    // 10/8, 172.16/12 and 192.168/16: the addresses a home or hall router hands out.
    return address.isInSubnet(QHostAddress(QStringLiteral("10.0.0.0")), 8)
        || address.isInSubnet(QHostAddress(QStringLiteral("172.16.0.0")), 12)
        || address.isInSubnet(QHostAddress(QStringLiteral("192.168.0.0")), 16);
}
} // namespace

extern "C" Q_DECL_EXPORT PhoneServer *TK_PHONES_ENTRY(const QByteArray &palette, const PhoneServer::Hooks &hooks)
{
    static std::once_flag summarising;
    std::call_once(summarising, [] { ordinaryMessages = qInstallMessageHandler(summarised); });
    return new ServedStation(palette, hooks);
}

extern "C" Q_DECL_EXPORT QStringList TK_PHONES_ADDRESSES(quint16 port)
{
    QStringList hall;
    QStringList other;
    const QString number = QString::number(port);
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
                ? QStringLiteral("http://[%1]:%2/").arg(address.toString(), number)
                : QStringLiteral("http://%1:%2/").arg(address.toString(), number);
            if (address.protocol() == QAbstractSocket::IPv4Protocol && hallNetwork(address))
                hall << url;
            else
                other << url;
        }
    }
    return hall + other;
}
