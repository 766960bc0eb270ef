#pragma once
// Answers _NET_WM_PING for the program's windows, so that the window manager (and any other
// client) can tell a responsive program from a hung one: each window says in WM_PROTOCOLS that
// it takes pings, and a ping is answered when the GUI thread reads it, as the protocol asks.
// Main thread, on the xcb platform.

namespace X11WindowPing {

// Once the QApplication exists; does nothing off the xcb platform, or when called again.
void install();

} // namespace X11WindowPing
