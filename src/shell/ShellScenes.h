#pragma once
// Registers the shell's windows with the scene registry. Main thread, once at start-up.

namespace ShellScenes {
void registerAll();
}
