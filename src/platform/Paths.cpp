#include "platform/Paths.h"

#include <cerrno>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>

namespace {
QString xdg(const char *variable, const char *fallbackUnderHome)
{
    QString base = qEnvironmentVariable(variable);
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QLatin1Char('/') + QLatin1String(fallbackUnderHome);
    return base + QStringLiteral("/TaviPaste");
}

constexpr mode_t kPrivateFolder = 0700;
constexpr mode_t kPrivateFile = 0600;

// Sets the mode of a folder or regular file that is not a symbolic link.
void tighten(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(name.constData(), &info) != 0)
        return;
    if (S_ISDIR(info.st_mode) && (info.st_mode & 07777) != kPrivateFolder)
        ::chmod(name.constData(), kPrivateFolder);
    else if (S_ISREG(info.st_mode) && (info.st_mode & 07777) != kPrivateFile)
        ::chmod(name.constData(), kPrivateFile);
}
} // namespace

namespace Paths {
QString configDirectory() { return xdg("XDG_CONFIG_HOME", ".config"); }
QString dataDirectory() { return xdg("XDG_DATA_HOME", ".local/share"); }
QString stateDirectory() { return xdg("XDG_STATE_HOME", ".local/state"); }
QString cacheDirectory() { return xdg("XDG_CACHE_HOME", ".cache"); }

bool isInside(const QString &path, const QString &folder)
{
    const auto canonical = [](const QString &value) {
        const QString resolved = QFileInfo(value).canonicalFilePath();
        return resolved.isEmpty()
                   ? QDir::cleanPath(QDir::isAbsolutePath(value) ? value : QDir::current().absoluteFilePath(value))
                   : resolved;
    };
    if (path.isEmpty() || folder.isEmpty())
        return false;
    const QStringList inner = canonical(path).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    const QStringList outer = canonical(folder).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return outer.size() <= inner.size() && std::equal(outer.begin(), outer.end(), inner.begin());
}

QString homeDirectoryPath(unsigned int userId)
{
    // getpwuid_r: other threads may use the user database meanwhile.
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size_t(size > 0 ? size : 16384));
    struct passwd entry {};
    struct passwd *found = nullptr;
    if (::getpwuid_r(uid_t(userId), &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_dir
        || !*found->pw_dir)
        return QStringLiteral("/");
    return QFile::decodeName(found->pw_dir);
}

QString homeDirectoryPath()
{
    static const QString path = homeDirectoryPath(unsigned(::getuid()));
    return path;
}

bool makePrivateDirectory(const QString &path)
{
    if (path.isEmpty())
        return false;
    QStringList missing;
    for (QString current = QDir::cleanPath(QDir(path).absolutePath()); !QFileInfo::exists(current);) {
        missing.prepend(current);
        const QString parent = QFileInfo(current).path();
        if (parent == current)
            break;
        current = parent;
    }
    for (const QString &folder : missing) {
        const QByteArray name = QFile::encodeName(folder);
        if (::mkdir(name.constData(), kPrivateFolder) != 0 && errno != EEXIST)
            return false;
        ::chmod(name.constData(), kPrivateFolder); // the umask may have taken bits the owner needs
    }
    return QFileInfo(path).isDir();
}

bool makePrivateFile(const QString &path)
{
    if (!makePrivateDirectory(QFileInfo(path).absolutePath()))
        return false;
    const QByteArray name = QFile::encodeName(path);
    // Only a file made here is opened: closing a descriptor drops every POSIX lock this process
    // holds on the file, through any descriptor (a database connection's among them).
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, kPrivateFile);
    if (fd >= 0) {
        const bool done = ::fchmod(fd, kPrivateFile) == 0;
        ::close(fd);
        return done;
    }
    struct stat info {};
    if (errno != EEXIST || ::lstat(name.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    return (info.st_mode & 07777) == kPrivateFile || ::chmod(name.constData(), kPrivateFile) == 0;
}

void tightenPrivateFolders()
{
    for (const QString &root : {configDirectory(), dataDirectory(), stateDirectory(), cacheDirectory()}) {
        if (QFileInfo(root).isSymLink() || !QFileInfo(root).isDir())
            continue;
        tighten(root);
        QDirIterator entries(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                             QDirIterator::Subdirectories);
        while (entries.hasNext())
            tighten(entries.next());
    }
}

QString moveAside(const QString &path, const QString &reason)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = path + QLatin1Char('.') + reason + QLatin1Char('-') + stamp;
    for (int n = 1; QFile::exists(target); ++n)
        target = path + QLatin1Char('.') + reason + QLatin1Char('-') + stamp + QLatin1Char('-') + QString::number(n);
    return QFile::rename(path, target) ? target : QString();
}
} // namespace Paths
