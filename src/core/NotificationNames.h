#pragma once
// Names of the notifications the subsystems exchange through NotificationCenter, and the keys of
// their user info. The payload of a notification is under NotificationKey::info.

#include <QString>

namespace NotificationKey {
inline const QString info = QStringLiteral("info");
// The new items of "historyDidAddNewItem" (QList<PBItem>).
inline const QString items = QStringLiteral("items");
// The new remote configuration of "ServerConfigDidUpdate".
inline const QString serverConfig = QStringLiteral("kServerConfig");
} // namespace NotificationKey

namespace NotificationName {
// Distributed between TaviPaste and its login helper; the object is TaviPaste's application id.
inline const QString killLauncher = QStringLiteral("killLauncher");
inline const QString killHelper = QStringLiteral("killHelper");

// History. Payloads of the first two: category id -> list of PBItem.
inline const QString historyDidAddNewItem = QStringLiteral("historyDidAddNewItem");
inline const QString historyItemDidUpdate = QStringLiteral("historyItemDidUpdate");
inline const QString historyItemsDidClear = QStringLiteral("historyItemsDidClear");               // PBCategory or none
inline const QString historyItemDidDelete = QStringLiteral("historyItemDidDelete");               // PBItem
inline const QString historyItemDidDeleteFromHUD = QStringLiteral("historyItemDidDeleteFromHUD"); // PBItem

// Categories.
inline const QString categorySettingsUpdated = QStringLiteral("categorySettingsUpdated"); // PBCategory
inline const QString categoryActiveStatusChanged = QStringLiteral("categoryActiveStatusChanged");
inline const QString categoryTagStatusChanged = QStringLiteral("categoryTagStatusChanged"); // PBItem
inline const QString categoryHideChanged = QStringLiteral("categoryHideChanged");
inline const QString categoryLockChanged = QStringLiteral("categoryLockChanged");
inline const QString didRemovedCustomCategory = QStringLiteral("didRemovedCustomCategory");
inline const QString categoryListLiteModeChanged = QStringLiteral("categoryListLiteModeChanged");

// Color bar settings; the payload is the new value (bool, double seconds or the enumeration).
inline const QString colorBarAutoHideSwitch = QStringLiteral("colorBarAutoHideSwitch");
inline const QString colorBarShowWhenMouseEntered = QStringLiteral("colorBarShowWhenMouseEntered");
inline const QString colorBarShowWhenEnteredFullscreen = QStringLiteral("colorBarShowWhenEnteredFullscreen");
inline const QString colorBarDelayChanged = QStringLiteral("colorBarDelayChanged");
inline const QString colorBarAppearanceChanged = QStringLiteral("colorBarAppearanceChanged");
inline const QString colorBarSizeChanged = QStringLiteral("colorBarSizeChanged");
inline const QString colorBarPositionChanged = QStringLiteral("colorBarPositionChanged");
inline const QString colorBarScreenOptionChanged = QStringLiteral("colorBarScreenOptionChanged");
inline const QString colorBarCategoryChanged = QStringLiteral("colorBarCategoryChanged");
inline const QString colorBarMouseEntered = QStringLiteral("colorBarMouseEntered");
inline const QString colorBarMouseExited = QStringLiteral("colorBarMouseExited");
// The screen the color bar follows changed; the payload is the new QScreen*.
inline const QString activeScreenDidChange = QStringLiteral("activeScreenDidChange");

// Store and sync.
inline const QString remoteDataChanged = QStringLiteral("remoteDataChanged");
inline const QString cloudSyncStateChanged = QStringLiteral("cloudSyncStateChanged");

// Shell.
inline const QString needCheckAuthorize = QStringLiteral("needCheckAuthorize"); // folder path
inline const QString disableQuickPaste = QStringLiteral("disableQuickPaste");
inline const QString didChangedPasteEnableState = QStringLiteral("didChangedPasteEnableState");
// The remote configuration arrived; the record is under NotificationKey::serverConfig.
inline const QString serverConfigDidUpdate = QStringLiteral("ServerConfigDidUpdate");
} // namespace NotificationName
