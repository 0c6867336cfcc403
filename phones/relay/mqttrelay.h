#pragma once

#include "relay.h"
#include "seal.h"

#include <QByteArray>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <thread>

struct mosquitto;
struct mosquitto_message;

// The relay over libmosquitto. One network thread of its own does everything the library
// does: connects, signs and publishes, reads the players' claims, and after a connection is
// lost waits 1, 2, 4 ... up to 30 seconds before the next attempt. Each attempt is a new
// client, so nothing queued for a dead connection can reach the broker after the newest
// board. The thread waits on poll(), not select(), so it works beside a hall of 2,000 phones'
// descriptors. publish() only hands over: a lock held for a copy, and a wake-up.
class MqttRelay final : public Relay
{
public:
    static constexpr int KeepAliveSeconds = 15;
    static constexpr int AnswerMs = 10000;   // from an attempt to the broker's answer
    static constexpr int MaxBackoffSeconds = 30;
    static constexpr int MaxInFlight = 32;   // unacknowledged messages on one connection
    static constexpr int MaxPassing = 256;   // messages not retained waiting to go out

    MqttRelay(const QByteArray &seed, const QByteArray &topic, const Broker &broker, const Hooks &hooks);
    ~MqttRelay() override;

    void publish(const QByteArray &subtopic, const QByteArray &message, bool retained) override;
    void forget(const QByteArray &subtopic) override;

    // The wait before attempt n + 1 after n failed ones (n from 1).
    static int backoff(int failures);

private:
    struct Outgoing
    {
        QByteArray subtopic;
        QByteArray message; // empty: take the retained message off the broker
        bool retained = true;
    };

    void run();
    // One connection, from the attempt until it is lost or the relay stops; true when the
    // broker accepted it.
    bool attempt(QString &why);
    void send(mosquitto *client);
    void wakeUp();
    void report(Link link, int retryIn, const QString &why);

    static void onConnect(mosquitto *client, void *self, int rc);
    static void onPublish(mosquitto *client, void *self, int mid);
    static void onMessage(mosquitto *client, void *self, const mosquitto_message *message);

    Seal sealer;
    const QByteArray topic;
    const Broker broker;
    const Hooks hooks;
    const QByteArray certificateFolder; // the authorities a TLS broker's certificate is checked against
    int wake = -1; // an eventfd: publish() and the destructor wake the network thread

    std::mutex lock;
    std::map<QByteArray, QByteArray> latest; // retained: subtopic -> message, unsigned
    std::set<QByteArray> unsent;             // subtopics whose newest has not gone out on this connection
    std::deque<Outgoing> passing;            // not retained, in order; and retained messages taken off
    std::atomic<bool> stopping{false};

    // The network thread's own.
    int inFlight = 0;
    bool accepted = false;
    int refused = -1; // the broker's refusal, when it refused
    std::thread thread;
};
