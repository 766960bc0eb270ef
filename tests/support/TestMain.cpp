// Shared main of the test executables: a QApplication and temporary XDG folders per process.

#include "platform/Strings.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Libraries stay mapped until the process ends, so that the leak check at exit can name the
// library behind each allocation (its suppressions match by library) instead of "unknown module".
extern "C" int dlclose(void *) { return 0; }

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
    // With a display at hand the offscreen platform loads the GL driver, whose thread-local blocks
    // the leak check at exit misreads (and crashes on) once pooled threads have come and gone.
    if (qEnvironmentVariableIsEmpty("QT_QPA_OFFSCREEN_NO_GLX"))
        qputenv("QT_QPA_OFFSCREEN_NO_GLX", "1");

    ::testing::InitGoogleTest(&argc, argv);
    QApplication::setApplicationName(QStringLiteral("TaviPaste"));
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    int result = 0;
    {
        QApplication app(argc, argv);
        Strings::install();
        result = RUN_ALL_TESTS();
    }
    removeFoldersLeftForTheEnd();
    return result;
}
