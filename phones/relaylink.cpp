#include "relaylink.h"

#include "atomicfile.h"

#include <QDir>
#include <QFileInfo>

namespace {
const QByteArray Heading = "tabro-kalvor relay 1";

QString webSocketOf(const QString &host)
{
    const QString name = host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return QStringLiteral("ws://%1:%2").arg(name).arg(RelaySettings::PlayersPort);
}

// The broker's http_dir listener serves the page at its root.
QString pageOf(const QString &players)
{
    QUrl url(players);
    url.setScheme(url.scheme() == QLatin1String("wss") ? QStringLiteral("https") : QStringLiteral("http"));
    url.setPath(QStringLiteral("/"));
    return url.toString();
}
} // namespace

QString RelaySettings::playersAddress() const
{
    return players.isEmpty() ? webSocketOf(host) : players;
}

QString RelaySettings::pageAddress() const
{
    return page.isEmpty() ? pageOf(playersAddress()) : page;
}

bool RelaySettings::usable(QString &why) const
{
    if (host.trimmed().isEmpty()) {
        why = QStringLiteral("Type the broker's address.");
        return false;
    }
    if (host.contains(QLatin1Char(' ')) || host.contains(QLatin1Char('/'))) {
        why = QStringLiteral("The broker's address is a name or a number, without spaces or slashes.");
        return false;
    }
    if (port == 0) {
        why = QStringLiteral("The broker's port is a number from 1 to 65535.");
        return false;
    }
    QUrl url;
    if (!relaylink::brokerAddress(playersAddress(), url, why))
        return false;
    const QUrl where(pageAddress());
    if (!where.isValid() || (where.scheme() != QLatin1String("https") && where.scheme() != QLatin1String("http"))
        || where.host().isEmpty()) {
        why = QStringLiteral("The page's address starts with https:// or http:// and names a host.");
        return false;
    }
    return true;
}

QByteArray RelaySettings::text() const
{
    QByteArray text = Heading + '\n';
    auto line = [&text](const char *name, const QString &value) {
        QString plain = value.left(MaxText);
        plain.replace(QLatin1Char('\n'), QLatin1Char(' '));
        text += QByteArray(name) + ' ' + plain.toUtf8() + '\n';
    };
    line("host", host);
    line("port", QString::number(port));
    line("tls", tls ? QStringLiteral("1") : QStringLiteral("0"));
    line("user", user);
    line("password", password);
    line("players", players);
    line("page", page);
    return text + "end\n";
}

bool RelaySettings::parse(const QByteArray &bytes, RelaySettings &settings, QString &why)
{
    if (bytes.size() > MaxFileSize) {
        why = QStringLiteral("too long");
        return false;
    }
    const QList<QByteArray> lines = bytes.split('\n');
    if (lines.isEmpty() || lines.first() != Heading) {
        why = QStringLiteral("not the relay's settings");
        return false;
    }
    RelaySettings read;
    bool ended = false;
    for (int i = 1; i < lines.size() && !ended; ++i) {
        const QByteArray &line = lines[i];
        if (line == "end") {
            ended = true;
            break;
        }
        const qsizetype space = line.indexOf(' ');
        const QByteArray name = space < 0 ? line : line.left(space);
        const QString value = space < 0 ? QString() : QString::fromUtf8(line.mid(space + 1)).left(MaxText);
        if (name == "host") {
            read.host = value;
        } else if (name == "port") {
            bool number = false;
            const uint port = value.toUInt(&number);
            if (!number || port == 0 || port > 65535) {
                why = QStringLiteral("line %1: no port").arg(i + 1);
                return false;
            }
            read.port = quint16(port);
        } else if (name == "tls") {
            read.tls = value == QLatin1String("1");
        } else if (name == "user") {
            read.user = value;
        } else if (name == "password") {
            read.password = value;
        } else if (name == "players") {
            read.players = value;
        } else if (name == "page") {
            read.page = value;
        }
        // A name this version does not know is a later version's: left alone.
    }
    if (!ended) {
        why = QStringLiteral("cut short");
        return false;
    }
    settings = read;
    return true;
}

bool RelaySettings::operator==(const RelaySettings &other) const
{
    return text() == other.text();
}

namespace relaylink {

QByteArray topicOf(const QByteArray &publicKey)
{
    return "tabro-kalvor/" + publicKey.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

bool brokerAddress(const QString &text, QUrl &url, QString &why)
{
    url = QUrl(text.trimmed(), QUrl::StrictMode);
    const bool ok = url.isValid() && (url.scheme() == QLatin1String("ws") || url.scheme() == QLatin1String("wss"))
        && !url.host().isEmpty() && url.userInfo().isEmpty() && !url.hasQuery() && !url.hasFragment()
        && text.size() <= RelaySettings::MaxText && !text.contains(QLatin1Char(' '));
    if (!ok)
        why = QStringLiteral("The players' broker address starts with wss:// (or ws://) and names a host, "
                             "like wss://bingo.example.org:8081.");
    return ok;
}

QString playersLink(const QString &page, const QString &players, const QByteArray &publicKey,
                    const QStringList &tickets)
{
    QString link = page;
    const qsizetype hash = link.indexOf(QLatin1Char('#'));
    if (hash >= 0)
        link.truncate(hash);
    link += QStringLiteral("#b=") + QString::fromLatin1(QUrl::toPercentEncoding(players))
        + QStringLiteral("&k=")
        + QString::fromLatin1(publicKey.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
    if (!tickets.isEmpty())
        link += QStringLiteral("&t=") + tickets.join(QLatin1Char(','));
    return link;
}

QString contentPolicy(const QUrl &players)
{
    QUrl broker;
    broker.setScheme(players.scheme());
    broker.setHost(players.host());
    broker.setPort(players.port());
    return QStringLiteral("default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
                          "connect-src %1; base-uri 'none'; form-action 'none'")
        .arg(broker.toString(QUrl::FullyEncoded));
}

QByteArray exportedIndex(const QByteArray &hallIndex, const QUrl &players)
{
    QByteArray index = hallIndex;
    index.replace("href=\"/", "href=\"./");
    index.replace("src=\"/", "src=\"./");
    const QByteArray policy = contentPolicy(players).toHtmlEscaped().toUtf8();
    const QByteArray broker = players.toString(QUrl::FullyEncoded).toHtmlEscaped().toUtf8();
    index.replace("<meta charset=\"utf-8\">",
                  "<meta charset=\"utf-8\">\n<meta http-equiv=\"Content-Security-Policy\" content=\"" + policy
                      + "\">\n<meta name=\"referrer\" content=\"no-referrer\">\n<meta name=\"tk-broker\" content=\""
                      + broker + "\">");
    // The transport is handed to the page before the page starts.
    index.replace("<script src=\"./page.js\"",
                  "<script src=\"./mqtt.min.js\" defer></script>\n<script src=\"./relay.js\" defer></script>\n"
                  "<script src=\"./page.js\"");
    return index;
}

bool writePage(const QString &folder, const QList<QPair<QString, QByteArray>> &files, const QByteArray &palette,
               const QUrl &players, QString &why)
{
    const QFileInfo where(folder);
    if (where.exists() && !where.isDir()) {
        why = QStringLiteral("%1 is not a folder").arg(printable(folder));
        return false;
    }
    if (!QDir().mkpath(folder)) {
        why = QStringLiteral("%1 cannot be made").arg(printable(folder));
        return false;
    }
    for (const auto &[name, bytes] : files) {
        QByteArray body = bytes;
        if (name == QLatin1String("index.html"))
            body = exportedIndex(bytes, players);
        else if (name == QLatin1String("page.css"))
            body = palette + bytes;
        // Served to everyone: readable by the web server, whoever runs it.
        if (!writeAtomically(QDir(folder).filePath(name), body, why, 0644))
            return false;
    }
    return true;
}

} // namespace relaylink
