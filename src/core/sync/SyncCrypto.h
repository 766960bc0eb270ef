#pragma once
// Encryption of everything written to the sync folder: a key derived from the user's passphrase
// with Argon2id, files sealed with XChaCha20-Poly1305. The associated data binds a sealed file to
// its name, so a file copied or renamed to another name fails to open. Any thread.

#include <QByteArray>
#include <QString>

#include <optional>

class SyncKey {
public:
    static constexpr int kSize = 32;
    static constexpr int kSaltSize = 16;
    // Bytes a sealed file has beyond its content (nonce and tag).
    static constexpr int kSealOverhead = 24 + 16;

    // Cost of the key derivation; the folder's marker records the one it was set up with.
    struct Cost {
        quint64 operations = 0;
        quint64 memoryBytes = 0;
        static Cost interactive();
        static Cost minimal(); // tests
    };

    SyncKey() = default;
    explicit SyncKey(QByteArray bytes);

    // Absent when the cost is out of range or memory runs out.
    static std::optional<SyncKey> derive(const QString &passphrase, const QByteArray &salt, Cost cost);
    static QByteArray randomSalt();

    bool isValid() const { return m_bytes.size() == kSize; }
    const QByteArray &bytes() const { return m_bytes; }

    // nonce + ciphertext + tag.
    QByteArray seal(const QByteArray &plain, const QByteArray &associated) const;
    // Absent when the data was not sealed with this key and associated data, or was altered.
    std::optional<QByteArray> open(const QByteArray &sealed, const QByteArray &associated) const;
    // Keyed BLAKE2b-256 of the content, in hex: names a blob by what it holds without letting
    // anyone without the key test whether a known content is in the folder.
    QString contentHash(const QByteArray &plain) const;

private:
    QByteArray m_bytes;
};
