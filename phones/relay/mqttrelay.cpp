#include "mqttrelay.h"

#include <QDateTime>

#include <mosquitto.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;

void libraryOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

// What the last attempt met, in the host's words.
QString attemptWhy(int rc, int error)
{
    if (rc == MOSQ_ERR_ERRNO || rc == MOSQ_ERR_CONN_LOST || rc == MOSQ_ERR_NO_CONN)
        return error ? QString::fromLocal8Bit(std::strerror(error)) : QStringLiteral("the connection was lost");
    if (rc == MOSQ_ERR_EAI)
        return QStringLiteral("the broker's name was not found");
    if (rc == MOSQ_ERR_TLS)
        return QStringLiteral("the broker's TLS certificate was not accepted");
    return QString::fromUtf8(mosquitto_strerror(rc));
}
} // namespace

MqttRelay::MqttRelay(const QByteArray &seed, const QByteArray &topic, const Broker &broker, const Hooks &hooks)
    : sealer(seed)
    , topic(topic)
    , broker(broker)
    , hooks(hooks)
    , certificateFolder(qEnvironmentVariableIsEmpty("SSL_CERT_DIR") ? QByteArray("/etc/ssl/certs")
                                                                    : qgetenv("SSL_CERT_DIR"))
{
    libraryOnce();
    wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    thread = std::thread([this] { run(); });
}

MqttRelay::~MqttRelay()
{
    stopping = true;
    wakeUp();
    thread.join();
    if (wake >= 0)
        ::close(wake);
}

int MqttRelay::backoff(int failures)
{
    if (failures <= 1)
        return 1;
    if (failures >= 6)
        return MaxBackoffSeconds;
    return std::min(MaxBackoffSeconds, 1 << (failures - 1));
}

void MqttRelay::publish(const QByteArray &subtopic, const QByteArray &message, bool retained)
{
    {
        std::lock_guard<std::mutex> hold(lock);
        if (retained) {
            latest[subtopic] = message;
            unsent.insert(subtopic);
        } else if (int(passing.size()) < MaxPassing) {
            passing.push_back({subtopic, message, false});
        }
    }
    wakeUp();
}

void MqttRelay::forget(const QByteArray &subtopic)
{
    {
        std::lock_guard<std::mutex> hold(lock);
        latest.erase(subtopic);
        unsent.erase(subtopic);
        if (int(passing.size()) < MaxPassing)
            passing.push_back({subtopic, QByteArray(), true});
    }
    wakeUp();
}

void MqttRelay::wakeUp()
{
    const std::uint64_t one = 1;
    if (wake >= 0 && ::write(wake, &one, sizeof one) < 0) {
        // Already woken: the counter is full, and the thread will look.
    }
}

void MqttRelay::report(Link link, int retryIn, const QString &why)
{
    if (hooks.stateChanged)
        hooks.stateChanged(State{link, retryIn, why});
}

void MqttRelay::run()
{
    int failures = 0;
    while (!stopping) {
        report(Link::Connecting, 0, QString());
        QString why;
        if (attempt(why))
            failures = 0;
        if (stopping)
            break;
        ++failures;
        const int wait = backoff(failures);
        report(Link::Waiting, wait, why);
        // Waits for the next attempt, or for the end.
        const auto until = Clock::now() + std::chrono::seconds(wait);
        while (!stopping && Clock::now() < until) {
            pollfd woken{wake, POLLIN, 0};
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
            if (::poll(&woken, 1, int(std::max<qint64>(1, left))) > 0) {
                std::uint64_t count = 0;
                if (::read(wake, &count, sizeof count) < 0) {
                    // Nothing to read after all.
                }
            }
        }
    }
}

bool MqttRelay::attempt(QString &why)
{
    const QByteArray id = "tk-caller-" + topic.right(16);
    mosquitto *client = mosquitto_new(id.constData(), true, this);
    if (!client) {
        why = QStringLiteral("out of memory");
        return false;
    }
    mosquitto_int_option(client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(client, &MqttRelay::onConnect);
    mosquitto_publish_callback_set(client, &MqttRelay::onPublish);
    mosquitto_message_callback_set(client, &MqttRelay::onMessage);
    if (!broker.user.isEmpty())
        mosquitto_username_pw_set(client, broker.user.toUtf8().constData(),
                                  broker.password.isEmpty() ? nullptr : broker.password.toUtf8().constData());
    // The system's authorities, or those of the folder SSL_CERT_DIR names (hashed, as OpenSSL
    // reads it): a club's broker may carry a certificate from an authority of its own.
    if (broker.tls)
        mosquitto_tls_set(client, nullptr, certificateFolder.constData(), nullptr, nullptr, nullptr);
    // The caller's presence for the pages: "here" once connected, and "gone" left with the
    // broker, which says it should this connection end without a goodbye (a crash, a pulled
    // cable, sharing turned off), so a page never shows the last board as live. Sealed in turn:
    // "gone" is newer than this connection's "here" and older than the next one's.
    const QByteArray presence = topic + "/presence";
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const QByteArray here = sealer.seal(presence, sealer.next(now), "{\"here\":true}");
    const QByteArray gone = sealer.seal(presence, sealer.next(now), "{\"here\":false}");
    mosquitto_will_set(client, presence.constData(), int(gone.size()), gone.constData(), 1, true);
    inFlight = 0;
    accepted = false;
    refused = -1;
    {
        // A new connection starts with nothing sent: every retained message goes out again.
        std::lock_guard<std::mutex> hold(lock);
        for (const auto &[subtopic, message] : latest)
            unsent.insert(subtopic);
    }

    errno = 0;
    int rc = mosquitto_connect_async(client, broker.host.toUtf8().constData(), broker.port, KeepAliveSeconds);
    int error = errno;
    const auto deadline = Clock::now() + std::chrono::milliseconds(AnswerMs);
    bool subscribed = false;
    while (rc == MOSQ_ERR_SUCCESS && !stopping) {
        const int socket = mosquitto_socket(client);
        if (socket < 0) {
            rc = MOSQ_ERR_NO_CONN;
            break;
        }
        pollfd fds[2] = {{socket, short(POLLIN | (mosquitto_want_write(client) ? POLLOUT : 0)), 0}, {wake, POLLIN, 0}};
        errno = 0;
        const int ready = ::poll(fds, 2, 500);
        if (ready < 0 && errno != EINTR) {
            error = errno;
            rc = MOSQ_ERR_ERRNO;
            break;
        }
        if (fds[1].revents & POLLIN) {
            std::uint64_t count = 0;
            if (::read(wake, &count, sizeof count) < 0) {
                // Woken already by someone else.
            }
        }
        if (stopping)
            break;
        errno = 0;
        if (fds[0].revents & (POLLIN | POLLERR | POLLHUP)) {
            rc = mosquitto_loop_read(client, 1);
            error = errno;
            if (rc != MOSQ_ERR_SUCCESS)
                break;
        }
        if (fds[0].revents & POLLOUT) {
            rc = mosquitto_loop_write(client, 1);
            error = errno;
            if (rc != MOSQ_ERR_SUCCESS)
                break;
        }
        rc = mosquitto_loop_misc(client);
        error = errno;
        if (rc != MOSQ_ERR_SUCCESS)
            break;
        if (refused >= 0)
            break;
        if (!accepted) {
            if (Clock::now() > deadline) {
                why = QStringLiteral("the broker did not answer within %1 s").arg(AnswerMs / 1000);
                break;
            }
            continue;
        }
        if (!subscribed) {
            subscribed = true;
            mosquitto_subscribe(client, nullptr, (topic + "/claim").constData(), 0);
            mosquitto_subscribe(client, nullptr, "$SYS/broker/clients/connected", 0);
            if (mosquitto_publish(client, nullptr, presence.constData(), int(here.size()), here.constData(), 1, true)
                == MOSQ_ERR_SUCCESS)
                ++inFlight;
            report(Link::Connected, 0, QString());
        }
        send(client);
        // What send() queued goes out now rather than after the next wait.
        if (mosquitto_want_write(client)) {
            rc = mosquitto_loop_write(client, 1);
            error = errno;
            if (rc != MOSQ_ERR_SUCCESS)
                break;
        }
    }
    if (why.isEmpty()) {
        if (refused >= 0)
            why = QStringLiteral("the broker refused: %1").arg(QString::fromUtf8(mosquitto_connack_string(refused)));
        else if (!stopping)
            why = attemptWhy(rc, error);
    }
    // No goodbye even when the host stops sharing: the connection just closes, and the broker
    // tells the pages the caller is gone.
    mosquitto_destroy(client);
    return accepted;
}

void MqttRelay::send(mosquitto *client)
{
    while (inFlight < MaxInFlight) {
        QByteArray subtopic;
        QByteArray message;
        bool retained = true;
        {
            std::lock_guard<std::mutex> hold(lock);
            if (!passing.empty()) {
                Outgoing next = std::move(passing.front());
                passing.pop_front();
                subtopic = next.subtopic;
                message = next.message;
                retained = next.retained;
            } else if (!unsent.empty()) {
                subtopic = *unsent.begin();
                unsent.erase(unsent.begin());
                message = latest[subtopic];
            } else {
                return;
            }
        }
        const QByteArray full = topic + '/' + subtopic;
        const QByteArray payload = message.isEmpty()
            ? QByteArray()
            : sealer.seal(full, sealer.next(QDateTime::currentMSecsSinceEpoch()), message);
        int mid = 0;
        if (mosquitto_publish(client, &mid, full.constData(), int(payload.size()), payload.constData(), 1, retained)
            == MOSQ_ERR_SUCCESS)
            ++inFlight;
    }
}

void MqttRelay::onConnect(mosquitto *, void *self, int rc)
{
    auto *relay = static_cast<MqttRelay *>(self);
    if (rc == 0)
        relay->accepted = true;
    else
        relay->refused = rc;
}

void MqttRelay::onPublish(mosquitto *, void *self, int)
{
    auto *relay = static_cast<MqttRelay *>(self);
    relay->inFlight = std::max(0, relay->inFlight - 1);
}

void MqttRelay::onMessage(mosquitto *, void *self, const mosquitto_message *message)
{
    auto *relay = static_cast<MqttRelay *>(self);
    if (!message->topic || message->payloadlen <= 0 || message->payloadlen > MaxClaim)
        return;
    const QByteArray payload(static_cast<const char *>(message->payload), message->payloadlen);
    if (std::strcmp(message->topic, "$SYS/broker/clients/connected") == 0) {
        bool number = false;
        const int clients = payload.trimmed().toInt(&number);
        if (number && relay->hooks.clientsChanged)
            relay->hooks.clientsChanged(clients);
        return;
    }
    if (relay->hooks.claimed && QByteArray(message->topic) == relay->topic + "/claim")
        relay->hooks.claimed(payload);
}
