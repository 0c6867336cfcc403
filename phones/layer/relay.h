#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <functional>

// The relay through a message broker, as the program loads it the first time the host shares
// beyond the hall: libmosquitto and libsodium are needed by no one else. The caller connects
// out to an MQTT broker, signs every message it publishes (Ed25519) and publishes it once,
// retained, so the broker fans it out to any number of players. This header is the whole
// contract between the program and the plugin; both include it.
class Relay
{
public:
    struct Broker
    {
        QString host;
        quint16 port = 1883;
        bool tls = false;
        QString user;
        QString password; // never in a link, a log or the state words
    };

    enum class Link { Connecting, Connected, Waiting };
    struct State
    {
        Link link = Link::Connecting;
        int retryIn = 0; // seconds, while Waiting
        QString why;     // while Waiting: what the last attempt met, in the host's words
    };

    // Called on the relay's network thread: each records what happened and hands it on.
    struct Hooks
    {
        std::function<void(const State &state)> stateChanged;
        std::function<void(const QByteArray &message)> claimed; // a player's claim, at most MaxClaim bytes
        std::function<void(int clients)> clientsChanged;        // as the broker counts them, when it does
    };
    static constexpr int MaxClaim = 512;

    virtual ~Relay() = default;

    // Any thread, never waiting for the network. `message` goes to the game's topic plus "/"
    // plus `subtopic`, signed, with a sequence higher than any before it; a retained one is
    // also kept, and the newest of each is published again after every reconnect.
    virtual void publish(const QByteArray &subtopic, const QByteArray &message, bool retained) = 0;
    // The retained message of a subtopic is taken off the broker.
    virtual void forget(const QByteArray &subtopic) = 0;
};

// The plugin's entry points; the program finds them by these names and calls them through
// pointers of these very types.
// seed: the game's 32-byte private key; topic: the game's topic, derived from its public key.
#define TK_RELAY_ENTRY tkCreateRelay
extern "C" Relay *TK_RELAY_ENTRY(const QByteArray &seed, const QByteArray &topic, const Relay::Broker &broker,
                                 const Relay::Hooks &hooks);
using CreateRelay = decltype(&TK_RELAY_ENTRY);
// The 32-byte public key of a seed; empty for a seed that is not 32 bytes.
#define TK_RELAY_PUBLIC_KEY tkRelayPublicKey
extern "C" QByteArray TK_RELAY_PUBLIC_KEY(const QByteArray &seed);
using RelayPublicKey = decltype(&TK_RELAY_PUBLIC_KEY);
// The page's files for a static host, by name: the hall's page, the relay's transport, the
// broker's client and the verifier, with their licences.
#define TK_RELAY_PAGE tkRelayPage
extern "C" QList<QPair<QString, QByteArray>> TK_RELAY_PAGE();
using RelayPage = decltype(&TK_RELAY_PAGE);

#define TK_RELAY_NAME_OF(entry) #entry
#define TK_RELAY_SYMBOL_OF(entry) TK_RELAY_NAME_OF(entry)
inline constexpr const char *CreateRelaySymbol = TK_RELAY_SYMBOL_OF(TK_RELAY_ENTRY);
inline constexpr const char *RelayPublicKeySymbol = TK_RELAY_SYMBOL_OF(TK_RELAY_PUBLIC_KEY);
inline constexpr const char *RelayPageSymbol = TK_RELAY_SYMBOL_OF(TK_RELAY_PAGE);
