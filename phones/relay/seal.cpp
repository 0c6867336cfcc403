#include "seal.h"

#include <sodium.h>

namespace {
QByteArray signedPart(const QByteArray &topic, const QByteArray &text)
{
    QByteArray part;
    part.reserve(topic.size() + 1 + text.size());
    part.append(topic).append('\0').append(text);
    return part;
}
} // namespace

Seal::Seal(const QByteArray &seed)
{
    if (sodium_init() < 0 || seed.size() != KeyBytes)
        return;
    ok = crypto_sign_seed_keypair(publicBytes.data(), secret.data(),
                                  reinterpret_cast<const unsigned char *>(seed.constData()))
        == 0;
}

Seal::~Seal()
{
    sodium_memzero(secret.data(), secret.size());
}

QByteArray Seal::publicKey() const
{
    return ok ? QByteArray(reinterpret_cast<const char *>(publicBytes.data()), KeyBytes) : QByteArray();
}

std::uint64_t Seal::next(std::int64_t nowMs)
{
    const std::uint64_t clock = nowMs > 0 ? std::uint64_t(nowMs) * 1000 : 0;
    last = std::max(last + 1, clock);
    return last;
}

QByteArray Seal::seal(const QByteArray &topic, std::uint64_t sequence, const QByteArray &body) const
{
    const QByteArray text = "{\"seq\":" + QByteArray::number(qulonglong(sequence)) + ",\"body\":" + body + '}';
    const QByteArray part = signedPart(topic, text);
    QByteArray sealed(SignatureBytes, '\0');
    crypto_sign_detached(reinterpret_cast<unsigned char *>(sealed.data()), nullptr,
                         reinterpret_cast<const unsigned char *>(part.constData()), std::size_t(part.size()),
                         secret.data());
    return sealed + text;
}

bool Seal::open(const QByteArray &publicKey, const QByteArray &topic, const QByteArray &sealed, QByteArray *text)
{
    if (sodium_init() < 0 || publicKey.size() != KeyBytes || sealed.size() <= SignatureBytes)
        return false;
    const QByteArray said = sealed.mid(SignatureBytes);
    const QByteArray part = signedPart(topic, said);
    const bool good = crypto_sign_verify_detached(reinterpret_cast<const unsigned char *>(sealed.constData()),
                                                  reinterpret_cast<const unsigned char *>(part.constData()),
                                                  std::size_t(part.size()),
                                                  reinterpret_cast<const unsigned char *>(publicKey.constData()))
        == 0;
    if (good && text)
        *text = said;
    return good;
}
