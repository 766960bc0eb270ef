// The sound module: each sound a QSoundEffect, made on its first play and kept.

#include "platform/SoundBackend.h"

#include <QCoreApplication>
#include <QHash>
#include <QSoundEffect>
#include <QUrl>

namespace {

class SoundEffects final : public SoundBackend {
public:
    void play(const QString &url) override
    {
        QSoundEffect *&effect = m_effects[url];
        if (!effect) {
            effect = new QSoundEffect(qApp);
            effect->setSource(QUrl(url));
            effect->setVolume(0.6);
        }
        effect->play();
    }

private:
    QHash<QString, QSoundEffect *> m_effects;
};

} // namespace

extern "C" Q_DECL_EXPORT SoundBackend *taviSoundBackend()
{
    static SoundEffects backend;
    return &backend;
}
