#include "history/HistoryScenes.h"

#include "controls/SceneRegistry.h"
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
    ShellSeams::shared().toggleQuickPastePanel = [] { PBHUDWindowController::toggle(); };
}

} // namespace HistoryScenes
