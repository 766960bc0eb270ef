#include "core/sync/SyncCrypto.h"

#include <sodium.h>

namespace {
bool sodiumReady()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}
constexpr int kNonceSize = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr int kTagSize = crypto_aead_xchacha20poly1305_ietf_ABYTES;
static_assert(SyncKey::kSealOverhead == kNonceSize + kTagSize);
} // namespace

SyncKey::Cost SyncKey::Cost::interactive()
{
    return {crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE};
}

SyncKey::Cost SyncKey::Cost::minimal() { return {crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MIN}; }

SyncKey::SyncKey(QByteArray bytes) : m_bytes(std::move(bytes)) {}

std::optional<SyncKey> SyncKey::derive(const QString &passphrase, const QByteArray &salt, Cost cost)
{
    if (!sodiumReady() || salt.size() != kSaltSize)
        return std::nullopt;
    // A marker from elsewhere must not make us spend minutes or gigabytes.
    if (cost.operations < crypto_pwhash_OPSLIMIT_MIN || cost.operations > crypto_pwhash_OPSLIMIT_SENSITIVE
        || cost.memoryBytes < crypto_pwhash_MEMLIMIT_MIN || cost.memoryBytes > crypto_pwhash_MEMLIMIT_MODERATE)
        return std::nullopt;
    const QByteArray utf8 = passphrase.toUtf8();
    QByteArray key(kSize, Qt::Uninitialized);
    if (crypto_pwhash(reinterpret_cast<unsigned char *>(key.data()), kSize, utf8.constData(), quint64(utf8.size()),
                      reinterpret_cast<const unsigned char *>(salt.constData()), cost.operations,
                      size_t(cost.memoryBytes), crypto_pwhash_ALG_ARGON2ID13)
        != 0)
        return std::nullopt;
    return SyncKey(key);
}

QByteArray SyncKey::randomSalt()
{
    QByteArray salt(kSaltSize, Qt::Uninitialized);
    if (sodiumReady())
        randombytes_buf(salt.data(), size_t(salt.size()));
    return salt;
}

QByteArray SyncKey::seal(const QByteArray &plain, const QByteArray &associated) const
{
    if (!sodiumReady() || !isValid())
        return {};
    QByteArray sealed(kNonceSize + plain.size() + kTagSize, Qt::Uninitialized);
    auto *out = reinterpret_cast<unsigned char *>(sealed.data());
    randombytes_buf(out, kNonceSize);
    unsigned long long length = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(
        out + kNonceSize, &length, reinterpret_cast<const unsigned char *>(plain.constData()), quint64(plain.size()),
        reinterpret_cast<const unsigned char *>(associated.constData()), quint64(associated.size()), nullptr, out,
        reinterpret_cast<const unsigned char *>(m_bytes.constData()));
    sealed.resize(kNonceSize + qsizetype(length));
    return sealed;
}

std::optional<QByteArray> SyncKey::open(const QByteArray &sealed, const QByteArray &associated) const
{
    if (!sodiumReady() || !isValid() || sealed.size() < kNonceSize + kTagSize)
        return std::nullopt;
    const auto *in = reinterpret_cast<const unsigned char *>(sealed.constData());
    QByteArray plain(sealed.size() - kNonceSize - kTagSize, Qt::Uninitialized);
    unsigned long long length = 0;
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(
            reinterpret_cast<unsigned char *>(plain.data()), &length, nullptr, in + kNonceSize,
            quint64(sealed.size() - kNonceSize), reinterpret_cast<const unsigned char *>(associated.constData()),
            quint64(associated.size()), in, reinterpret_cast<const unsigned char *>(m_bytes.constData()))
        != 0)
        return std::nullopt;
    plain.resize(qsizetype(length));
    return plain;
}

QString SyncKey::contentHash(const QByteArray &plain) const
{
    if (!sodiumReady() || !isValid())
        return {};
    // A subkey of its own, so the name never reveals anything about the sealing key.
    unsigned char subkey[crypto_generichash_KEYBYTES];
    static const QByteArray context = QByteArrayLiteral("TaviPaste/blob-name");
    crypto_generichash(subkey, sizeof subkey, reinterpret_cast<const unsigned char *>(context.constData()),
                       size_t(context.size()), reinterpret_cast<const unsigned char *>(m_bytes.constData()),
                       size_t(m_bytes.size()));
    unsigned char hash[32];
    crypto_generichash(hash, sizeof hash, reinterpret_cast<const unsigned char *>(plain.constData()),
                       size_t(plain.size()), subkey, sizeof subkey);
    sodium_memzero(subkey, sizeof subkey);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(hash), sizeof hash).toHex());
}
