#include "support/TestEnvironment.h"

#include "platform/CloudKeyValueStore.h"
#include "platform/Defaults.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

namespace {
const char *const kVariables[4] = {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME"};
const char *const kFolders[4] = {"config", "data", "state", "cache"};
} // namespace

ScopedXdgHome::ScopedXdgHome()
{
    for (int i = 0; i < 4; ++i) {
        m_saved[i] = qgetenv(kVariables[i]);
        qputenv(kVariables[i], (m_dir.path() + QLatin1Char('/') + QLatin1String(kFolders[i])).toLocal8Bit());
    }
    Defaults::resetStandard();
    CloudKeyValueStore::resetShared();
}

ScopedXdgHome::~ScopedXdgHome()
{
    for (int i = 0; i < 4; ++i)
        qputenv(kVariables[i], m_saved[i]);
    Defaults::resetStandard();
    CloudKeyValueStore::resetShared();
}

bool waitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}
