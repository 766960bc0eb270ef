#include "shell/ShellScenes.h"

#include "controls/SceneRegistry.h"
#include "controls/TrashFilterNoteView.h"
#include "shell/AppDelegate.h"
#include "shell/AuthorizerManager.h"
#include "shell/SearchHUDIntroWindowController.h"
#include "shell/ServerConfigManager.h"
#include "shell/ShellSeams.h"
#include "shell/UpdateChecker.h"
#include "shell/WelcomeLastPageViewController.h"
#include "shell/WelcomeWindowController.h"
#include "shell/WhatsnewWindowController.h"

#include <QSystemTrayIcon>

namespace ShellScenes {

void registerAll()
{
    SceneRegistry &registry = SceneRegistry::shared();
    registry.registerScene(QStringLiteral("Whatsnew"), QStringLiteral("SearchHUDIntroWindowController"),
                           [] { return new SearchHUDIntroWindowController; });
    registry.registerNib(QStringLiteral("TrashFilterNoteView"),
                         [] { return std::vector<QObject *>{new TrashFilterNoteView}; });
    registry.registerScene(QStringLiteral("Whatsnew"), QStringLiteral("WhatsnewWindowController"),
                           [] { return new WhatsnewWindowController; });
    registry.registerScene(QStringLiteral("Welcome"), QStringLiteral("welcomeWindowController"),
                           [] { return new WelcomeWindowController; });
    for (PBTutorials page : Tutorials::allCases()) {
        registry.registerScene(QStringLiteral("Welcome"), Tutorials::rawValue(page), [page]() -> QObject * {
            if (page == PBTutorials::autoTag)
                return new WelcomeLastPageViewController;
            return new WelcomePageViewController(page);
        });
    }

    ShellSeams &seams = ShellSeams::shared();
    seams.startRemoteConfiguration = [] { ServerConfigManager::shared().start(); };
    seams.stopRemoteConfiguration = [] { ServerConfigManager::shared().stop(); };
    seams.checkForUpdate = [] { UpdateChecker::shared().checkUpdate(&UpdateChecker::showNewVersionAlert); };
    seams.checkUpdate = [](ShellSeams::UpdateCheckCompletion completion) {
        UpdateChecker::shared().checkUpdate(std::move(completion));
    };
    seams.downloadPageURL = [] { return UpdateChecker::downloadPageURL(); };
    seams.showAuthorizer = [](QWidget *, const QString &path) {
        // The tray may not tell where its icon is: the popover then opens at the pointer.
        const AppDelegate *delegate = AppDelegate::shared();
        const QRect anchor = delegate && delegate->statusItem() ? delegate->statusItem()->geometry() : QRect();
        AuthorizerManager::shared().show(anchor, path);
    };
}

} // namespace ShellScenes
