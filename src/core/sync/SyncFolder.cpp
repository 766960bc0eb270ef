#include "core/sync/SyncFolder.h"

#include "platform/Paths.h"
#include "platform/Strings.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStorageInfo>
#include <QUuid>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString kDevicesFolder = QStringLiteral("devices");
const QByteArray kCheckText = QByteArrayLiteral("TaviPaste sync folder");
// Free space kept back on the disk beyond what a write needs.
constexpr qint64 kFreeSpaceReserve = 16 * 1024 * 1024;

const QRegularExpression &deviceNamePattern()
{
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        QStringLiteral("[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}")));
    return pattern;
}

QList<quint64> numberedFiles(const QString &directory, const QString &prefix)
{
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral("(seg|snap)-([0-9]{16})\\.tps")));
    QList<quint64> numbers;
    const QStringList names = QDir(directory).entryList(QDir::Files | QDir::Hidden);
    for (const QString &name : names) {
        const QRegularExpressionMatch match = pattern.match(name);
        if (match.hasMatch() && match.captured(1) == prefix)
            numbers.append(match.captured(2).toULongLong());
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += written;
    }
    return true;
}
} // namespace

SyncFolder::SyncFolder(QString path) : m_path(std::move(path)) {}

QByteArray SyncFolder::associatedData(const QString &device, const QString &name)
{
    return QByteArrayLiteral("TaviPaste/") + device.toLatin1() + '/' + name.toLatin1();
}

std::optional<QJsonObject> SyncFolder::readMarker() const
{
    QFile file(m_path + QLatin1Char('/') + kMarkerName);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxMarkerBytes)
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(file.read(kMaxMarkerBytes));
    if (!document.isObject() || document.object().value(QStringLiteral("format")).toInt() < 1)
        return std::nullopt;
    return document.object();
}

SyncFolder::Status SyncFolder::status(const SyncKey *key) const
{
    Status result;
    const QFileInfo info(m_path);
    if (m_path.isEmpty() || !info.isDir()) {
        result.status = CloudAccountStatus::NoAccount;
        result.message = Strings::text("Sync.Status.NoFolder");
        return result;
    }
    const std::optional<QJsonObject> marker = readMarker();
    if (!marker && QFileInfo::exists(m_path + QLatin1Char('/') + kMarkerName)) {
        result.status = CloudAccountStatus::TemporarilyUnavailable;
        result.message = Strings::text("Sync.Status.MarkerUnreadable");
        return result;
    }
    if (!marker) {
        result.status = CloudAccountStatus::NoAccount;
        result.message = Strings::text("Sync.Status.NoMarker");
        return result;
    }
    result.markerFingerprint =
        QCryptographicHash::hash(QJsonDocument(*marker).toJson(QJsonDocument::Compact), QCryptographicHash::Sha256);
    if (marker->value(QStringLiteral("format")).toInt() > kFormat) {
        result.status = CloudAccountStatus::Restricted;
        result.message = Strings::text("Sync.Status.NewerFormat");
        return result;
    }
    if (key && !keyMatches(*key)) {
        result.status = CloudAccountStatus::Restricted;
        result.message = Strings::text("Sync.Status.WrongPassphrase");
        return result;
    }
    if (::access(QFile::encodeName(m_path).constData(), W_OK) != 0) {
        result.status = CloudAccountStatus::TemporarilyUnavailable;
        result.message = Strings::text("Sync.Status.ReadOnly");
        return result;
    }
    result.status = CloudAccountStatus::Available;
    return result;
}

bool SyncFolder::keyMatches(const SyncKey &key) const
{
    const std::optional<QJsonObject> marker = readMarker();
    if (!marker)
        return false;
    const QByteArray check = QByteArray::fromBase64(marker->value(QStringLiteral("check")).toString().toLatin1());
    const std::optional<QByteArray> opened = key.open(check, QByteArrayLiteral("TaviPaste/marker"));
    return opened && *opened == kCheckText;
}

SyncFolder::Joined SyncFolder::join(const QString &passphrase, SyncKey::Cost costForNewFolder) const
{
    Joined joined;
    if (passphrase.isEmpty()) {
        joined.failure = SyncFailure{CloudErrorCode::NotAuthenticated, Strings::text("Sync.Error.NoPassphrase")};
        return joined;
    }
    if (!QFileInfo(m_path).isDir()) {
        joined.failure = missingFolder();
        return joined;
    }
    if (const std::optional<QJsonObject> marker = readMarker()) {
        if (marker->value(QStringLiteral("format")).toInt() > kFormat) {
            joined.failure = SyncFailure{CloudErrorCode::NotAuthenticated, Strings::text("Sync.Status.NewerFormat")};
            return joined;
        }
        const QByteArray salt = QByteArray::fromBase64(marker->value(QStringLiteral("salt")).toString().toLatin1());
        const SyncKey::Cost cost{quint64(marker->value(QStringLiteral("operations")).toDouble()),
                                 quint64(marker->value(QStringLiteral("memory")).toDouble())};
        std::optional<SyncKey> key = SyncKey::derive(passphrase, salt, cost);
        if (!key || !keyMatches(*key)) {
            joined.failure =
                SyncFailure{CloudErrorCode::NotAuthenticated, Strings::text("Sync.Status.WrongPassphrase")};
            return joined;
        }
        joined.key = std::move(key);
        return joined;
    }
    // A marker that cannot be read may be one still being copied in: never replaced by a new one.
    if (QFileInfo::exists(m_path + QLatin1Char('/') + kMarkerName)) {
        joined.failure = SyncFailure{CloudErrorCode::NetworkFailure, Strings::text("Sync.Status.MarkerUnreadable")};
        return joined;
    }
    const QByteArray salt = SyncKey::randomSalt();
    std::optional<SyncKey> key = SyncKey::derive(passphrase, salt, costForNewFolder);
    if (!key) {
        joined.failure = SyncFailure{CloudErrorCode::InternalError, Strings::text("Sync.Error.KeyDerivation")};
        return joined;
    }
    QJsonObject marker{{QStringLiteral("format"), kFormat},
                       {QStringLiteral("kdf"), QStringLiteral("argon2id13")},
                       {QStringLiteral("operations"), double(costForNewFolder.operations)},
                       {QStringLiteral("memory"), double(costForNewFolder.memoryBytes)},
                       {QStringLiteral("salt"), QString::fromLatin1(salt.toBase64())},
                       {QStringLiteral("check"),
                        QString::fromLatin1(key->seal(kCheckText, QByteArrayLiteral("TaviPaste/marker")).toBase64())}};
    // The marker is the one file no device owns: written under a temporary name, renamed in place.
    const QString target = m_path + QLatin1Char('/') + kMarkerName;
    const QString temporary = m_path + QStringLiteral("/.") + kMarkerName + QStringLiteral(".tmp");
    const QByteArray temporaryName = QFile::encodeName(temporary);
    const int fd = ::open(temporaryName.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        joined.failure = ioFailure(errno);
        return joined;
    }
    int error = 0;
    if (::fchmod(fd, 0600) != 0 || !writeAll(fd, QJsonDocument(marker).toJson()) || ::fsync(fd) != 0)
        error = errno ? errno : EIO;
    if (::close(fd) != 0 && !error)
        error = errno;
    if (!error && ::rename(temporaryName.constData(), QFile::encodeName(target).constData()) != 0)
        error = errno;
    if (error) {
        joined.failure = ioFailure(error);
        ::unlink(temporaryName.constData());
        return joined;
    }
    joined.key = std::move(key);
    return joined;
}

QString SyncFolder::deviceDirectory(const QString &device) const
{
    return m_path + QLatin1Char('/') + kDevicesFolder + QLatin1Char('/') + device;
}

QStringList SyncFolder::devices() const
{
    QStringList result;
    const QStringList names =
        QDir(m_path + QLatin1Char('/') + kDevicesFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &name : names)
        if (deviceNamePattern().match(name).hasMatch())
            result.append(name);
    return result;
}

QList<quint64> SyncFolder::segments(const QString &device) const
{
    return numberedFiles(deviceDirectory(device), QStringLiteral("seg"));
}

QList<quint64> SyncFolder::snapshots(const QString &device) const
{
    return numberedFiles(deviceDirectory(device), QStringLiteral("snap"));
}

QString SyncFolder::segmentName(quint64 number)
{
    return QStringLiteral("seg-%1.tps").arg(number, 16, 10, QLatin1Char('0'));
}

QString SyncFolder::snapshotName(quint64 number)
{
    return QStringLiteral("snap-%1.tps").arg(number, 16, 10, QLatin1Char('0'));
}

QString SyncFolder::snapshotPartName(quint64 number, int part)
{
    return QStringLiteral("part-%1-%2.tps").arg(number, 16, 10, QLatin1Char('0')).arg(part, 6, 10, QLatin1Char('0'));
}

SyncFailure SyncFolder::missingFolder() const
{
    return {CloudErrorCode::NetworkUnavailable, Strings::text("Sync.Error.FolderMissing")};
}

SyncFailure SyncFolder::ioFailure(int error)
{
    if (error == ENOSPC || error == EDQUOT)
        return {CloudErrorCode::QuotaExceeded, Strings::text("Sync.Error.DiskFull")};
    if (error == EROFS || error == EACCES || error == EPERM)
        return {CloudErrorCode::NetworkFailure, Strings::text("Sync.Error.ReadOnly")};
    return {CloudErrorCode::NetworkFailure,
            Strings::text("Sync.Error.InputOutput").arg(QString::fromLocal8Bit(strerror(error)))};
}

std::optional<SyncFailure> SyncFolder::writeFile(const QString &device, const QString &name, const QByteArray &bytes,
                                                 qint64 budget) const
{
    if (!QFileInfo(m_path).isDir())
        return missingFolder();
    const QString directory = deviceDirectory(device);
    if (!Paths::makePrivateDirectory(directory))
        return ioFailure(errno ? errno : EIO);
    // Folders an earlier version made with the umask's modes.
    for (const QString &folder : QStringList{m_path + QLatin1Char('/') + kDevicesFolder, directory})
        ::chmod(QFile::encodeName(folder).constData(), 0700);
    if (budget > 0 && deviceBytes(device) + bytes.size() > budget)
        return SyncFailure{CloudErrorCode::QuotaExceeded, Strings::text("Sync.Error.Budget")};
    const QStorageInfo storage(directory);
    if (storage.isValid() && storage.bytesAvailable() >= 0
        && storage.bytesAvailable() < bytes.size() + kFreeSpaceReserve)
        return SyncFailure{CloudErrorCode::QuotaExceeded, Strings::text("Sync.Error.DiskFull")};

    const QByteArray target = QFile::encodeName(directory + QLatin1Char('/') + name);
    const QByteArray temporary =
        QFile::encodeName(directory + QStringLiteral("/.") + name + QLatin1Char('.')
                          + QUuid::createUuid().toString(QUuid::Id128).left(8) + QStringLiteral(".tmp"));
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return ioFailure(errno);
    int error = 0;
    if (::fchmod(fd, 0600) != 0 || !writeAll(fd, bytes) || ::fsync(fd) != 0)
        error = errno ? errno : EIO;
    if (::close(fd) != 0 && !error)
        error = errno;
    if (!error && ::rename(temporary.constData(), target.constData()) != 0)
        error = errno;
    if (error) {
        ::unlink(temporary.constData());
        return ioFailure(error);
    }
    return std::nullopt;
}

std::optional<QByteArray> SyncFolder::readFile(const QString &device, const QString &name, qint64 cap) const
{
    QFile file(deviceDirectory(device) + QLatin1Char('/') + name);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // Over the cap: the caller tells it once (it is read again on every round).
    if (file.size() > cap)
        return std::nullopt;
    // A file that grows while read (replaced under us) is caught by the cap and the seal.
    QByteArray bytes = file.read(cap + 1);
    if (bytes.size() > cap)
        return std::nullopt;
    return bytes;
}

void SyncFolder::removeFile(const QString &device, const QString &name) const
{
    QFile::remove(deviceDirectory(device) + QLatin1Char('/') + name);
}

QByteArray SyncFolder::fileVersion(const QString &device, const QString &name) const
{
    struct stat info {};
    if (::stat(QFile::encodeName(deviceDirectory(device) + QLatin1Char('/') + name).constData(), &info) != 0)
        return {};
    return QByteArray::number(qint64(info.st_size)) + ':' + QByteArray::number(qint64(info.st_mtim.tv_sec)) + '.'
           + QByteArray::number(qint64(info.st_mtim.tv_nsec)) + ':' + QByteArray::number(qint64(info.st_ctim.tv_sec))
           + '.' + QByteArray::number(qint64(info.st_ctim.tv_nsec)) + ':' + QByteArray::number(quint64(info.st_ino));
}

qint64 SyncFolder::deviceBytes(const QString &device) const
{
    qint64 total = 0;
    const QFileInfoList files = QDir(deviceDirectory(device)).entryInfoList(QDir::Files | QDir::Hidden);
    for (const QFileInfo &info : files)
        total += info.size();
    return total;
}
