#include "platform/SoundPlayer.h"

#include "platform/DispatchQueue.h"
#include "platform/LoadableModule.h"
#include "platform/Log.h"
#include "platform/SoundBackend.h"

#include <QFile>
#include <QGuiApplication>

#include <atomic>
#include <mutex>

namespace {

std::mutex g_mutex;
std::function<void(const QString &)> g_observer;
std::atomic<int> g_muted{-1}; // -1: decided from the platform on first use

QString resourcePath(const QString &name) { return QStringLiteral(":/assets/sounds/%1.wav").arg(name); }

bool mutedByPlatform()
{
    if (!qEnvironmentVariableIsEmpty("TAVI_MUTE_SOUNDS"))
        return true;
    return QGuiApplication::platformName() == QLatin1String("offscreen")
           || QGuiApplication::platformName() == QLatin1String("minimal");
}

// Plays on the GUI thread once the sound module is loaded (on a worker: it maps the audio
// libraries); without the module every sound is silent.
void playWithBackend(const QString &name)
{
    LoadableModule::entryLater(QString::fromLatin1(kSoundModule), kSoundBackendEntry, [name](QFunctionPointer entry) {
        if (entry)
            reinterpret_cast<SoundBackendEntry>(entry)()->play(QStringLiteral("qrc") + resourcePath(name));
    });
}

} // namespace

namespace SoundPlayer {

void play(const QString &name)
{
    std::function<void(const QString &)> observer;
    {
        std::lock_guard lock(g_mutex);
        observer = g_observer;
    }
    if (observer)
        observer(name);
    if (isMuted())
        return;
    if (!QFile::exists(resourcePath(name))) {
        LOG_DEBUG("SoundPlayer::play()", QStringLiteral("No sound named %1").arg(name));
        return;
    }
    playWithBackend(name);
}

void setMuted(bool muted) { g_muted = muted ? 1 : 0; }

bool isMuted()
{
    int muted = g_muted.load();
    if (muted < 0) {
        muted = mutedByPlatform() ? 1 : 0;
        g_muted = muted;
    }
    return muted == 1;
}

void setObserver(std::function<void(const QString &)> observer)
{
    std::lock_guard lock(g_mutex);
    g_observer = std::move(observer);
}

} // namespace SoundPlayer
