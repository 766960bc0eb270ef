#include "platform/Bookmark.h"

#include <QDataStream>
#include <QFile>
#include <QIODevice>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {
constexpr quint32 kMagic = 0x5450424D; // "TPBM"
constexpr quint8 kVersion = 1;

struct Identity {
    quint64 device = 0;
    quint64 inode = 0;
};

std::optional<Identity> identityOf(const QString &path, QString *error)
{
    struct stat info {};
    const QByteArray native = QFile::encodeName(path);
    if (path.isEmpty() || ::stat(native.constData(), &info) != 0) {
        if (error) {
            const int code = path.isEmpty() ? ENOENT : errno;
            *error = QStringLiteral("“%1”: %2").arg(path, QString::fromLocal8Bit(std::strerror(code)));
        }
        return std::nullopt;
    }
    return Identity{quint64(info.st_dev), quint64(info.st_ino)};
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}
} // namespace

namespace Bookmark {

std::optional<QByteArray> create(const QString &path, QString *error)
{
    const auto identity = identityOf(path, error);
    if (!identity)
        return std::nullopt;
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << kMagic << kVersion << path << identity->device << identity->inode;
    return data;
}

std::optional<QString> resolve(const QByteArray &data, QString *error)
{
    QDataStream in(data);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 magic = 0;
    quint8 version = 0;
    QString path;
    Identity stored;
    in >> magic >> version >> path >> stored.device >> stored.inode;
    if (in.status() != QDataStream::Ok || magic != kMagic || version != kVersion || path.isEmpty()) {
        setError(error, QStringLiteral("The bookmark data is damaged."));
        return std::nullopt;
    }
    const auto current = identityOf(path, error);
    if (!current)
        return std::nullopt;
    if (current->device != stored.device || current->inode != stored.inode) {
        setError(error, QStringLiteral("“%1” is no longer the location that was granted.").arg(path));
        return std::nullopt;
    }
    return path;
}

bool startAccessing(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    return !path.isEmpty() && ::access(native.constData(), R_OK) == 0;
}

void stopAccessing(const QString &) {}

} // namespace Bookmark
