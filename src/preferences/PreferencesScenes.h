#pragma once
// Registers the preferences window with the scene registry and fills the shell's entries it
// serves (showing the window, selecting a tab). Main thread, once at start-up (tests call it again).

namespace PreferencesScenes {
void registerAll();
}
