#include "CaptureTestSupport.h"

#include "core/NotificationNames.h"
#include "core/TaviSettings.h"
#include "platform/Defaults.h"
#include "platform/Strings.h"

#include <gtest/gtest.h>

TEST(SizeLimit, AnUnreadableLimitRecordsEveryCopyAndIsToldOnce)
{
    CaptureHarness h;
    TaviSettings &settings = TaviSettings::shared();
    settings.setIgnoreDataSizeMoreThan(true);
    settings.setIgnoreDataSizeType(IgnoreDataSizeType::kb);
    // Clamped to nothing, this limit once dropped every copy without a word.
    Defaults::standard().setValue(QStringLiteral("ignoreDataSize"), -1.0);
    h.copyText(QStringLiteral("one"));
    h.copyText(QString(4096, QLatin1Char('x')));
    h.settle();
    EXPECT_EQ(h.texts().size(), 2);
    const QStringList told = h.told();
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told.first().contains(Strings::text("Settings.Name.ignoreDataSize")));

    // Chosen again, the limit applies, and nothing more is told.
    h.clearPosted();
    settings.setIgnoreDataSize(1);
    h.copyText(QString(2048, QLatin1Char('y')));
    h.copyText(QStringLiteral("two"));
    h.settle();
    EXPECT_EQ(h.texts().size(), 3);
    EXPECT_TRUE(h.told().isEmpty());

    // Without the limit turned on, an unreadable value tells nothing.
    settings.setIgnoreDataSizeMoreThan(false);
    Defaults::standard().setValue(QStringLiteral("ignoreDataSizeType"), qint64(9));
    h.copyText(QStringLiteral("three"));
    h.settle();
    EXPECT_TRUE(h.told().isEmpty());
}
