#include "platform/SoundPlayer.h"

#include "platform/DispatchQueue.h"
#include "platform/Log.h"

#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QUrl>

#ifdef TAVI_HAVE_MULTIMEDIA
#include <QSoundEffect>
#endif

#include <atomic>
#include <mutex>

namespace {

std::mutex g_mutex;
std::function<void(const QString &)> g_observer;
std::atomic<int> g_muted{-1}; // -1: decided from the platform on first use

QString resourcePath(const QString &name)
{
    return QStringLiteral(":/assets/sounds/%1.wav").arg(name);
}

bool mutedByPlatform()
{
    if (!qEnvironmentVariableIsEmpty("TAVI_MUTE_SOUNDS"))
        return true;
    return QGuiApplication::platformName() == QLatin1String("offscreen")
        || QGuiApplication::platformName() == QLatin1String("minimal");
}

#ifdef TAVI_HAVE_MULTIMEDIA
// Main thread only; the effects live as long as the application.
QSoundEffect *effect(const QString &name)
{
    static QHash<QString, QSoundEffect *> effects;
    if (auto found = effects.constFind(name); found != effects.constEnd())
        return *found;
    QSoundEffect *made = nullptr;
    if (QFile::exists(resourcePath(name))) {
        made = new QSoundEffect(qApp);
        made->setSource(QUrl(QStringLiteral("qrc") + resourcePath(name)));
        made->setVolume(0.6);
    }
    effects.insert(name, made);
    return made;
}
#endif

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
#ifdef TAVI_HAVE_MULTIMEDIA
    MainQueue::async([name] {
        if (QSoundEffect *sound = effect(name))
            sound->play();
    });
#endif
}

void setMuted(bool muted)
{
    g_muted = muted ? 1 : 0;
}

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
