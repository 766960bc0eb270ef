#pragma once
// The Shortcuts tab: a recorder for each of the seven global hot keys, and the digit keys that
// paste the recent items (their modifier and an on/off switch). A recorded chord is refused when
// another of the program's shortcuts or the digit keys use it, or another program holds it; a
// cleared shortcut stays cleared. GUI thread.

#include "platform/Shortcut.h"

#include <QWidget>

#include <optional>

class QCheckBox;
class QComboBox;
class ShortcutRecorderView;

class ShortCutSettingsViewController : public QWidget {
    Q_OBJECT
public:
    struct Entry {
        const char *defaultsKey;
        const char *titleKey;
    };
    // The seven hot keys in the order of the pane.
    static const QList<Entry> &entries();

    explicit ShortCutSettingsViewController(QWidget *parent = nullptr);

    void reloadFromSettings();
    void historyQuickSelectionChanged();
    void enableQuickSelectionAction();

    // Why the chord cannot be the shortcut of the key (empty when it can).
    static QString conflict(const QString &defaultsKey, const Shortcut &shortcut);
    // Stores the shortcut of the key (none: cleared) and moves its hot key to it.
    static void shortcutValueChanged(const QString &defaultsKey, const std::optional<Shortcut> &shortcut);

    ShortcutRecorderView *recorder(const QString &defaultsKey) const;
    QComboBox *historyQuickSelectionPopUpBtn = nullptr;
    QCheckBox *enableQuickSelectionBtn = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QList<ShortcutRecorderView *> m_recorders; // in the order of entries()
};
