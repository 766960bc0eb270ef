#pragma once
// Short sounds by name ("copy", "paste"), from the application's assets. Silent on a headless
// platform and when muted. Any thread: the sound itself plays from the main thread.

#include <QString>

#include <functional>

namespace SoundPlayer {

// Plays the named sound; an unknown name plays nothing.
void play(const QString &name);

// Mutes every sound (the default under the offscreen platform or with TAVI_MUTE_SOUNDS set).
void setMuted(bool muted);
bool isMuted();

// Receives the name of every sound asked for, muted or not (tests). Pass an empty function to remove.
void setObserver(std::function<void(const QString &name)> observer);

} // namespace SoundPlayer
