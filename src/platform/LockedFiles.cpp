#include "platform/LockedFiles.h"

#include <QFile>
#include <QHash>

#include <mutex>

#include <sys/stat.h>

namespace {
// Never destroyed: stores that static objects own close during the process's exit.
struct Registry {
    std::mutex mutex;
    QHash<QString, int> connections; // database path -> open connections; guarded by mutex
};

Registry &registry()
{
    static Registry *const instance = new Registry;
    return *instance;
}

bool identity(const QString &path, struct stat *info) { return ::stat(QFile::encodeName(path).constData(), info) == 0; }
} // namespace

namespace LockedFiles {

void hold(const QString &databasePath)
{
    Registry &held = registry();
    std::lock_guard lock(held.mutex);
    ++held.connections[databasePath];
}

void release(const QString &databasePath)
{
    Registry &held = registry();
    std::lock_guard lock(held.mutex);
    const auto it = held.connections.find(databasePath);
    if (it != held.connections.end() && --it.value() <= 0)
        held.connections.erase(it);
}

bool isHeld(const QString &path)
{
    struct stat file {};
    if (!identity(path, &file))
        return false;
    Registry &held = registry();
    std::lock_guard lock(held.mutex);
    for (auto it = held.connections.cbegin(); it != held.connections.cend(); ++it) {
        for (const char *suffix : {"", "-wal", "-shm", "-journal"}) {
            struct stat database {};
            if (identity(it.key() + QLatin1String(suffix), &database) && database.st_dev == file.st_dev
                && database.st_ino == file.st_ino)
                return true;
        }
    }
    return false;
}

} // namespace LockedFiles
