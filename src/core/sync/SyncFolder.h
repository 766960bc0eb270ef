#pragma once
// The sync folder on disk, which other machines and services also write: its layout, its marker
// (key derivation settings and a sealed check value), atomic writes of this device's own files and
// size-capped reads of anyone's. Nothing here trusts a name or a byte it finds: names are matched
// against strict patterns, sizes capped before reading. Any thread; no state beyond the path.

#include "core/sync/SyncCrypto.h"
#include "platform/CloudAccount.h"
#include "platform/CloudMirror.h"

#include <QString>
#include <QStringList>

#include <optional>

// Why a folder operation failed, mapped onto the mirror's error codes.
struct SyncFailure {
    CloudErrorCode code = CloudErrorCode::NetworkFailure;
    QString message; // plain words for the user; names no clipboard content

    CloudError toCloudError() const { return {CloudError::Domain::Cloud, int(code), message, {}}; }
};

class SyncFolder {
public:
    static constexpr int kFormat = 1;
    static inline const QString kMarkerName = QStringLiteral("TaviPaste-sync.json");
    static constexpr qint64 kMaxMarkerBytes = 4096;
    static constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;

    explicit SyncFolder(QString path);
    const QString &path() const { return m_path; }

    // Available: folder, marker and key agree and the folder takes writes; no folder or no marker
    // is no account; a folder we cannot write (read-only mount), or whose marker cannot be read
    // (still being copied in), is temporarily unavailable.
    struct Status {
        CloudAccountStatus status = CloudAccountStatus::NoAccount;
        QString message;
        QByteArray markerFingerprint; // changes when the marker is replaced
    };
    Status status(const SyncKey *key = nullptr) const;

    // Creates the marker for a new folder, or checks the passphrase against an existing one.
    // Returns the key, or the failure (a wrong passphrase is one, a marker that cannot be read
    // another).
    struct Joined {
        std::optional<SyncKey> key;
        std::optional<SyncFailure> failure;
    };
    Joined join(const QString &passphrase, SyncKey::Cost costForNewFolder = SyncKey::Cost::interactive()) const;
    // Whether the key opens the marker's check value.
    bool keyMatches(const SyncKey &key) const;

    // This device's folder and the devices that have one (names that are valid ids only).
    QString deviceDirectory(const QString &device) const;
    QStringList devices() const;
    // Segment numbers of a device, ascending; snapshot numbers likewise.
    QList<quint64> segments(const QString &device) const;
    QList<quint64> snapshots(const QString &device) const;
    static QString segmentName(quint64 number);
    static QString snapshotName(quint64 number);
    // A snapshot's records are in parts, named after the snapshot; its manifest is written last.
    static QString snapshotPartName(quint64 number, int part);
    static inline const QString kValuesName = QStringLiteral("values.tps");

    // Writes a file of this device under a temporary name, flushes it and renames it into place,
    // mode 0600, in folders made 0700. Checks the byte budget (bytes this device may keep in the folder; 0: none) and
    // the disk's free space first.
    std::optional<SyncFailure> writeFile(const QString &device, const QString &name, const QByteArray &bytes,
                                         qint64 budget = 0) const;
    // Reads a file whose size is at most `cap`; nothing when missing, too large or unreadable.
    std::optional<QByteArray> readFile(const QString &device, const QString &name, qint64 cap = kMaxFileBytes) const;
    void removeFile(const QString &device, const QString &name) const;
    // What tells one version of a file from another without reading it: size, modification and
    // change times and inode (a rename over it changes the inode). Empty when the file is missing.
    QByteArray fileVersion(const QString &device, const QString &name) const;
    qint64 deviceBytes(const QString &device) const;

    // The associated data that binds a sealed file to its place.
    static QByteArray associatedData(const QString &device, const QString &name);

    // A failure for a missing folder, an I/O error (errno) or a full disk.
    SyncFailure missingFolder() const;
    static SyncFailure ioFailure(int error);

private:
    std::optional<QJsonObject> readMarker() const;

    QString m_path;
};
