#include "core/TaviSettings.h"
#include "core/store/CoreDataStack.h"
#include "core/sync/SyncFolder.h"
#include "core/sync/SyncSettings.h"
#include "preferences/SyncPaneViewController.h"
#include "support/TestEnvironment.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>

#include <gtest/gtest.h>

class SyncPaneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir().mkpath(folder());
        SyncSettings::setFolder({});
        SyncSettings::setKey(SyncKey());
    }
    void TearDown() override
    {
        TaviSettings::shared().setEnableCloudSync(false);
        CoreDataStack::shared().setupContainer();
    }
    QString folder() const { return m_root.path() + QStringLiteral("/sync"); }
    QString errorText(SyncPaneViewController &pane)
    {
        return pane.findChild<QLabel *>(QStringLiteral("syncErrorLabel"))->text();
    }

    QTemporaryDir m_root;
};

TEST_F(SyncPaneTest, TurningSyncOnSetsUpTheFolderAndOffStopsIt)
{
    SyncPaneViewController pane;
    pane.setSyncEnabled(true);
    EXPECT_FALSE(TaviSettings::shared().enableCloudSync());
    EXPECT_FALSE(errorText(pane).isEmpty()); // no folder chosen yet

    pane.chooseFolder(folder());
    pane.findChild<QLineEdit *>(QStringLiteral("syncPassphraseField"))->setText(QStringLiteral("a passphrase"));
    pane.setSyncEnabled(true);
    ASSERT_TRUE(waitUntil([&] { return !pane.isBusy(); }, 20000));
    EXPECT_TRUE(TaviSettings::shared().enableCloudSync());
    EXPECT_TRUE(CoreDataStack::shared().isMirroring());
    EXPECT_TRUE(SyncSettings::key().isValid());
    EXPECT_EQ(SyncFolder(folder()).status().status, CloudAccountStatus::Available);
    EXPECT_TRUE(pane.findChild<QLineEdit *>(QStringLiteral("syncPassphraseField"))->text().isEmpty());

    pane.setSyncEnabled(false);
    EXPECT_FALSE(TaviSettings::shared().enableCloudSync());
    EXPECT_FALSE(CoreDataStack::shared().isMirroring());
}

TEST_F(SyncPaneTest, AWrongPassphraseIsShownAndSyncStaysOff)
{
    ASSERT_TRUE(SyncFolder(folder()).join(QStringLiteral("the right one"), SyncKey::Cost::minimal()).key);
    SyncPaneViewController pane;
    pane.chooseFolder(folder());
    pane.findChild<QLineEdit *>(QStringLiteral("syncPassphraseField"))->setText(QStringLiteral("a wrong one"));
    pane.setSyncEnabled(true);
    ASSERT_TRUE(waitUntil([&] { return !pane.isBusy(); }, 20000));
    EXPECT_FALSE(TaviSettings::shared().enableCloudSync());
    EXPECT_FALSE(errorText(pane).isEmpty());
    EXPECT_FALSE(pane.findChild<QCheckBox *>(QStringLiteral("syncEnableBox"))->isChecked());
}
