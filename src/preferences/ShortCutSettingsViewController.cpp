#include "preferences/ShortCutSettingsViewController.h"

#include "core/TaviSettings.h"
#include "platform/Analytics.h"
#include "platform/ShortcutBinder.h"
#include "platform/ShortcutMonitor.h"
#include "platform/Strings.h"
#include "preferences/PaneLayout.h"
#include "preferences/ShortcutRecorderView.h"
#include "shell/AppDelegate.h"

#include <QCheckBox>
#include <QComboBox>

const QList<ShortCutSettingsViewController::Entry> &ShortCutSettingsViewController::entries()
{
    static const QList<Entry> list{
        {"activeSpotlightSearchShortcutKey", "Settings.Shortcut.QuickPaste"},
        {"activeColorBarShortcutKey", "Settings.Shortcut.ColorBar"},
        {"clearAllShortcutKey", "Settings.Shortcut.ClearAll"},
        {"showCategoryAllShortcutKey", "Settings.Shortcut.ShowAll"},
        {"showPreviousCategoryShortcutKey", "Settings.Shortcut.PreviousCategory"},
        {"showNextCategoryShortcutKey", "Settings.Shortcut.NextCategory"},
        {"hideCategoryListShortcutKey", "Settings.Shortcut.HideList"},
    };
    return list;
}

ShortCutSettingsViewController::ShortCutSettingsViewController(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ShortCutSettingsViewController"));
    PaneLayout pane(this);
    pane.section(L("Settings.Shortcut.Section.HotKeys"));
    for (const Entry &entry : entries()) {
        auto *view = new ShortcutRecorderView(pane.content());
        const QString key = QString::fromLatin1(entry.defaultsKey);
        view->setObjectName(key);
        view->shortcutValidator = [key](const Shortcut &shortcut) { return conflict(key, shortcut); };
        connect(view, &ShortcutRecorderView::shortcutValueChange, this,
                [key](const std::optional<Shortcut> &shortcut) { shortcutValueChanged(key, shortcut); });
        pane.row(L(entry.titleKey), view);
        m_recorders.append(view);
    }
    pane.note(L("Settings.Shortcut.Tips"));

    pane.section(L("Settings.Shortcut.Section.QuickSelection"));
    enableQuickSelectionBtn = pane.checkBox(L("Settings.Shortcut.EnableQuickSelection"), "enableQuickSelectionBtn");
    QStringList modifiers;
    for (int i = 0; i < caseCount(PBHistoryQuickSelectionKey{}); ++i)
        modifiers.append(
            L("Settings.Shortcut.QuickSelectionKey").arg(symbol(static_cast<PBHistoryQuickSelectionKey>(i))));
    historyQuickSelectionPopUpBtn =
        pane.comboBox(L("Settings.Shortcut.QuickSelectionModifier"), "historyQuickSelectionPopUpBtn", modifiers);
    pane.finish();

    connect(historyQuickSelectionPopUpBtn, &QComboBox::activated, this,
            &ShortCutSettingsViewController::historyQuickSelectionChanged);
    connect(enableQuickSelectionBtn, &QCheckBox::clicked, this,
            &ShortCutSettingsViewController::enableQuickSelectionAction);
    reloadFromSettings();
}

void ShortCutSettingsViewController::showEvent(QShowEvent *event)
{
    reloadFromSettings();
    QWidget::showEvent(event);
}

void ShortCutSettingsViewController::reloadFromSettings()
{
    for (qsizetype i = 0; i < m_recorders.size(); ++i)
        m_recorders.at(i)->setShortcutValue(
            ShortcutBinder::shared().shortcut(QString::fromLatin1(entries().at(i).defaultsKey)));
    const TaviSettings &settings = TaviSettings::shared();
    enableQuickSelectionBtn->setChecked(settings.enableQuickSelection());
    historyQuickSelectionPopUpBtn->setCurrentIndex(rawValue(settings.historyQuickSelectionKey()));
}

ShortcutRecorderView *ShortCutSettingsViewController::recorder(const QString &defaultsKey) const
{
    for (qsizetype i = 0; i < m_recorders.size(); ++i)
        if (QLatin1String(entries().at(i).defaultsKey) == defaultsKey)
            return m_recorders.at(i);
    return nullptr;
}

QString ShortCutSettingsViewController::conflict(const QString &defaultsKey, const Shortcut &shortcut)
{
    ShortcutBinder &binder = ShortcutBinder::shared();
    for (const Entry &entry : entries()) {
        const QString other = QString::fromLatin1(entry.defaultsKey);
        if (other != defaultsKey && binder.shortcut(other) == shortcut) {
            QString title = L(entry.titleKey);
            if (title.endsWith(QLatin1Char(':')))
                title.chop(1);
            return L("Settings.Shortcut.Refused.UsedBy").arg(shortcut.displayText(), title);
        }
    }
    const TaviSettings &settings = TaviSettings::shared();
    if (settings.enableQuickSelection() && shortcut.modifierFlags == modifierFlags(settings.historyQuickSelectionKey())
        && std::ranges::find(AppDelegate::kDigitKeyCodes, shortcut.keyCode) != std::end(AppDelegate::kDigitKeyCodes))
        return L("Settings.Shortcut.Refused.QuickSelection").arg(shortcut.displayText());
    if (binder.shortcut(defaultsKey) == shortcut)
        return QString(); // its own, held already
    // Another program holding the chord makes the registration fail; a free chord is let go again.
    ShortcutMonitor &monitor = ShortcutMonitor::shared();
    if (monitor.isShortcutRegistered(shortcut))
        return L("Settings.Shortcut.Refused.UsedBy").arg(shortcut.displayText(), L("App.name"));
    if (!monitor.registerShortcut(shortcut, [] {}))
        return L("Settings.Shortcut.Refused.TakenElsewhere").arg(shortcut.displayText());
    monitor.unregisterShortcut(shortcut);
    return QString();
}

void ShortCutSettingsViewController::shortcutValueChanged(const QString &defaultsKey,
                                                          const std::optional<Shortcut> &shortcut)
{
    // A cleared shortcut is stored as cleared, so the default does not come back at the next start.
    ShortcutBinder::shared().setShortcut(defaultsKey, shortcut);
    if (shortcut && defaultsKey == AppDelegate::kSpotlightShortcutKey)
        Analytics::trackEvent(QStringLiteral("PBHUD_ShortCutChange"),
                              {{QStringLiteral("value"), shortcut->displayText()}});
}

void ShortCutSettingsViewController::historyQuickSelectionChanged()
{
    AppDelegate *delegate = AppDelegate::shared();
    // The registered digit keys go while the old modifier is still stored.
    if (delegate)
        delegate->unregisterQuickSelectionShortcuts();
    const auto key = fromRawValue<PBHistoryQuickSelectionKey>(historyQuickSelectionPopUpBtn->currentIndex())
                         .value_or(PBHistoryQuickSelectionKey::command);
    TaviSettings::shared().setHistoryQuickSelectionKey(key);
    if (TaviSettings::shared().enableQuickSelection() && delegate)
        delegate->requestQuickSelectionRefresh();
}

void ShortCutSettingsViewController::enableQuickSelectionAction()
{
    AppDelegate *delegate = AppDelegate::shared();
    if (enableQuickSelectionBtn->isChecked()) {
        TaviSettings::shared().setEnableQuickSelection(true);
        if (TaviSettings::shared().enableQuickSelection() && delegate)
            delegate->requestQuickSelectionRefresh();
    } else {
        TaviSettings::shared().setEnableQuickSelection(false);
        if (delegate)
            delegate->unregisterQuickSelectionShortcuts();
    }
}
