// The relay plugin: the game's board, books and verdicts published through an MQTT broker
// (libmosquitto), each signed (libsodium), and the page's files for a static host.
#include "mqttrelay.h"
#include "relay.h"
#include "seal.h"

#include <QDir>
#include <QFile>

static void loadPages()
{
    Q_INIT_RESOURCE(page);
    Q_INIT_RESOURCE(relaypage);
}

extern "C" Q_DECL_EXPORT Relay *TK_RELAY_ENTRY(const QByteArray &seed, const QByteArray &topic,
                                               const Relay::Broker &broker, const Relay::Hooks &hooks)
{
    return new MqttRelay(seed, topic, broker, hooks);
}

extern "C" Q_DECL_EXPORT QByteArray TK_RELAY_PUBLIC_KEY(const QByteArray &seed)
{
    return Seal(seed).publicKey();
}

extern "C" Q_DECL_EXPORT QList<QPair<QString, QByteArray>> TK_RELAY_PAGE()
{
    loadPages();
    QList<QPair<QString, QByteArray>> files;
    for (const QString &folder : {QStringLiteral(":/phones"), QStringLiteral(":/relay")}) {
        const QDir dir(folder);
        for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
            QFile file(dir.filePath(name));
            if (file.open(QIODevice::ReadOnly))
                files.append({name, file.readAll()});
        }
    }
    return files;
}
