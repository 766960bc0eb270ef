#pragma once
// The shutdown of TaviPaste once the shell's own parts have stopped, in order: the login helper
// told, bookmarked folders let go, remote configuration, clipboard and screen monitoring stopped,
// the program's values and every setting written, and the history saved; the user is told how
// many items are lost when it cannot be. GUI thread.

class TaviPBManager;
class TaviSettings;

class ShutdownSequence {
public:
    ShutdownSequence(TaviPBManager &pbManager, TaviSettings &settings);

    void run();

private:
    // The history could not be written at quit: says how many items are lost.
    static void tellUnsavedItems(int count);

    TaviPBManager &m_pbManager;
    TaviSettings &m_settings;
};
