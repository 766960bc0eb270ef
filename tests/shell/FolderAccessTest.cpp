#include "core/Alert.h"
#include "core/AppGlobals.h"
#include "core/NotificationNames.h"
#include "platform/NotificationCenter.h"
#include "core/TPBookMarkCacher.h"
#include "core/TaviSettings.h"
#include "platform/Paths.h"
#include "platform/Strings.h"
#include "shell/AuthorizerManager.h"
#include "shell/TaviPermissionViewController.h"
#include "support/ShellHarness.h"
#include "support/TestEnvironment.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
PasteboardItem fileItem(const QByteArray &url)
{
    PasteboardItem item;
    item.setData(PasteboardType::fileURL, url);
    return item;
}

PasteboardItem textItem()
{
    PasteboardItem item;
    item.setString(PasteboardType::string, QStringLiteral("text"));
    return item;
}

struct ScopedAlerts {
    QStringList shown;
    QList<ModalResponse> answers;
    ScopedAlerts()
    {
        setAlertResponder([this](const AlertRequest &request) {
            shown.append(request.messageText);
            return answers.isEmpty() ? ModalResponse::alertSecondButtonReturn : answers.takeFirst();
        });
    }
    ~ScopedAlerts() { setAlertResponder({}); }
};

// The popover for a folder, its dialog not yet open.
TaviPermissionViewController &popoverFor(const QString &folder)
{
    AuthorizerManager::shared().show(QRect(), folder);
    TaviPermissionViewController *popover = AuthorizerManager::shared().popover();
    EXPECT_TRUE(popover);
    return *popover;
}

QFileDialog &openedPanel(TaviPermissionViewController &popover)
{
    popover.okButton->click();
    QFileDialog &panel = *popover.panel();
    EXPECT_TRUE(waitUntil([&] { return panel.isVisible(); }));
    return panel;
}
} // namespace

TEST(FolderTest, ComparesCanonicalPathsByComponent)
{
    EXPECT_TRUE(Paths::isInside(QStringLiteral("/home/ann/file"), QStringLiteral("/home")));
    EXPECT_TRUE(Paths::isInside(QStringLiteral("/home"), QStringLiteral("/home/")));
    EXPECT_FALSE(Paths::isInside(QStringLiteral("/homeX"), QStringLiteral("/home")));
    EXPECT_FALSE(Paths::isInside(QStringLiteral("/homeX/ann"), QStringLiteral("/home")));
    EXPECT_FALSE(Paths::isInside(QStringLiteral("/home/../etc"), QStringLiteral("/home")));
    EXPECT_TRUE(Paths::isInside(QStringLiteral("/etc"), QStringLiteral("/")));
    EXPECT_FALSE(Paths::isInside(QString(), QStringLiteral("/")));

    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("granted/inner"));
    QDir(dir.path()).mkpath(QStringLiteral("other"));
    QFile::link(dir.path() + QStringLiteral("/other"), dir.path() + QStringLiteral("/granted/escape"));
    EXPECT_TRUE(
        Paths::isInside(dir.path() + QStringLiteral("/granted/inner"), dir.path() + QStringLiteral("/granted")));
    EXPECT_FALSE(
        Paths::isInside(dir.path() + QStringLiteral("/granted/escape"), dir.path() + QStringLiteral("/granted")));
}

TEST(FolderAccess, AsksOnlyForTheFolderOfACopiedFileThatCannotBeRead)
{
    ScopedXdgHome home;
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("open"));
    QDir(dir.path()).mkpath(QStringLiteral("closed"));
    const QString readable = dir.path() + QStringLiteral("/open/a.txt");
    const QString unreadable = dir.path() + QStringLiteral("/closed/b.txt");
    for (const QString &path : {readable, unreadable}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QFile::setPermissions(unreadable, QFileDevice::WriteOwner);
    AuthorizerManager &manager = AuthorizerManager::shared();
    // As root every file reads: the closed folder is made unreadable for the check itself.
    const auto realCheck = manager.isReadable;
    manager.isReadable = [&](const QString &path) {
        return !path.startsWith(dir.path() + QStringLiteral("/closed")) && realCheck(path);
    };
    const auto url = [](const QString &path) { return QUrl::fromLocalFile(path).toEncoded(); };

    EXPECT_EQ(manager.folderNeedingAuthorization({textItem()}), std::nullopt);
    EXPECT_EQ(manager.folderNeedingAuthorization({fileItem(url(readable))}), std::nullopt);
    // Nothing to grant for what is not a file here.
    for (const QByteArray &other : {QByteArray(), QByteArray("http://[bad"), QByteArray("https://example.com/a"),
                                    url(dir.path() + QStringLiteral("/closed/gone.txt"))})
        EXPECT_EQ(manager.folderNeedingAuthorization({fileItem(other)}), std::nullopt) << other.constData();
    const QList<PasteboardItem> copied{textItem(), fileItem(url(readable)), fileItem(url(unreadable))};
    EXPECT_EQ(manager.folderNeedingAuthorization(copied), dir.path() + QStringLiteral("/closed"));

    // A granted folder, or everything granted, is not asked for again.
    TPBookMarkCacher &cacher = TPBookMarkCacher::shared();
    cacher.store({QUrl::fromLocalFile(dir.path() + QStringLiteral("/closed"))});
    cacher.waitUntilIdle();
    EXPECT_EQ(manager.folderNeedingAuthorization(copied), std::nullopt);
    cacher.remove(dir.path() + QStringLiteral("/closed"));
    EXPECT_EQ(manager.folderNeedingAuthorization(copied), dir.path() + QStringLiteral("/closed"));
    cacher.store({QUrl::fromLocalFile(authorizedRootPath())});
    cacher.waitUntilIdle();
    EXPECT_EQ(manager.folderNeedingAuthorization(copied), std::nullopt);
    cacher.remove(authorizedRootPath());
    manager.isReadable = realCheck;
}

TEST(FolderAccess, ACopyOfReadableFilesAsksNothingAndAnUnreadableOneNamesItsFolder)
{
    ShellHarness shell;
    shell.launchWith({});
    QTemporaryDir dir;
    const QString readable = dir.path() + QStringLiteral("/photo.txt");
    {
        QFile file(readable);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
    QStringList asked;
    ObserverBag observers;
    observers.observe(NotificationName::needCheckAuthorize, [&](const Notification &notification) {
        asked.append(notification.userInfo.value(NotificationKey::info).toString());
    });
    const auto copyFile = [&](const QString &path) {
        PasteboardItem item;
        item.setData(PasteboardType::fileURL, QUrl::fromLocalFile(path).toEncoded());
        shell.pasteboard.simulateCopy({item});
        shell.manager->retreivePasteboardInfo();
        shell.settle();
    };
    copyFile(readable);
    EXPECT_TRUE(asked.isEmpty()); // a new user is asked nothing

    AuthorizerManager &manager = AuthorizerManager::shared();
    const auto realCheck = manager.isReadable;
    manager.isReadable = [&](const QString &path) { return path != readable && realCheck(path); };
    copyFile(readable); // a repeated copy is asked about too

    EXPECT_TRUE(waitUntil([&] { return !asked.isEmpty(); }));
    EXPECT_EQ(asked, QStringList{dir.path()});
    manager.isReadable = realCheck;
    if (auto *popover = manager.popover())
        popover->close();
}

TEST(FolderAccess, ThePopoverTellsTheFolderAndSendsOneEvent)
{
    ScopedXdgHome home;
    RecordedEvents events;
    TaviPermissionViewController &popover = popoverFor(QStringLiteral("/"));
    EXPECT_TRUE(popover.isVisible());
    EXPECT_EQ(popover.targetPath(), QStringLiteral("/"));
    EXPECT_EQ(popover.lblFolder->text(), Strings::text("Authorization.Folder").arg(QStringLiteral("/")));
    EXPECT_EQ(events.named(QStringLiteral("Authorizer_Show")).size(), 1);
    for (const auto &event : events.events())
        EXPECT_NE(event.name, QStringLiteral("Permission_Alert")); // a property value, never an event

    popover.notPromptBtn->setChecked(true);
    EXPECT_TRUE(TaviSettings::shared().notPromptFolderAccess()); // at once, before the popover closes
    popover.notPromptBtn->setChecked(false);
    popover.cancelBtn->click();
    EXPECT_FALSE(popover.isVisible());
}

TEST(FolderAccess, TheDialogStaysInTheFolderAndBookmarksOnlyThatFolder)
{
    ScopedXdgHome home;
    ScopedAlerts alerts;
    QTemporaryDir dir;
    const QString target = dir.path() + QStringLiteral("/granted");
    QDir(dir.path()).mkpath(QStringLiteral("granted/inner"));
    QDir(dir.path()).mkpath(QStringLiteral("grantedX"));
    TaviPermissionViewController &popover = popoverFor(target);
    QFileDialog &panel = openedPanel(popover);
    EXPECT_FALSE(popover.isVisible()); // the popover closes when the dialog opens
    EXPECT_EQ(QDir(panel.directory()).canonicalPath(), QDir(target).canonicalPath());

    panel.setDirectory(dir.path() + QStringLiteral("/grantedX")); // a sibling sharing the prefix
    Q_EMIT panel.directoryEntered(dir.path() + QStringLiteral("/grantedX"));
    EXPECT_EQ(QDir(panel.directory()).canonicalPath(), QDir(target).canonicalPath());

    // Choosing a folder inside is refused; the user may try again.
    alerts.answers = {ModalResponse::alertFirstButtonReturn};
    auto *name = panel.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    ASSERT_TRUE(name);
    name->setText(QStringLiteral("inner")); // what the user types or picks
    static_cast<QDialog &>(panel).accept();
    EXPECT_TRUE(waitUntil([&] { return panel.isVisible(); }));
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_FALSE(TPBookMarkCacher::shared().hasBookMark(target + QStringLiteral("/inner")));

    EXPECT_TRUE(name->text().isEmpty());    // the refused choice is not offered again
    static_cast<QDialog &>(panel).accept(); // the folder shown: the one asked for
    TPBookMarkCacher::shared().waitUntilIdle();
    EXPECT_TRUE(TPBookMarkCacher::shared().hasBookMark(target));
    EXPECT_EQ(alerts.shown.size(), 1);
    TPBookMarkCacher::shared().remove(target);
}

TEST(FolderAccess, CancellingTheDialogOffersItAgainOnTheSameFolder)
{
    ScopedXdgHome home;
    ScopedAlerts alerts;
    QTemporaryDir dir;
    TaviPermissionViewController &popover = popoverFor(dir.path());
    QFileDialog &panel = openedPanel(popover);
    alerts.answers = {ModalResponse::alertFirstButtonReturn};
    panel.reject();
    EXPECT_TRUE(waitUntil([&] { return panel.isVisible(); }));
    EXPECT_EQ(alerts.shown, QStringList{L("Authorization.Failed")});
    EXPECT_EQ(QDir(panel.directory()).canonicalPath(), QDir(dir.path()).canonicalPath());
    panel.reject(); // and the second time the user leaves it
    waitUntil([&] { return alerts.shown.size() == 2; });
    EXPECT_FALSE(panel.isVisible());
    EXPECT_FALSE(TPBookMarkCacher::shared().hasBookMark(dir.path()));
}
