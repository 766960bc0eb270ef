#include "shell/ShellScenes.h"

#include "controls/SceneRegistry.h"
#include "shell/SearchHUDIntroWindowController.h"

namespace ShellScenes {

void registerAll()
{
    SceneRegistry::shared().registerScene(QStringLiteral("Whatsnew"), QStringLiteral("SearchHUDIntroWindowController"),
                                          [] { return new SearchHUDIntroWindowController; });
}

} // namespace ShellScenes
