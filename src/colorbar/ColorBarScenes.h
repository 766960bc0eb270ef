#pragma once
// Fills the shell's entries that the color bar serves (the screen monitor, the category edit
// window) and makes the bar. Main thread, at start-up (tests call it again freely).

class MainWindowController;
class PBCategoryManager;
class TaviPBManager;

namespace ColorBarScenes {
void registerAll();
// Makes the bar on these managers (the shared ones by default) and shows it.
MainWindowController *showColorBar();
MainWindowController *showColorBar(PBCategoryManager &categories, TaviPBManager &history);
} // namespace ColorBarScenes
