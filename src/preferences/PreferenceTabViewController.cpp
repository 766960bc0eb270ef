#include "preferences/PreferenceTabViewController.h"

#include "controls/LocKey.h"
#include "platform/Analytics.h"
#include "platform/Strings.h"
#include "preferences/BlacklistViewController.h"
#include "preferences/CategoryPreferencesViewController.h"
#include "preferences/CategorySettingViewController.h"
#include "preferences/GeneralSettingsViewController.h"
#include "preferences/ShortCutSettingsViewController.h"
#include "preferences/SyncPaneViewController.h"

#include <QLabel>
#include <QTabBar>
#include <QVBoxLayout>

PreferenceTabViewController::PreferenceTabViewController(QWidget *parent) : QTabWidget(parent)
{
    setObjectName(QStringLiteral("PreferenceTabViewController"));
    setDocumentMode(false);
    struct TabItem {
        QWidget *pane;
        const char *label;
        const char *identifier;
    };
    const TabItem items[] = {
        {new GeneralSettingsViewController, "Settings.Tab.General", "general"},
        {new CategoryPreferencesViewController, "Settings.Tab.Apperance", "appearance"},
        {new CategorySettingViewController, "Settings.Tab.Category", "category"},
        {new ShortCutSettingsViewController, "Settings.Tab.Shortcuts", "shortcuts"},
        {new BlacklistViewController, "Settings.Tab.Blacklist", "blacklist"},
        {makeSyncPane(), "Settings.Tab.Sync", "sync"},
    };
    for (const TabItem &item : items) {
        const int index = addTab(item.pane, QString());
        LocKey::setTab(this, index, QString::fromLatin1(item.label));
        setTabIdentifier(index, QString::fromLatin1(item.identifier));
    }
    connect(this, &QTabWidget::currentChanged, this, &PreferenceTabViewController::tabDidChange);
}

void PreferenceTabViewController::setSelectedTabViewItemIndex(int index)
{
    if (index >= 0 && index < count())
        setCurrentIndex(index);
}

QString PreferenceTabViewController::tabIdentifier(int index) const
{
    const QVariant identifier = tabBar()->tabData(index);
    return identifier.metaType().id() == QMetaType::QString ? identifier.toString() : QString();
}

void PreferenceTabViewController::setTabIdentifier(int index, const QString &identifier)
{
    tabBar()->setTabData(index, identifier.isEmpty() ? QVariant() : QVariant(identifier));
}

void PreferenceTabViewController::tabDidChange(int index)
{
    const QString identifier = index >= 0 ? tabIdentifier(index) : QString();
    Analytics::trackEvent(QStringLiteral("Preference"),
                          {{QStringLiteral("tab"), identifier.isEmpty() ? QStringLiteral("na") : identifier}});
}

QWidget *PreferenceTabViewController::makeSyncPane() { return new SyncPaneViewController; }
