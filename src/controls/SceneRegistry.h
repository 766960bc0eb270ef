#pragma once
// Window controllers and views made by name: scenes by storyboard name and scene identifier, nibs
// by view class name. Windows of the later subsystems register their factories here; asking for
// something nobody registered gives nullptr. GUI thread.

#include <QHash>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class SceneRegistry {
public:
    // Makes a new scene (a window controller or a window); the caller owns what it returns.
    using SceneFactory = std::function<QObject *()>;
    // Makes the top-level objects of a nib, in order; the loader owns them until it picks one.
    using NibFactory = std::function<std::vector<QObject *>()>;

    // The registry of the application (the main bundle).
    static SceneRegistry &shared();

    void registerScene(const QString &storyboardName, const QString &identifier, SceneFactory factory);
    void registerNib(const QString &nibName, NibFactory factory);
    void removeScene(const QString &storyboardName, const QString &identifier);
    void removeNib(const QString &nibName);
    bool hasScene(const QString &storyboardName, const QString &identifier) const;

    // A new instance of the scene, or nullptr when no factory is registered (or it made nothing).
    QObject *instantiateScene(const QString &storyboardName, const QString &identifier) const;
    // The top-level objects of the nib; empty when it is not registered.
    std::vector<QObject *> loadNib(const QString &nibName) const;

    // The scene identifier of a class: its name without namespace or module prefix.
    static QString plainClassName(const char *className);

    // Makes the controller of class T from the storyboard; the identifier defaults to T's plain
    // class name. nullptr when the scene is missing or of another class.
    template <typename T>
    T *instantiate(const QString &storyboardName, const std::optional<QString> &identifier = std::nullopt) const
    {
        const QString id = identifier ? *identifier : plainClassName(T::staticMetaObject.className());
        QObject *scene = instantiateScene(storyboardName, id);
        if (auto *controller = dynamic_cast<T *>(scene))
            return controller;
        delete scene;
        return nullptr;
    }

    // Makes a view of class T from the nib named after T: the last top-level object of that class.
    // The other top-level objects are deleted. nullptr when the nib is missing or holds no T.
    template <typename T>
    T *loadFromNib() const
    {
        const QString name = plainClassName(T::staticMetaObject.className());
        std::vector<QObject *> objects = loadNib(name);
        T *picked = nullptr;
        for (QObject *object : objects)
            if (auto *view = dynamic_cast<T *>(object))
                picked = view;
        for (QObject *object : objects)
            if (object != picked)
                delete object;
        if (!picked)
            reportMissingNibObject(name);
        return picked;
    }

private:
    static QString sceneKey(const QString &storyboardName, const QString &identifier);
    static void reportMissingNibObject(const QString &nibName);

    QHash<QString, SceneFactory> m_scenes;
    QHash<QString, NibFactory> m_nibs;
};
