#pragma once
// The start-up of TaviPaste once the application has finished launching, in order: the
// installation's id, usage reporting, the log, the hot keys and the active-window watch, the
// history's problems told, auto-clean, bookmarks, the welcome window, the status icon, the digit
// keys, clipboard monitoring, the observers through which the rest of the program talks to the
// shell, and launch at login. GUI thread.

#include <memory>

class AppDelegate;
class ObserverBag;
class QObject;
class TaviPBManager;
class TaviSettings;

class StartUpSequence {
public:
    // The observers are the delegate's: they live until it shuts down.
    StartUpSequence(AppDelegate &delegate, TaviPBManager &pbManager, TaviSettings &settings, ObserverBag &observers);

    ~StartUpSequence();

    void run();
    // Drops the signal connections made by run(), with what they have queued (at quit, with
    // the observers).
    void stopListening();

private:
    void registerObservers();
    // Problems with the history or the settings found at start-up, and those the history manager
    // or a rebuild of the store reports later, are shown to the user in an alert.
    void tellHistoryProblems();

    AppDelegate &m_delegate;
    TaviPBManager &m_pbManager;
    TaviSettings &m_settings;
    ObserverBag &m_observers;
    // The context of the signal connections.
    std::unique_ptr<QObject> m_listeners;
};
