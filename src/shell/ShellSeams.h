#pragma once
// What the shell calls of the windows and services that the layers above it provide. Each layer
// fills its entries at start-up; an empty entry does nothing (and answers "not done"). GUI thread.

#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

class QMenu;
class QWidget;

struct ShellSeams {
    static ShellSeams &shared();

    // Quick-paste panel: shows it when hidden, hides it when shown.
    std::function<void()> toggleQuickPastePanel;
    // Closes the window of the shared category list (created first when it does not exist).
    std::function<void()> closeCategoryList;

    // Preferences: shows the window; selects a tab of it (false when the window or its tabs do not exist).
    std::function<void()> showPreferencesWindow;
    std::function<bool(int index)> selectPreferencesTab;

    // The category edit window: creates a category without an id, else edits the one with that id.
    std::function<void(std::optional<QString> categoryId)> showCategoryEditor;

    // The color bar's active-screen monitor.
    std::function<void()> startScreenMonitoring;
    std::function<void()> stopScreenMonitoring;

    // The menu of the status icon.
    std::function<QMenu *()> statusBarMenu;

    // Daily remote configuration: (re)start its timer and fetch at once; stop the timer.
    std::function<void()> startRemoteConfiguration;
    std::function<void()> stopRemoteConfiguration;
    // At quit, after the last save: stops sync and the store's own threads, so that nothing is
    // written or logged after the save's outcome.
    std::function<void()> stopStore;
    // The update check, with its new-version alert.
    std::function<void()> checkForUpdate;
    // The update check the user asked for: the completion gets (has update, text): the newest
    // version when there is one, else the message to show. Called once, on the GUI thread.
    using UpdateCheckCompletion = std::function<void(bool hasUpdate, const std::optional<QString> &text)>;
    std::function<void(UpdateCheckCompletion completion)> checkUpdate;
    // The page the newest version is downloaded from.
    std::function<QUrl()> downloadPageURL;

    // Folder access for a copied file outside the granted folders; the sender may be null.
    std::function<void(QWidget *sender, const QString &path)> showAuthorizer;

    // Distributed notifications to the login helper (name, object).
    std::function<void(const QString &name, const QString &object)> postDistributedNotification;

    // Removes every entry (tests).
    void reset() { *this = ShellSeams(); }
};
