// Shared main of the test executables: a QApplication and temporary XDG folders per process.

#include "platform/Strings.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>

#include <gtest/gtest.h>

// Libraries stay mapped until the process ends, so that the leak check at exit can name the
// library behind each allocation (its suppressions match by library) instead of "unknown module".
extern "C" int dlclose(void *) { return 0; }

namespace {
bool pooledThreadsRemain()
{
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile name(tasks.filePath(task + QStringLiteral("/comm")));
        if (name.open(QIODevice::ReadOnly) && name.readAll().startsWith("Thread (pooled)"))
            return true;
    }
    return false;
}

// The toolkit's pooled threads (image scaling, concurrent runs) end with the application but may
// still be leaving the process when it exits, and the leak check at exit crashes on a thread half
// gone. Waits until the last has left, for a few seconds at most.
void waitForPooledThreadsToLeave()
{
    QElapsedTimer clock;
    clock.start();
    while (pooledThreadsRemain() && clock.elapsed() < 5000)
        QThread::yieldCurrentThread();
}
} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    const char *variables[] = {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME",
                               "XDG_RUNTIME_DIR"};
    const char *folders[] = {"config", "data", "state", "cache", "runtime"};
    for (int i = 0; i < 5; ++i)
        qputenv(variables[i], (home.path() + QLatin1Char('/') + QLatin1String(folders[i])).toLocal8Bit());
    QDir().mkpath(home.path() + QStringLiteral("/runtime"));
    QFile::setPermissions(home.path() + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    ::testing::InitGoogleTest(&argc, argv);
    QApplication::setApplicationName(QStringLiteral("TaviPaste"));
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    int result = 0;
    {
        QApplication app(argc, argv);
        Strings::install();
        result = RUN_ALL_TESTS();
        QThreadPool::globalInstance()->waitForDone();
    }
    waitForPooledThreadsToLeave();
    removeFoldersLeftForTheEnd();
    return result;
}
