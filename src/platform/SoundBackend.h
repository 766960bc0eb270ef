#pragma once
// What plays the sounds: made by the sound module (the only code linking Qt Multimedia), loaded on
// the first sound. GUI thread.

#include <QString>

class SoundBackend {
public:
    virtual ~SoundBackend() = default;
    // Plays the sound file (a "qrc:" URL); one that cannot be read plays nothing.
    virtual void play(const QString &url) = 0;
};

// The module's entry point: the process's backend, made on first call (GUI thread).
using SoundBackendEntry = SoundBackend *(*)();
inline constexpr char kSoundModule[] = "sound";
inline constexpr char kSoundBackendEntry[] = "taviSoundBackend";
