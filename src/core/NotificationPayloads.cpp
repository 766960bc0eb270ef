#include "core/NotificationPayloads.h"

#include <QScreen>

namespace NotificationPayload {

QVariantMap ItemChanges::encode(const ItemsByCategory &byCategory, const QList<PBItem> &items)
{
    QVariantMap map;
    for (auto it = byCategory.cbegin(); it != byCategory.cend(); ++it)
        map.insert(it.key(), QVariant::fromValue(it.value()));
    QVariantMap userInfo{{NotificationKey::info, map}};
    if (!items.isEmpty())
        userInfo.insert(NotificationKey::items, QVariant::fromValue(items));
    return userInfo;
}

std::optional<ItemChanges> ItemChanges::decode(const Notification &notification)
{
    const QVariant info = notification.info();
    const QVariant items = notification.userInfo.value(NotificationKey::items);
    const bool hasMap = info.typeId() == QMetaType::QVariantMap;
    if (!hasMap && !items.canConvert<QList<PBItem>>())
        return std::nullopt;
    const auto itemsIn = [](const QVariant &value) {
        return value.canConvert<QList<PBItem>>() ? value.value<QList<PBItem>>() : QList<PBItem>();
    };
    ItemChanges changes;
    const QVariantMap map = info.toMap();
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        changes.byCategory.insert(it.key(), itemsIn(it.value()));
    changes.items = itemsIn(items);
    return changes;
}

QVariantMap ActiveScreen::encode(QScreen *screen) { return {{NotificationKey::info, QVariant::fromValue(screen)}}; }

std::optional<QScreen *> ActiveScreen::decode(const Notification &notification)
{
    const QVariant info = notification.info();
    if (info.metaType() != QMetaType::fromType<QScreen *>())
        return std::nullopt;
    return info.value<QScreen *>();
}

} // namespace NotificationPayload
