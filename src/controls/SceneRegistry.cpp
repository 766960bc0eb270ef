#include "controls/SceneRegistry.h"

#include "platform/Log.h"

SceneRegistry &SceneRegistry::shared()
{
    static SceneRegistry registry;
    return registry;
}

QString SceneRegistry::sceneKey(const QString &storyboardName, const QString &identifier)
{
    return storyboardName + QLatin1Char('\n') + identifier;
}

void SceneRegistry::registerScene(const QString &storyboardName, const QString &identifier, SceneFactory factory)
{
    m_scenes.insert(sceneKey(storyboardName, identifier), std::move(factory));
}

void SceneRegistry::registerNib(const QString &nibName, NibFactory factory)
{
    m_nibs.insert(nibName, std::move(factory));
}

void SceneRegistry::removeScene(const QString &storyboardName, const QString &identifier)
{
    m_scenes.remove(sceneKey(storyboardName, identifier));
}

void SceneRegistry::removeNib(const QString &nibName) { m_nibs.remove(nibName); }

bool SceneRegistry::hasScene(const QString &storyboardName, const QString &identifier) const
{
    return m_scenes.contains(sceneKey(storyboardName, identifier));
}

QObject *SceneRegistry::instantiateScene(const QString &storyboardName, const QString &identifier) const
{
    const auto it = m_scenes.constFind(sceneKey(storyboardName, identifier));
    if (it == m_scenes.constEnd() || !*it) {
        LOG_WARNING("instantiateScene()",
                    QStringLiteral("No scene \"%1\" in storyboard \"%2\"").arg(identifier, storyboardName));
        return nullptr;
    }
    return (*it)();
}

std::vector<QObject *> SceneRegistry::loadNib(const QString &nibName) const
{
    const auto it = m_nibs.constFind(nibName);
    if (it == m_nibs.constEnd() || !*it)
        return {};
    return (*it)();
}

QString SceneRegistry::plainClassName(const char *className)
{
    const QString name = QString::fromLatin1(className);
    // C++ namespaces play the part of module prefixes.
    const qsizetype colon = name.lastIndexOf(QLatin1Char(':'));
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const qsizetype cut = std::max(colon, dot);
    return cut < 0 ? name : name.mid(cut + 1);
}

void SceneRegistry::reportMissingNibObject(const QString &nibName)
{
    LOG_WARNING("loadFromNib()", QStringLiteral("Nib \"%1\" is missing or holds no view of its class").arg(nibName));
}
