// The phones' server plugin: the page, the board and the claims served over Qt HttpServer
// and Qt WebSockets, made when the host first shares the game.
#include "phoneserver.h"
#include "station.h"

#include <QHostAddress>
#include <QNetworkInterface>

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

    quint16 open(quint16 first, int tries) override { return station.open(first, tries); }
    qintptr listener() const override { return station.listener(); }
    void publish(const QByteArray &snapshot) override { station.publish(snapshot); }
    void setBooks(const std::vector<BookList::Book> &books) override { station.setBooks(books); }
    void tellVerdict(const QString &code, const QByteArray &message) override { station.tellVerdict(code, message); }

private:
    Station station;
};

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
