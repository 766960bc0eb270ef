#pragma once
// Registers the windows of the history subsystem with the scene registry and fills the shell's
// entries that they serve. Main thread, once at start-up (tests call it again freely).

namespace HistoryScenes {
void registerAll();
}
