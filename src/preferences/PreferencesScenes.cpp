#include "preferences/PreferencesScenes.h"

#include "controls/SceneRegistry.h"
#include "preferences/PreferencesWindowViewController.h"
#include "shell/ShellSeams.h"

namespace PreferencesScenes {

void registerAll()
{
    SceneRegistry::shared().registerScene(QStringLiteral("Preferences"), QStringLiteral("PreferenceWindowController"),
                                          [] { return new PreferencesWindowViewController; });
    ShellSeams::shared().showPreferencesWindow = [] { showPreferencesWindow(); };
    ShellSeams::shared().selectPreferencesTab = [](int index) { return selectPreferencesTab(index); };
}

} // namespace PreferencesScenes
