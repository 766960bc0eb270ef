#include "core/NotificationPayloads.h"
#include "core/PBTextItemProvider.h"

#include <gtest/gtest.h>

namespace {
PBItem textItem(const QString &text, const QList<PBCategory> &categories)
{
    const QDateTime now = QDateTime::currentDateTime();
    return PBItem(QUuid::createUuid(), QStringLiteral("hash"), categories, PBItemProvider(PBTextItemProvider(text)),
                  now, now, std::nullopt, false, std::nullopt);
}

// What a listener of `name` receives for a poster's user info.
Notification delivered(const QVariantMap &userInfo)
{
    return Notification{NotificationName::historyDidAddNewItem, nullptr, userInfo};
}

QList<QUuid> uuids(const QList<PBItem> &items)
{
    QList<QUuid> result;
    for (const PBItem &item : items)
        result.append(item.uuid());
    return result;
}
} // namespace

TEST(NotificationPayloads, NewItemsArriveFiledByCategoryWithTheBatch)
{
    const PBItem first = textItem(QStringLiteral("a"), {PBCategory::all()});
    const PBItem second = textItem(QStringLiteral("b"), {PBCategory::all()});
    const QString all = PBCategory::all().id();
    const auto changes = NotificationPayload::ItemChanges::decode(delivered(NotificationPayload::ItemChanges::encode(
        {{all, {first, second}}, {QStringLiteral("work"), {second}}}, {first, second})));
    ASSERT_TRUE(changes);
    EXPECT_EQ(changes->byCategory.size(), 2);
    EXPECT_EQ(uuids(changes->byCategory.value(all)), (QList<QUuid>{first.uuid(), second.uuid()}));
    EXPECT_EQ(uuids(changes->byCategory.value(QStringLiteral("work"))), QList<QUuid>{second.uuid()});
    EXPECT_EQ(uuids(changes->items), (QList<QUuid>{first.uuid(), second.uuid()}));

    // An update names only the categories; a poster may send only the items.
    const auto update =
        NotificationPayload::ItemChanges::decode(delivered(NotificationPayload::ItemChanges::encode({{all, {first}}})));
    ASSERT_TRUE(update);
    EXPECT_TRUE(update->items.isEmpty());
    const auto onlyItems = NotificationPayload::ItemChanges::decode(
        delivered({{NotificationKey::items, QVariant::fromValue(QList<PBItem>{first})}}));
    ASSERT_TRUE(onlyItems);
    EXPECT_TRUE(onlyItems->byCategory.isEmpty());
    EXPECT_EQ(uuids(onlyItems->items), QList<QUuid>{first.uuid()});
}

TEST(NotificationPayloads, APayloadOfAnotherShapeDecodesAsNothing)
{
    const PBItem item = textItem(QStringLiteral("a"), {PBCategory::all()});
    EXPECT_FALSE(NotificationPayload::ItemChanges::decode(delivered({})));
    EXPECT_FALSE(NotificationPayload::ItemChanges::decode(delivered(NotificationPayload::ChangedItem::encode(item))));
    EXPECT_FALSE(NotificationPayload::ChangedItem::decode(
        delivered(NotificationPayload::ChangedCategory::encode(PBCategory::all()))));
    EXPECT_FALSE(NotificationPayload::ChangedCategory::decode(delivered({})));
    // A switch is a bool, a delay a number of seconds: neither reads as the other.
    EXPECT_FALSE(
        NotificationPayload::ColorBarSwitch::decode(delivered(NotificationPayload::ColorBarDelay::encode(1.0))));
    EXPECT_FALSE(
        NotificationPayload::ColorBarDelay::decode(delivered(NotificationPayload::ColorBarSwitch::encode(true))));
    EXPECT_FALSE(NotificationPayload::ColorBarSize::decode(
        delivered(NotificationPayload::ColorBarPosition::encode(PBColorBarPosition::right))));
    EXPECT_FALSE(NotificationPayload::ActiveScreen::decode(
        delivered(NotificationPayload::FolderToAuthorize::encode(QStringLiteral("/home")))));
    EXPECT_FALSE(
        NotificationPayload::FolderToAuthorize::decode(delivered(NotificationPayload::ColorBarDelay::encode(3))));
}

TEST(NotificationPayloads, SingleValuesComeBackAsPosted)
{
    const PBItem item = textItem(QStringLiteral("a"), {PBCategory::all()});
    EXPECT_EQ(
        NotificationPayload::ChangedItem::decode(delivered(NotificationPayload::ChangedItem::encode(item)))->uuid(),
        item.uuid());
    EXPECT_EQ(
        NotificationPayload::ColorBarSwitch::decode(delivered(NotificationPayload::ColorBarSwitch::encode(false))),
        false);
    EXPECT_EQ(NotificationPayload::ColorBarDelay::decode(delivered(NotificationPayload::ColorBarDelay::encode(2.5))),
              2.5);
    EXPECT_EQ(NotificationPayload::ColorBarScreenOption::decode(delivered(
                  NotificationPayload::ColorBarScreenOption::encode(PBColorBarDisplayScreenOption::specific))),
              PBColorBarDisplayScreenOption::specific);
    EXPECT_EQ(NotificationPayload::FolderToAuthorize::decode(
                  delivered(NotificationPayload::FolderToAuthorize::encode(QStringLiteral("/home/a")))),
              QStringLiteral("/home/a"));
}
