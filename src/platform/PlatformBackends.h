#pragma once
// Chooses the desktop backends of the platform layer: X11 when Qt runs on an X server, the
// in-memory ones otherwise (headless runs and tests).

namespace PlatformBackends {

enum class Kind { Memory, X11 };

// Before the QApplication exists: on a Wayland session with XWayland, asks Qt for its X11
// platform so that the X11 backends serve (unless QT_QPA_PLATFORM says otherwise).
void preferX11();

// Before the QApplication exists: whether the program has a display to run on. The clipboard and
// hot keys are X11's, so an X server must answer (on Wayland, XWayland's); a headless Qt platform
// asked for by name in QT_QPA_PLATFORM (offscreen, minimal) needs none.
bool hasDisplay();

// Main thread, once the QApplication exists. Returns what was installed.
Kind install();
// Installs the given kind; X11 falls back to Memory when no X server can be reached.
Kind install(Kind kind);
Kind current();
// The X11 backends' own threads stop for good (the X server is gone, the program ends): after
// this none of them reads the clipboard, sees a key or logs. Main thread.
void stopDisplayThreads();

// Whether a system tray (StatusNotifierItem or XEmbed) is there to show the status icon;
// logs a warning the first time it is not. Main thread.
bool isSystemTrayAvailable();

} // namespace PlatformBackends
