#include "PreferencesTestSupport.h"

#include "core/TaviSettings.h"
#include "preferences/BlacklistViewController.h"
#include "preferences/SettingBlacklistCell.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QStandardPaths>
#include <QTableWidget>

#include <gtest/gtest.h>

namespace {

QString applicationsFolder()
{
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/applications");
    QDir().mkpath(folder);
    return folder;
}

QString writeDesktopFile(const QString &name, const QByteArray &body, const QString &folder = applicationsFolder())
{
    const QString path = folder + QLatin1Char('/') + name;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(body);
    return path;
}

QString application(const QString &id, const QString &name)
{
    return writeDesktopFile(id + QStringLiteral(".desktop"), "[Desktop Entry]\nType=Application\nName=" + name.toUtf8()
                                                                 + "\nExec=/usr/bin/true\nIcon=editor\n");
}

SettingBlacklistCell *cellAt(BlacklistViewController &pane, int row)
{
    return qobject_cast<SettingBlacklistCell *>(pane.listTableView->cellWidget(row, 0));
}

} // namespace

TEST(BlacklistPane, AddsApplicationsByDesktopIdOnceAndCountsEachAdd)
{
    PreferencesFixture fixture;
    TaviSettings::shared().setBlackList({});
    BlacklistViewController pane;
    RecordedEvents events;
    const QString editor = application("org.example.Editor", "Example Editor");
    QDir().mkpath(applicationsFolder() + "/vendor");
    const QString nested = writeDesktopFile("vendor/tool.desktop", "[Desktop Entry]\nType=Application\nName=Tool\n");
    EXPECT_EQ(pane.addApplications({editor, nested}), QStringList({"org.example.Editor", "vendor-tool"}));
    pane.addApplications({editor});
    EXPECT_EQ(TaviSettings::shared().storedBlackList(), QStringList({"org.example.Editor", "vendor-tool"}));
    EXPECT_EQ(events.named("Settings_Blacklist").size(), 3);
    ASSERT_EQ(pane.listTableView->rowCount(), 2);
    EXPECT_EQ(cellAt(pane, 0)->textField->text(), "Example Editor");
    EXPECT_TRUE(TaviSettings::shared().blackList().contains("org.example.Editor"));
}

TEST(BlacklistPane, RefusesFilesThatAreNotApplicationsWithTheirReason)
{
    PreferencesFixture fixture;
    TaviSettings::shared().setBlackList({});
    BlacklistViewController pane;
    const QString link =
        writeDesktopFile("site.desktop", "[Desktop Entry]\nType=Link\nName=Site\nURL=https://example.org\n");
    const QString nameless = writeDesktopFile("nameless.desktop", "[Desktop Entry]\nType=Application\nExec=true\n");
    const QString loopA = applicationsFolder() + "/loop-a.desktop";
    const QString loopB = applicationsFolder() + "/loop-b.desktop";
    QFile::link(loopB, loopA);
    QFile::link(loopA, loopB);
    const QString text = writeDesktopFile("notes.txt", "hello");
    EXPECT_TRUE(
        pane.addApplications({link, nameless, loopA, text, applicationsFolder() + "/missing.desktop"}).isEmpty());
    EXPECT_TRUE(TaviSettings::shared().storedBlackList().isEmpty());
    const QString reasons = pane.lblRefusal->text();
    EXPECT_TRUE(reasons.contains("site.desktop")) << reasons.toStdString();
    EXPECT_TRUE(reasons.contains("nameless.desktop"));
    EXPECT_TRUE(reasons.contains("loop-a.desktop"));
    EXPECT_TRUE(reasons.contains("notes.txt"));
    EXPECT_TRUE(reasons.contains("missing.desktop"));
    EXPECT_EQ(reasons.count('\n'), 4);
}

TEST(BlacklistPane, ARowOfAGoneApplicationShowsItsOwnId)
{
    PreferencesFixture fixture;
    application("org.example.Present", "Present App");
    TaviSettings::shared().setBlackList({"org.example.Present", "org.example.Gone", TaviSettings::kKeychainAccessId});
    BlacklistViewController pane;
    ASSERT_EQ(pane.listTableView->rowCount(), 3);
    EXPECT_EQ(cellAt(pane, 0)->textField->text(), "Present App");
    EXPECT_EQ(cellAt(pane, 1)->textField->text(), "org.example.Gone");
    EXPECT_EQ(cellAt(pane, 1)->idField->text(), "Not installed");
    EXPECT_FALSE(cellAt(pane, 1)->appIconView->pixmap().isNull());
    EXPECT_EQ(cellAt(pane, 2)->textField->text(), "Password and key managers");
    EXPECT_EQ(pane.listTableView->rowHeight(0), SettingBlacklistCell::kRowHeight);
}

TEST(BlacklistPane, DeletesExactlyTheSelectedRows)
{
    PreferencesFixture fixture;
    TaviSettings::shared().setBlackList({"a", "b", "c", "d"});
    BlacklistViewController pane;
    pane.listTableView->setSelectionMode(QAbstractItemView::MultiSelection);
    pane.listTableView->selectRow(1);
    pane.listTableView->selectRow(3);
    pane.clickDeleteBtn();
    EXPECT_EQ(TaviSettings::shared().storedBlackList(), QStringList({"a", "c"}));
    EXPECT_EQ(pane.listTableView->rowCount(), 2);
}

TEST(BlacklistPane, ACopyInAnIgnoredApplicationIsNotRecorded)
{
    PreferencesFixture fixture;
    const QString id = ShellHarness::editor().bundleIdentifier;
    ASSERT_FALSE(id.isEmpty());
    BlacklistViewController pane;
    pane.addApplications({application(id, "Editor")});
    fixture.shell.copyText("secret");
    EXPECT_EQ(fixture.shell.manager->itemCount(), 0);
}
