#pragma once

#include <QByteArray>

#include <array>
#include <cstdint>

// Every message the caller publishes, sealed: the 64-byte Ed25519 signature, then the text
// {"seq":N,"body":MESSAGE}. The signature covers the full topic, a zero byte and that text,
// so a message cannot be moved to another topic or game, and a page shows only messages
// whose sequence is higher than the last it showed on that topic.
class Seal
{
public:
    static constexpr int SignatureBytes = 64;
    static constexpr int KeyBytes = 32;

    // seed: the 32-byte private key.
    explicit Seal(const QByteArray &seed);
    ~Seal();
    Seal(const Seal &) = delete;
    Seal &operator=(const Seal &) = delete;

    bool valid() const { return ok; }
    QByteArray publicKey() const;
    // The next sequence: above every one before it, and above the clock in microseconds, so
    // a caller started again next week still counts upwards.
    std::uint64_t next(std::int64_t nowMs);
    QByteArray seal(const QByteArray &topic, std::uint64_t sequence, const QByteArray &body) const;

    // Whether a sealed message is signed by publicKey for topic; body and sequence out.
    static bool open(const QByteArray &publicKey, const QByteArray &topic, const QByteArray &sealed,
                     QByteArray *text = nullptr);

private:
    std::array<unsigned char, 64> secret{};
    std::array<unsigned char, 32> publicBytes{};
    std::uint64_t last = 0;
    bool ok = false;
};
