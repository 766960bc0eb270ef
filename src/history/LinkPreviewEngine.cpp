#include "history/LinkPreviewEngine.h"

#include "history/LinkWebView.h"
#include "platform/LoadableModule.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Whether a child can enter a user namespace of its own and map its ids there, as the engine's
// sandbox does before every page.
bool canCreateUserNamespace()
{
    char uidMap[64];
    char gidMap[64];
    std::snprintf(uidMap, sizeof uidMap, "%u %u 1\n", unsigned(::geteuid()), unsigned(::geteuid()));
    std::snprintf(gidMap, sizeof gidMap, "%u %u 1\n", unsigned(::getegid()), unsigned(::getegid()));
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        // Only system calls from here: the parent has other threads.
        const auto put = [](const char *path, const char *text) {
            const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
            if (fd < 0)
                return false;
            const ssize_t length = ssize_t(::strlen(text));
            const bool written = ::write(fd, text, size_t(length)) == length;
            ::close(fd);
            return written;
        };
        const bool entered = ::unshare(CLONE_NEWUSER) == 0 && put("/proc/self/setgroups", "deny")
                             && put("/proc/self/uid_map", uidMap) && put("/proc/self/gid_map", gidMap);
        ::_exit(entered ? 0 : 1);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Where the engine looks for its helper program: the variable alone when it is set.
bool helperProgramFound()
{
    const QString name = QStringLiteral("QtWebEngineProcess");
    const QString fromEnvironment = qEnvironmentVariable("QTWEBENGINEPROCESS_PATH");
    const QStringList candidates =
        !fromEnvironment.isEmpty()
            ? QStringList{fromEnvironment}
            : QStringList{QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath) + QLatin1Char('/') + name,
                          QCoreApplication::applicationDirPath() + QLatin1Char('/') + name};
    for (const QString &candidate : candidates) {
        const QFileInfo file(candidate);
        if (file.isFile() && file.isExecutable())
            return true;
    }
    return false;
}

} // namespace

LinkPreviewEngine::Conditions LinkPreviewEngine::current()
{
    Conditions conditions;
#ifdef TAVI_HAVE_WEBENGINE
    conditions.builtIn = LoadableModule::isInstalled(QString::fromLatin1(kLinkViewModule));
#endif
    conditions.platformName = QGuiApplication::platformName();
    conditions.turnedOff = !qEnvironmentVariableIsEmpty("TAVI_NO_WEB_ENGINE");
    conditions.sandboxVariableSet = qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX");
    conditions.switches = qEnvironmentVariable("QTWEBENGINE_CHROMIUM_FLAGS")
                              .split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    conditions.switches += QCoreApplication::arguments().mid(1);
    conditions.root = ::geteuid() == 0;
    conditions.userNamespaces = !conditions.root && canCreateUserNamespace();
    conditions.helperFound = helperProgramFound();
    return conditions;
}

LinkPreviewEngine::Obstacle LinkPreviewEngine::obstacle(const Conditions &conditions)
{
    if (!conditions.builtIn)
        return Obstacle::notBuiltIn;
    if (conditions.platformName == QLatin1String("offscreen") || conditions.platformName == QLatin1String("minimal"))
        return Obstacle::noDisplay;
    if (conditions.turnedOff)
        return Obstacle::turnedOff;
    // Any of these runs pages outside the sandbox, or without part of it.
    static const QRegularExpression unsandboxed(QRegularExpression::anchoredPattern(
        QStringLiteral("--?(no-sandbox|single-process|no-zygote|disable-seccomp-filter-sandbox|disable-namespace-"
                       "sandbox|disable-setuid-sandbox)(=.*)?")));
    if (conditions.sandboxVariableSet)
        return Obstacle::sandboxTurnedOff;
    for (QString argument : conditions.switches) {
        argument.remove(QLatin1Char('"')).remove(QLatin1Char('\''));
        if (unsandboxed.match(argument).hasMatch())
            return Obstacle::sandboxTurnedOff;
    }
    if (conditions.root)
        return Obstacle::root;
    if (!conditions.userNamespaces)
        return Obstacle::noUserNamespaces;
    if (!conditions.helperFound)
        return Obstacle::helperMissing;
    return Obstacle::none;
}

LinkPreviewEngine::Obstacle LinkPreviewEngine::obstacle()
{
    static const Obstacle found = obstacle(current());
    return found;
}

QString LinkPreviewEngine::describe(Obstacle obstacle)
{
    switch (obstacle) {
    case Obstacle::none: return QStringLiteral("the web engine can start sandboxed");
    case Obstacle::notBuiltIn: return QStringLiteral("built without the web engine");
    case Obstacle::noDisplay: return QStringLiteral("no display for the web engine");
    case Obstacle::turnedOff: return QStringLiteral("the web engine is turned off (TAVI_NO_WEB_ENGINE)");
    case Obstacle::sandboxTurnedOff: return QStringLiteral("the web engine's sandbox is turned off in this run");
    case Obstacle::root: return QStringLiteral("running as root, where the web engine has no sandbox");
    case Obstacle::noUserNamespaces: return QStringLiteral("no user namespaces for the web engine's sandbox");
    case Obstacle::helperMissing: return QStringLiteral("the web engine's helper program is not installed");
    }
    return {};
}
