#pragma once
// The content of the preferences window: six tabs in a fixed order (callers select tabs by
// index), each with its pane. Sends "Preference" with the tab's identifier when the user changes
// tabs. GUI thread.

#include <QTabWidget>

class PreferenceTabViewController : public QTabWidget {
    Q_OBJECT
public:
    enum Tab { General = 0, Apperance = 1, Category = 2, Shortcuts = 3, Blacklist = 4, Sync = 5 };

    explicit PreferenceTabViewController(QWidget *parent = nullptr);

    void setSelectedTabViewItemIndex(int index);
    // The identifier of a tab (what the analytics event names); empty when it has none.
    QString tabIdentifier(int index) const;
    void setTabIdentifier(int index, const QString &identifier);

    // The pane of the Sync tab until sync can be set up from here.
    static QWidget *makeSyncPane();

private:
    void tabDidChange(int index);
};
