#include "history/HistoryScenes.h"

#include "controls/SceneRegistry.h"
#include "history/CategoryWindowController.h"
#include "history/CopyEffectHUDWindowController.h"
#include "history/PBHUDWindowController.h"
#include "shell/ShellScenes.h"
#include "shell/ShellSeams.h"

namespace HistoryScenes {

void registerAll()
{
    ShellScenes::registerAll();
    SceneRegistry &registry = SceneRegistry::shared();
    registry.registerScene(QStringLiteral("PBHUD"), QStringLiteral("PBHUDWindowController"),
                           [] { return new PBHUDWindowController; });
    registry.registerNib(QStringLiteral("HUDWindowController"),
                         [] { return std::vector<QObject *>{new CopyEffectHUDWindowController}; });
    registry.registerScene(QStringLiteral("Main"), QStringLiteral("CategoryWindowController"),
                           [] { return new CategoryWindowController; });
    ShellSeams::shared().toggleQuickPastePanel = [] { PBHUDWindowController::toggle(); };
    ShellSeams::shared().closeCategoryList = [] {
        if (CategoryWindowController *list = sharedCategoryWindowController())
            list->close();
    };
}

} // namespace HistoryScenes
