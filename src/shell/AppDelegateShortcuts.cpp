// AppDelegate: the global hot keys, the digit keys of the most recent items and their paste.

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
#include "shell/PasteRoutine.h"
#include "shell/SearchHUDIntroWindowController.h"
#include "shell/ShellSeams.h"

#include <QAbstractButton>
#include <QPointer>
#include <QWidget>

namespace {

// Only nine digit keys exist, whatever the settings say.
int boundedCapacity(int capacity)
{
    return std::clamp(capacity, 0, 9);
}

} // namespace

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
        showAlert(L("Shortcut.Taken.title"), L("Shortcut.Taken.message").arg(chords), L("Shortcut.Taken.OK"), std::nullopt,
                  nullptr, AlertStyle::warning);
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
    showDestructiveAlert(L("Category.Alert.Warning.title"), L("Category.Alert.CategoryItemsClearAll.message"), L("Category.Alert.YES"),
                         L("Category.Alert.NO"), accessory, [this, accessory](ModalResponse response) {
                             if (response != ModalResponse::alertFirstButtonReturn)
                                 return;
                             auto *noteBtn = accessory ? accessory->findChild<QAbstractButton *>(QStringLiteral("noteBtn")) : nullptr;
                             // Off the GUI thread: the history may hold many thousands of items.
                             pbManager.clearAllItemsInBackground(noteBtn && noteBtn->isChecked());
                         });
}

quint32 AppDelegate::quickSelectionModifier()
{
    return modifierFlags(TaviSettings::shared().historyQuickSelectionKey());
}

// The keys registered last, whatever the modifier setting says now: after a change of the
// modifier the old keys must go, not the ones the new modifier would make.
void AppDelegate::unregisterQuickSelectionShortcuts()
{
    ShortcutMonitor &monitor = ShortcutMonitor::shared();
    for (const Shortcut &shortcut : std::as_const(m_registeredDigitKeys))
        monitor.unregisterShortcut(shortcut);
    m_registeredDigitKeys.clear();
}

void AppDelegate::refreshQuickSelection(const QList<PBItem> &items)
{
    const int capacity = boundedCapacity(TaviSettings::shared().menuHistoryCapacity());
    lastItems = items.mid(0, capacity);
    const quint32 modifier = quickSelectionModifier();
    QList<Shortcut> wanted;
    for (qsizetype i = 0; i < lastItems.size(); ++i)
        wanted.append(Shortcut(kDigitKeyCodes[i], modifier));
    // Keys still wanted stay bound and only take their new item: after each copy, nothing is
    // given back to the X server and taken again.
    ShortcutMonitor &monitor = ShortcutMonitor::shared();
    QList<Shortcut> kept;
    for (const Shortcut &shortcut : std::as_const(m_registeredDigitKeys)) {
        if (wanted.contains(shortcut))
            kept.append(shortcut);
        else
            monitor.unregisterShortcut(shortcut);
    }
    m_registeredDigitKeys = kept;
    const QPointer<AppDelegate> self(this);
    for (qsizetype i = 0; i < wanted.size(); ++i) {
        const Shortcut &shortcut = wanted.at(i);
        const bool ours = kept.contains(shortcut);
        // Registering would take the combination over from another of our shortcuts, and
        // unregistering the digit keys later would leave that one dead.
        if (!ours && monitor.isShortcutRegistered(shortcut)) {
            LOG_WARNING("refreshQuickSelection(items:)",
                        QStringLiteral("The digit key %1 is another shortcut of TaviPaste").arg(shortcut.displayText()));
            continue;
        }
        const PBItem item = lastItems.at(i);
        const bool registered = monitor.registerShortcut(shortcut, [self, item] {
            if (self)
                self->pasteItem(item);
        });
        if (registered && !ours)
            m_registeredDigitKeys.append(shortcut);
        else if (!registered)
            LOG_WARNING("refreshQuickSelection(items:)",
                        QStringLiteral("The digit key %1 is taken by another program").arg(shortcut.displayText()));
    }
    if (SearchHUDIntroWindowController *tip = searchTipWC())
        tip->showIfNeeded();
}

void AppDelegate::requestQuickSelectionRefresh()
{
    if (m_refreshQueued.exchange(true))
        return;
    const QPointer<AppDelegate> self(this);
    MainQueue::async([self] {
        if (!self)
            return;
        self->m_refreshQueued = false;
        if (self->m_terminated)
            return;
        self->refreshQuickSelection(self->pbManager.getItemsPage(0, boundedCapacity(TaviSettings::shared().menuHistoryCapacity())));
    });
}

void AppDelegate::pasteItem(const PBItem &item)
{
    PasteRoutine::paste(pbManager, {item}, item.primaryCategory(), PasteRoutine::Feedback::immediate);
}
