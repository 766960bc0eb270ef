// Whatever the umask, what the program writes is its user's alone, and what older runs left is
// tightened at start.

#include "core/store/PersistentStore.h"
#include "platform/Analytics.h"
#include "platform/CloudKeyValueStore.h"
#include "platform/Defaults.h"
#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/RollingFileSink.h"
#include "support/TestEnvironment.h"

#include <spdlog/logger.h>

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : m_saved(::umask(mask)) {}
    ~ScopedUmask() { ::umask(m_saved); }

private:
    mode_t m_saved;
};

mode_t modeOf(const QString &path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? (info.st_mode & 07777) : mode_t(07777);
}

QStringList widerThanPrivate()
{
    return entriesWiderThanPrivate(
        {Paths::configDirectory(), Paths::dataDirectory(), Paths::stateDirectory(), Paths::cacheDirectory()});
}

void makeWithMode(const QString &path, mode_t mode, bool folder)
{
    if (folder)
        QDir().mkpath(path);
    else
        QFile(path).open(QIODevice::WriteOnly);
    ::chmod(QFile::encodeName(path).constData(), mode);
}

// Whether another process sees a write lock on the file's first byte.
bool isLockedForOthers(const QString &path)
{
    const pid_t child = ::fork();
    if (child == 0) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        lock.l_len = 1;
        ::_exit(fd >= 0 && ::fcntl(fd, F_GETLK, &lock) == 0 && lock.l_type != F_UNLCK ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

TEST(PrivateFiles, MakingAFilePrivateKeepsTheLocksThisProcessHoldsOnIt)
{
    ScopedXdgHome home;
    const QString path = Paths::dataDirectory() + QStringLiteral("/locked.sqlite");
    makeWithMode(Paths::dataDirectory(), 0700, true);
    makeWithMode(path, 0644, false);
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_len = 1;
    ASSERT_EQ(::fcntl(fd, F_SETLK, &lock), 0);
    ASSERT_TRUE(isLockedForOthers(path));

    EXPECT_TRUE(Paths::makePrivateFile(path));
    EXPECT_EQ(modeOf(path), mode_t(0600));
    EXPECT_TRUE(isLockedForOthers(path)) << "the lock went with another descriptor of the file";
    ::close(fd);

    // A link is no file of ours: left as it is.
    const QString link = Paths::dataDirectory() + QStringLiteral("/link.sqlite");
    QFile::link(path, link);
    EXPECT_FALSE(Paths::makePrivateFile(link));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
}

TEST(PrivateFiles, EverythingTheProgramWritesIsTheUsersAloneWhateverTheUmask)
{
    ScopedXdgHome home;
    ScopedUmask permissive(0);

    Defaults settings(Paths::configDirectory() + QStringLiteral("/defaults.json"));
    settings.setValue(QStringLiteral("quickPasteEnable"), true);
    settings.flush(); // the GUI thread's change is written by a worker
    CloudKeyValueStore::shared().setValue(QStringLiteral("activeCategory"), QStringLiteral("1"));
    CloudKeyValueStore::shared().storage().flush();
    {
        auto sink = std::make_shared<RollingFileSink>(Paths::stateDirectory() + QStringLiteral("/logs"),
                                                      Log::kRollSeconds, Log::kMaxLogFiles);
        spdlog::logger logger("private", sink);
        logger.info("a line");
        logger.flush();
    }
    Analytics::start(QStringLiteral("secret"), {Analytics::Service::Analytics, Analytics::Service::Crashes});
    Analytics::trackEvent(QStringLiteral("APP_Launch"));
    Analytics::flush();
    const PersistentStore::OpenResult opened =
        PersistentStore::open(Paths::dataDirectory() + QStringLiteral("/PBHistory.sqlite"));
    ASSERT_TRUE(opened.store);
    ASSERT_TRUE(QFileInfo::exists(Paths::dataDirectory() + QStringLiteral("/PBHistory.sqlite-wal")));

    EXPECT_EQ(widerThanPrivate(), QStringList());
    for (const QString &file : QStringList{Paths::configDirectory() + QStringLiteral("/defaults.json"),
                                           Paths::dataDirectory() + QStringLiteral("/cloud-kvs.json"),
                                           Paths::dataDirectory() + QStringLiteral("/PBHistory.sqlite-shm"),
                                           Analytics::eventsDirectory() + QStringLiteral("/events.jsonl")})
        EXPECT_TRUE(QFileInfo::exists(file)) << file.toStdString();
}

TEST(PrivateFiles, WhatOlderRunsLeftIsTightenedAtStartAndLinksAreLeftAlone)
{
    ScopedXdgHome home;
    const QString logs = Paths::stateDirectory() + QStringLiteral("/logs");
    makeWithMode(logs, 0755, true);
    ::chmod(QFile::encodeName(Paths::stateDirectory()).constData(), 0755);
    makeWithMode(logs + QStringLiteral("/TaviPaste-20260101-080000-000.log"), 0644, false);
    makeWithMode(Paths::dataDirectory(), 0775, true);
    makeWithMode(Paths::dataDirectory() + QStringLiteral("/PBHistory.sqlite"), 0664, false);
    makeWithMode(Paths::dataDirectory() + QStringLiteral("/PBHistory.sqlite-wal"), 0644, false);
    makeWithMode(Paths::configDirectory(), 0755, true);
    makeWithMode(Paths::configDirectory() + QStringLiteral("/defaults.json"), 0666, false);
    const QString outside = home.root() + QStringLiteral("/shared.txt");
    makeWithMode(outside, 0644, false);
    QFile::link(outside, Paths::configDirectory() + QStringLiteral("/link.txt"));
    ASSERT_FALSE(widerThanPrivate().isEmpty());

    Paths::tightenPrivateFolders();

    EXPECT_EQ(widerThanPrivate(), QStringList());
    EXPECT_EQ(modeOf(outside), mode_t(0644));
}
