#pragma once
// The preferences window: one for the whole run, made by the first showPreferencesWindow() and
// kept (closing only hides it, so its panes keep their state). GUI thread.

#include <QWidget>

class PreferenceTabViewController;

class PreferencesWindowViewController : public QWidget {
    Q_OBJECT
public:
    explicit PreferencesWindowViewController(QWidget *parent = nullptr);

    PreferenceTabViewController *contentViewController() const { return m_tabs; }
    // Shows the window in front, key, centred on the screen it is on.
    void showWindow();

private:
    PreferenceTabViewController *m_tabs = nullptr;
};

// The one preferences window; null until showPreferencesWindow() first made it.
PreferencesWindowViewController *preferencesWindowController();
// Makes the window on first use from the "Preferences" scene, then shows it in front, centred.
void showPreferencesWindow();
// Selects a tab of the window; false when the window or its tabs do not exist.
bool selectPreferencesTab(int index);
// Forgets the window (tests).
void resetPreferencesWindowController();
