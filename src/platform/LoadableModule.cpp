#include "platform/LoadableModule.h"

#include "platform/DispatchQueue.h"
#include "platform/Log.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QLibrary>

#include <mutex>

namespace {

std::mutex g_mutex;
// Loaded modules, never unloaded; null for one that could not be loaded.
QHash<QString, QLibrary *> g_modules;

// The install's folder first; in a build tree the modules folder sits beside the program, and
// beside the folders of the tests and benchmarks.
QString modulePath(const QString &name)
{
    const QString programFolder = QCoreApplication::applicationDirPath();
    const QString file = name + QStringLiteral(".so");
    const QStringList folders{programFolder + QStringLiteral("/" TAVI_MODULES_FROM_PROGRAM),
                              programFolder + QStringLiteral("/modules"),
                              programFolder + QStringLiteral("/../modules")};
    for (const QString &folder : folders) {
        const QFileInfo candidate(folder + QLatin1Char('/') + file);
        if (candidate.isFile())
            return candidate.absoluteFilePath();
    }
    return {};
}

} // namespace

namespace LoadableModule {

bool isInstalled(const QString &name) { return !modulePath(name).isEmpty(); }

QFunctionPointer entry(const QString &name, const char *symbol)
{
    std::lock_guard lock(g_mutex);
    auto found = g_modules.constFind(name);
    if (found == g_modules.constEnd()) {
        QLibrary *library = nullptr;
        const QString path = modulePath(name);
        if (path.isEmpty()) {
            LOG_INFO("LoadableModule.entry", QStringLiteral("The module %1 is not installed").arg(name));
        } else {
            library = new QLibrary(path);
            if (!library->load()) {
                LOG_WARNING("LoadableModule.entry",
                            QStringLiteral("The module %1 could not be loaded: %2").arg(name, library->errorString()));
                delete library;
                library = nullptr;
            } else {
                LOG_INFO("LoadableModule.entry", QStringLiteral("Loaded the module %1").arg(name));
            }
        }
        found = g_modules.insert(name, library);
    }
    if (!*found)
        return nullptr;
    const QFunctionPointer function = (*found)->resolve(symbol);
    if (!function)
        LOG_WARNING("LoadableModule.entry",
                    QStringLiteral("The module %1 has no %2").arg(name, QString::fromLatin1(symbol)));
    return function;
}

void entryLater(const QString &name, const char *symbol, std::function<void(QFunctionPointer)> done)
{
    GlobalQueue::async([name, symbol, done = std::move(done)] {
        const QFunctionPointer function = entry(name, symbol);
        MainQueue::async([function, done] { done(function); });
    });
}

} // namespace LoadableModule
