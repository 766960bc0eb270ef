#pragma once
// The menu of the status icon: the most recent items with their digit keys at the top, then
// pausing and resuming capture, clearing the history, preferences, the update check, help,
// contact, feedback, about and quit. Each opening lists the items afresh; while the menu shows,
// the global digit keys step aside so the menu's own keys work. Owned by the application
// delegate. GUI thread.

#include "core/PBItem.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>

#include <memory>

class AppDelegate;
class AutoLaunchHintWindowController;
class QAction;
class QMenu;

class TaviMenuBarController : public QObject {
    Q_OBJECT
public:
    // Entries for items carry the tag 100 + their index in lastItems; fixed entries 99 or less.
    static constexpr int kItemTagBase = 100;
    static constexpr int kMaximumItems = 9;
    static constexpr int kMaximumTitleLength = 20;

    explicit TaviMenuBarController(AppDelegate &delegate, QObject *parent = nullptr);
    ~TaviMenuBarController() override;

    QMenu *statusBarMenu() const { return m_menu.get(); }
    QAction *pauseBtnItem = nullptr;
    QAction *checkUpdateMenuItem = nullptr;
    QAction *clearAllMenuItem = nullptr;
    QAction *contactMenuItem = nullptr;
    QAction *feedbackMenuItem = nullptr;
    QAction *moreToolsMenuItem = nullptr;
    QList<PBItem> lastItems;
    QPointer<AutoLaunchHintWindowController> autoLaunchHintWC;

    // The entries that only the maker's service can answer show only while its address is set;
    // feedback also needs the support address that comes with it.
    void updateServiceEntries();
    // The menu opens: the clear-all key, the service entries and the recent items are refreshed.
    void menuNeedsUpdate();
    // The menu closed: the digit hot keys come back.
    void menuDidClose();

    void preferencesItemAction();
    void clearAllItemAction();
    void checkUpdateAction();
    void showHelpAction();
    void contactUsItemAction();
    void feedbackItemAction();
    void moreToolsItemAction();
    void aboutItemAction();
    void pasueItemAction();
    void quitItemAction();
    // Pastes the item whose index the entry's tag names (as the digit keys do), then the search tip.
    void pasteItem(QAction *entry);

    // The entry's tag: 100 + index for item entries, 0 for fixed ones.
    static int tag(const QAction *entry);
    // A menu entry's text from an item's title: "&" kept as text, not taken for a mnemonic.
    static QString menuTitle(const QString &title);
    // mailto: with the recipients, subject and body, every part percent-encoded.
    static QUrl feedbackMailURL(const QStringList &recipients, const QString &subject, const QString &body);
    // Opens an http, https or mailto address with the desktop; anything else is refused.
    static bool openExternalURL(const QUrl &url);

protected:
    // An open menu does not run its entries' shortcuts: the digit keys are taken here.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QAction *addFixedEntry(const char *titleKey, void (TaviMenuBarController::*action)());
    void showUpdateResult(bool hasUpdate, const QString &text);

    AppDelegate &m_delegate;
    std::unique_ptr<QMenu> m_menu;
};
