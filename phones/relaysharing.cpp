#include "relaysharing.h"

#include "atomicfile.h"
#include "boardfeed.h"
#include "books.h"
#include "booksinplay.h"
#include "game.h"
#include "phoneclaims.h"
#include "pluginfile.h"
#include "version.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

namespace {
const QByteArray KeyHeading = "tabro-kalvor relay key 1";
constexpr int SeedBytes = 32;

QByteArray readSmall(const QString &path, qint64 most, bool &found)
{
    QFile file(path);
    found = file.exists();
    if (!found || !file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.read(most + 1);
}

// The game's private key: read from the state folder, or made and kept there the first time.
QByteArray gameSeed(QString &why)
{
    const QString path = RelaySharing::keyPath();
    bool found = false;
    const QByteArray text = readSmall(path, 4096, found);
    if (found) {
        const QList<QByteArray> lines = text.split('\n');
        const QByteArray seed = lines.size() >= 2 && lines[0] == KeyHeading ? QByteArray::fromBase64(lines[1]) : QByteArray();
        if (seed.size() == SeedBytes)
            return seed;
        // A damaged key cannot sign for the old link: it is kept aside, and the game gets a new one.
        QString ignored;
        moveAside(path, ignored);
    }
    QByteArray seed(SeedBytes, '\0');
    QRandomGenerator::system()->generate(reinterpret_cast<quint32 *>(seed.data()),
                                         reinterpret_cast<quint32 *>(seed.data() + SeedBytes));
    if (!makeStateFolder(QFileInfo(path).absolutePath(), why)
        || !writeAtomically(path, KeyHeading + '\n' + seed.toBase64() + '\n', why, 0600)) {
        why = QStringLiteral("The game's key cannot be kept: %1").arg(why);
        return QByteArray();
    }
    return seed;
}
} // namespace

RelaySharing::RelaySharing(const Game &game, PhoneClaims &claims, BooksInPlay &books, const QByteArray &palette,
                           QObject *parent)
    : QObject(parent)
    , game(game)
    , claims(claims)
    , books(books)
    , palette(palette)
{
    bool found = false;
    const QByteArray text = readSmall(settingsPath(), RelaySettings::MaxFileSize, found);
    QString why;
    if (found && !RelaySettings::parse(text, kept, why))
        kept = RelaySettings();
    since.start();
    // The host's verdict on a ticket's claim goes to that ticket's pages wherever they are,
    // kept on the broker until the next game, so a page that comes back later still hears it.
    connect(&claims, &PhoneClaims::verdict, this, [this](const QString &code, const QByteArray &message) {
        if (!relay || code.isEmpty())
            return;
        if (feed)
            feed->flush();
        relay->publish("ticket/" + code.toLatin1(), message, true);
        verdicts.insert(code);
    });
    connect(&game, &Game::callsChanged, this, [this] {
        if (!this->game.calls().empty() || !relay)
            return;
        for (const QString &code : verdicts)
            relay->forget("ticket/" + code.toLatin1());
        verdicts.clear();
    });
    connect(&books, &BooksInPlay::changed, this, &RelaySharing::readBooks);
}

RelaySharing::~RelaySharing()
{
    QString why;
    setOn(false, why);
}

QString RelaySharing::keyPath()
{
    return QDir(defaultStateFolder()).filePath(QStringLiteral("relay.key"));
}

QString RelaySharing::settingsPath()
{
    return QDir(defaultStateFolder()).filePath(QStringLiteral("relay.conf"));
}

bool RelaySharing::setSettings(const RelaySettings &settings, QString &why)
{
    if (settings == kept)
        return true;
    if (!makeStateFolder(defaultStateFolder(), why) || !writeAtomically(settingsPath(), settings.text(), why, 0600))
        return false;
    kept = settings;
    return true;
}

int RelaySharing::retryIn() const
{
    if (current.link != Relay::Link::Waiting)
        return 0;
    return std::max(0, current.retryIn - int(since.elapsed() / 1000));
}

QString RelaySharing::stateWords() const
{
    if (!on())
        return QString();
    switch (current.link) {
    case Relay::Link::Connecting:
        return QStringLiteral("Connecting to %1…").arg(kept.host);
    case Relay::Link::Connected:
        return QStringLiteral("Connected: players are being reached");
    case Relay::Link::Waiting:
        break;
    }
    return QStringLiteral("Reconnecting in %1 s: %2").arg(std::max(1, retryIn())).arg(current.why);
}

bool RelaySharing::loadRelay(QString &why)
{
    if (create)
        return true;
    if (loadPlugin(plugin, QCoreApplication::applicationDirPath(), QStringLiteral(TK_RELAY_PLUGIN))) {
        // The pointers' types are the declarations' own, so the compiler checks the calls.
        create = reinterpret_cast<CreateRelay>(plugin.resolve(CreateRelaySymbol));
        publicKeyOf = reinterpret_cast<RelayPublicKey>(plugin.resolve(RelayPublicKeySymbol));
        pageFiles = reinterpret_cast<RelayPage>(plugin.resolve(RelayPageSymbol));
    }
    if (!create || !publicKeyOf || !pageFiles) {
        create = nullptr;
        why = QStringLiteral("The relay is missing from this installation (%1).").arg(plugin.errorString());
        qWarning("%s: the relay could not be loaded (%s)", version::Command, qPrintable(plugin.errorString()));
        return false;
    }
    return true;
}

QByteArray RelaySharing::publicKey(QString &why)
{
    if (!key.isEmpty())
        return key;
    if (!loadRelay(why))
        return QByteArray();
    seed = gameSeed(why);
    if (seed.isEmpty())
        return QByteArray();
    key = publicKeyOf(seed);
    return key;
}

QString RelaySharing::link(const QStringList &tickets, QString &why)
{
    const QByteArray publicKey = this->publicKey(why);
    if (publicKey.isEmpty())
        return QString();
    return relaylink::playersLink(kept.pageAddress(), kept.playersAddress(), publicKey, tickets);
}

bool RelaySharing::setOn(bool wanted, QString &why)
{
    if (wanted == on())
        return true;
    if (!wanted) {
        // The network thread ends within a wait of its poll; the connection is closed cleanly.
        delete relay;
        relay = nullptr;
        delete feed;
        feed = nullptr;
        current = Relay::State();
        following = -1;
        Q_EMIT changed();
        return true;
    }
    if (!kept.usable(why) || publicKey(why).isEmpty())
        return false;
    refused = 0;
    recent.clear();
    verdicts.clear();
    // What the last relay left queued is not this one's.
    const int made = ++generation;
    waiting = std::make_shared<std::atomic<int>>(0);
    Relay::Hooks hooks;
    hooks.stateChanged = [this, made](const Relay::State &state) {
        QMetaObject::invokeMethod(this, [this, made, state] {
            if (!relay || made != generation)
                return;
            current = state;
            since.restart();
            Q_EMIT changed();
        }, Qt::QueuedConnection);
    };
    hooks.clientsChanged = [this, made](int clients) {
        QMetaObject::invokeMethod(this, [this, made, clients] {
            if (!relay || made != generation)
                return;
            following = std::max(0, clients - 1); // the caller is one of the broker's clients
            Q_EMIT changed();
        }, Qt::QueuedConnection);
    };
    // A flood of claims waits in a bounded queue: past it, a claim is dropped unread.
    hooks.claimed = [this, made, count = waiting](const QByteArray &message) {
        if (count->fetch_add(1) >= MaxWaiting) {
            count->fetch_sub(1);
            return;
        }
        QMetaObject::invokeMethod(this, [this, made, count, message] {
            count->fetch_sub(1);
            if (made == generation)
                claimed(message);
        }, Qt::QueuedConnection);
    };
    Relay::Broker broker{kept.host.trimmed(), kept.port, kept.tls, kept.user, kept.password};
    current = Relay::State();
    since.restart();
    relay = create(seed, relaylink::topicOf(key), broker, hooks);
    feed = new BoardFeed(game, this);
    connect(feed, &BoardFeed::changed, this, &RelaySharing::published);
    published(feed->snapshot());
    readBooks();
    Q_EMIT changed();
    return true;
}

void RelaySharing::published(const QByteArray &snapshot)
{
    desk.follow(snapshot, QDateTime::currentMSecsSinceEpoch());
    if (relay)
        relay->publish("board", snapshot, true);
}

void RelaySharing::readBooks()
{
    if (!relay)
        return;
    desk.setBooks(books.books());
    relay->publish("books", desk.booksMessage(), true);
}

// A claim from beyond the hall: bounded for all tickets together, then admitted as the hall's
// are, each ticket standing for the phone it came from. The answer goes to the ticket's
// pages with the nonce of the page that sent it.
void RelaySharing::claimed(const QByteArray &message)
{
    if (!relay)
        return;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    while (!recent.empty() && now - recent.front() >= 60000)
        recent.pop_front();
    if (int(recent.size()) >= ClaimsPerMinute) {
        ++refused;
        Q_EMIT changed();
        return;
    }
    recent.push_back(now);
    const QJsonObject sent = QJsonDocument::fromJson(message).object();
    const QString code = sent.value(QStringLiteral("claim")).toString().left(20);
    const QString nonce = sent.value(QStringLiteral("nonce")).toString().left(32);
    const QString ticket = QLatin1String(FromRelay) + code.toUpper().remove(QLatin1Char('-'));
    const ClaimDesk::Answer answer = desk.admit(ticket, message, now);
    if (answer.claim.code.isEmpty())
        return; // not a ticket's code: there is no page to answer
    QJsonObject told = QJsonDocument::fromJson(answer.text()).object();
    told.insert(QStringLiteral("nonce"), nonce);
    relay->publish("ticket/" + answer.claim.code.toLatin1(), QJsonDocument(told).toJson(QJsonDocument::Compact), false);
    if (answer.status == 202)
        claims.add(answer.claim);
}

bool RelaySharing::exportPage(const QString &folder, QString &why)
{
    return loadRelay(why) && exportPage(folder, kept.playersAddress(), palette, why);
}

bool RelaySharing::exportPage(const QString &folder, const QString &players, const QByteArray &palette, QString &why)
{
    QUrl broker;
    if (!relaylink::brokerAddress(players, broker, why))
        return false;
    QLibrary library;
    if (!loadPlugin(library, QCoreApplication::applicationDirPath(), QStringLiteral(TK_RELAY_PLUGIN))) {
        why = QStringLiteral("the relay is missing from this installation (%1)").arg(library.errorString());
        return false;
    }
    const auto files = reinterpret_cast<RelayPage>(library.resolve(RelayPageSymbol));
    if (!files) {
        why = QStringLiteral("the relay is missing from this installation");
        return false;
    }
    return relaylink::writePage(folder, files(), palette, broker, why);
}
