#include "shell/ShellScenes.h"

#include "controls/SceneRegistry.h"
#include "controls/TrashFilterNoteView.h"
#include "shell/SearchHUDIntroWindowController.h"

namespace ShellScenes {

void registerAll()
{
    SceneRegistry::shared().registerScene(QStringLiteral("Whatsnew"), QStringLiteral("SearchHUDIntroWindowController"),
                                          [] { return new SearchHUDIntroWindowController; });
    SceneRegistry::shared().registerNib(QStringLiteral("TrashFilterNoteView"),
                                        [] { return std::vector<QObject *>{new TrashFilterNoteView}; });
}

} // namespace ShellScenes
