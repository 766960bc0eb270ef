// AppDelegate: the global hot keys; the digit keys of the most recent items are QuickSelectionKeys.

#include "shell/AppDelegate.h"

#include "capture/TaviPBManager.h"
#include "controls/SceneRegistry.h"
#include "core/Alert.h"
#include "core/TaviSettings.h"
#include "platform/DispatchQueue.h"
#include "platform/Log.h"
#include "platform/ShortcutBinder.h"
#include "platform/ShortcutMonitor.h"
#include "platform/Strings.h"
#include "shell/ShellSeams.h"

#include <QAbstractButton>
#include <QPointer>
#include <QWidget>

void AppDelegate::registerDefaultShortcuts()
{
    struct Row {
        QString key;
        Shortcut shortcut;
        std::function<void()> action;
    };
    const QPointer<AppDelegate> self(this);
    const Row rows[] = {
        {kSpotlightShortcutKey, Shortcut(38, Shortcut::kCommand),
         [] {
             if (auto &toggle = ShellSeams::shared().toggleQuickPastePanel)
                 toggle();
         }},
        // Super+H hides the active window on several desktops: the list closes with Shift+Super+H.
        {kHideCategoryListShortcutKey, Shortcut(4, Shortcut::kShift | Shortcut::kCommand),
         [self] {
             if (self)
                 self->closeCategoryList();
         }},
        {kClearAllShortcutKey, Shortcut(8, Shortcut::kShift | Shortcut::kCommand),
         [self] {
             if (self)
                 self->showClearAllAlert();
         }},
    };
    ShortcutBinder &binder = ShortcutBinder::shared();
    binder.setRefusalHandler([self](const QString &, const Shortcut &shortcut) {
        if (self)
            self->tellRefusedShortcut(shortcut);
    });
    binder.retireDefault(kHideCategoryListShortcutKey, Shortcut(4, Shortcut::kCommand));
    for (const Row &row : rows) {
        binder.registerDefaultShortcuts({{row.key, row.shortcut}});
        binder.bindShortcut(row.key, row.action);
    }
}

void AppDelegate::tellRefusedShortcut(const Shortcut &shortcut)
{
    const QString chord = shortcut.displayText();
    if (m_refusedShortcuts.contains(chord))
        return;
    m_refusedShortcuts.append(chord);
    LOG_INFO("tellRefusedShortcut()", QStringLiteral("Told the user that %1 is held by another program").arg(chord));
    if (m_refusedShortcuts.size() > 1)
        return; // the alert already queued names this one too
    MainQueue::async([self = QPointer(this)] {
        if (!self)
            return;
        const QString chords = self->m_refusedShortcuts.join(QStringLiteral(", "));
        self->m_refusedShortcuts.clear();
        showAlert(L("Shortcut.Taken.title"), L("Shortcut.Taken.message").arg(chords), L("Shortcut.Taken.OK"),
                  std::nullopt, nullptr, AlertStyle::warning);
    });
}

void AppDelegate::closeCategoryList()
{
    if (auto &close = ShellSeams::shared().closeCategoryList)
        close();
}

void AppDelegate::showClearAllAlert()
{
    // The accessory's check box asks whether notes go too; without the view notes are kept.
    QWidget *accessory = nullptr;
    std::vector<std::unique_ptr<QObject>> nibObjects;
    for (QObject *object : SceneRegistry::shared().loadNib(QStringLiteral("TrashFilterNoteView"))) {
        nibObjects.emplace_back(object);
        if (auto *view = qobject_cast<QWidget *>(object))
            accessory = view;
    }
    showDestructiveAlert(
        L("Category.Alert.Warning.title"), L("Category.Alert.CategoryItemsClearAll.message"), L("Category.Alert.YES"),
        L("Category.Alert.NO"), accessory, [this, accessory](ModalResponse response) {
            if (response != ModalResponse::alertFirstButtonReturn)
                return;
            auto *noteBtn = accessory ? accessory->findChild<QAbstractButton *>(QStringLiteral("noteBtn")) : nullptr;
            // Off the GUI thread: the history may hold many thousands of items.
            pbManager.clearAllItemsInBackground(noteBtn && noteBtn->isChecked());
        });
}
