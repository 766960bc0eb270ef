#pragma once
// The payload of each notification of NotificationNames.h, with one encoder and one decoder: a
// poster builds the user info with encode(), a listener reads it with decode(). A payload of
// another shape, or none, decodes as nothing. Any thread.

#include "core/NotificationNames.h"
#include "core/PBCategory.h"
#include "core/PBItem.h"
#include "core/TaviSettings.h"
#include "platform/NotificationCenter.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QVariantMap>

#include <optional>

class QScreen;

namespace NotificationPayload {

// A single value under NotificationKey::info.
template <typename T>
struct Single {
    static QVariantMap encode(const T &value) { return {{NotificationKey::info, QVariant::fromValue(value)}}; }
    static std::optional<T> decode(const Notification &notification)
    {
        const QVariant info = notification.info();
        if (info.metaType() != QMetaType::fromType<T>())
            return std::nullopt;
        return info.value<T>();
    }
};

// Category id -> the items filed under it.
using ItemsByCategory = QMap<QString, QList<PBItem>>;

// "historyDidAddNewItem" and "historyItemDidUpdate": the items filed under each of their
// categories' ids and, from a capture batch, the batch's new items once each.
struct ItemChanges {
    ItemsByCategory byCategory;
    QList<PBItem> items;

    static QVariantMap encode(const ItemsByCategory &byCategory, const QList<PBItem> &items = {});
    // Nothing when the payload holds neither a map of category ids nor the items.
    static std::optional<ItemChanges> decode(const Notification &notification);
};

// "historyItemDidDelete", "historyItemDidDeleteFromHUD", "categoryTagStatusChanged": the item.
using ChangedItem = Single<PBItem>;
// "categorySettingsUpdated": the category as it is now. "historyItemsDidClear": the category
// cleared, none when more than one was.
using ChangedCategory = Single<PBCategory>;
// "colorBarAutoHideSwitch", "colorBarShowWhenMouseEntered", "colorBarShowWhenEnteredFullscreen".
using ColorBarSwitch = Single<bool>;
// "colorBarDelayChanged": the delay in seconds.
using ColorBarDelay = Single<double>;
using ColorBarAppearance = Single<PBColorBarAppearance>;            // "colorBarAppearanceChanged"
using ColorBarSize = Single<PBColorBarSize>;                        // "colorBarSizeChanged"
using ColorBarPosition = Single<PBColorBarPosition>;                // "colorBarPositionChanged"
using ColorBarScreenOption = Single<PBColorBarDisplayScreenOption>; // "colorBarScreenOptionChanged"
// "needCheckAuthorize": the folder to ask access to.
using FolderToAuthorize = Single<QString>;

// "activeScreenDidChange": the screen the color bar follows now.
struct ActiveScreen {
    static QVariantMap encode(QScreen *screen);
    static std::optional<QScreen *> decode(const Notification &notification);
};

} // namespace NotificationPayload
