#include "X11TestSupport.h"

#include "capture/TaviPBManager.h"
#include "core/PBCategoryManager.h"
#include "core/StringExtensions.h"
#include "core/store/CoreDataStack.h"
#include "platform/x11/X11Pasteboard.h"
#include "platform/Strings.h"
#include "platform/x11/X11Workspace.h"
#include "preferences/BlacklistViewController.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QWidget>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <gtest/gtest.h>

using namespace X11Test;

namespace {

// The history store on the real clipboard and the real frontmost application.
class X11CaptureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        home = std::make_unique<ScopedXdgHome>();
        CoreDataStack::resetShared();
        pasteboard = X11Pasteboard::create();
        ASSERT_NE(pasteboard, nullptr) << "needs the xcb platform on an X server with XFixes";
        writeProbeDesktopFile();
        workspace = X11Workspace::create();
        ASSERT_NE(workspace, nullptr);
        pasteboard->setApplicationResolver([named = workspace.get()](xcb_window_t owner, xcb_window_t active) {
            return std::optional(named->applicationForClipboardOwner(owner, active));
        });
        categories = std::make_unique<PBCategoryManager>(CoreDataStack::shared().managedContext());
        manager = std::make_unique<TaviPBManager>(*pasteboard, *workspace, *categories);
    }
    void TearDown() override
    {
        if (pasteboard)
            pasteboard->setApplicationResolver(nullptr);
        manager.reset();
        categories.reset();
        CoreDataStack::resetShared();
    }

    static void writeProbeDesktopFile()
    {
        const QString folder = qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/applications");
        QDir().mkpath(folder);
        QFile file(folder + QStringLiteral("/org.tavi.Writer.desktop"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Desktop Entry]\nType=Application\nName=Tavi Writer\nExec=/opt/writer/bin/writer\n"
                   "StartupWMClass=TaviWriter\n");
    }

    // Polls as the capture timer does until the history holds `count` items.
    bool waitForItems(qsizetype count, int timeoutMs = 10000)
    {
        return waitUntil(
            [&] {
                manager->retreivePasteboardInfo();
                return manager->itemCount() >= count;
            },
            timeoutMs);
    }

    std::unique_ptr<ScopedXdgHome> home;
    std::unique_ptr<X11Pasteboard> pasteboard;
    std::unique_ptr<X11Workspace> workspace;
    std::unique_ptr<PBCategoryManager> categories;
    std::unique_ptr<TaviPBManager> manager;
};

bool activate(const QByteArray &window)
{
    bool ok = false;
    if (!window.isEmpty())
        run(QStringLiteral("xdotool"),
            {QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::fromLatin1(window)}, {}, &ok);
    return ok;
}

QStringList storedTypes(TaviPBManager &manager, const PBItem &item)
{
    const PBItem full = manager.loadFullItem(item);
    return full.dataProvider() ? QStringList(full.dataProvider()->pasteboardData().keys()) : QStringList();
}

} // namespace

TEST_F(X11CaptureTest, CopiesInAnotherProgramAreStoredWithTheirKindTypesAndApplication)
{
    Peer writer({QStringLiteral("window"), QStringLiteral("TaviWriter"), QStringLiteral("Writer window")});
    ASSERT_TRUE(activate(writer.waitForLine("WINDOW:")));

    const QByteArray text = "notes from the writer " + QByteArray::number(QRandomGenerator::global()->generate());
    ASSERT_TRUE(copyWithXclip("UTF8_STRING", text));
    ASSERT_TRUE(waitForItems(1));
    PBItem item = manager->getItemsPage(0, 1).value(0);
    ASSERT_TRUE(item.dataProvider());
    EXPECT_EQ(item.dataProvider()->representedText(), QString::fromUtf8(text));
    ASSERT_TRUE(item.primaryCategory());
    EXPECT_EQ(item.primaryCategory()->type(), PBDefaultCategory::text);
    ASSERT_TRUE(item.sourceApp());
    EXPECT_EQ(item.sourceApp()->name, QStringLiteral("Tavi Writer"));
    EXPECT_EQ(item.sourceApp()->bundleId, QStringLiteral("org.tavi.Writer"));
    EXPECT_TRUE(storedTypes(*manager, item).contains(PasteboardType::string));

    ASSERT_TRUE(copyWithXclip("text/html", "<p>Some <b>bold</b> words</p>"));
    ASSERT_TRUE(waitForItems(2));
    item = manager->getItemsPage(0, 1).value(0);
    ASSERT_TRUE(item.dataProvider());
    EXPECT_TRUE(item.dataProvider()->representedText().contains(QStringLiteral("bold")));
    EXPECT_TRUE(storedTypes(*manager, item).contains(PasteboardType::html));

    // Two files copied in a file manager: two file items.
    QTemporaryDir folder;
    QByteArray uris;
    for (const char *name : {"one.txt", "two.txt"}) {
        QFile file(folder.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(name);
        uris += QUrl::fromLocalFile(file.fileName()).toEncoded() + "\r\n";
    }
    ASSERT_TRUE(copyWithXclip("text/uri-list", uris));
    ASSERT_TRUE(waitForItems(4));
    QStringList files;
    for (const PBItem &file : manager->getItemsPage(0, 2)) {
        ASSERT_TRUE(file.primaryCategory());
        EXPECT_EQ(file.primaryCategory()->type(), PBDefaultCategory::file);
        files << file.dataProvider()->representedText();
    }
    files.sort();
    ASSERT_EQ(files.size(), 2);
    EXPECT_TRUE(files[0].endsWith(QStringLiteral("one.txt"))) << qPrintable(files[0]);
    EXPECT_TRUE(files[1].endsWith(QStringLiteral("two.txt"))) << qPrintable(files[1]);
}

TEST_F(X11CaptureTest, APasswordManagersCopyIsNeverStoredAndTheNextCopyIs)
{
    Peer writer({QStringLiteral("window"), QStringLiteral("TaviWriter"), QStringLiteral("Writer window")});
    ASSERT_TRUE(activate(writer.waitForLine("WINDOW:")));
    const QByteArray secret = "hunter2-" + QByteArray::number(QRandomGenerator::global()->generate());
    {
        Peer passwords({QStringLiteral("secret"), QString::fromLatin1(secret)});
        ASSERT_EQ(passwords.waitForLine("COPIED:"), QByteArray("1"));
        const qint64 seen = manager->lastChangeCount();
        ASSERT_TRUE(waitUntil(
            [&] {
                manager->retreivePasteboardInfo();
                return manager->lastChangeCount() != seen;
            },
            10000));
        EXPECT_EQ(manager->itemCount(), 0);
    }
    ASSERT_TRUE(copyWithXclip("UTF8_STRING", "an ordinary copy"));
    ASSERT_TRUE(waitForItems(1));
    EXPECT_EQ(manager->itemCount(), 1);
    EXPECT_EQ(manager->getItemsPage(0, 1).value(0).dataProvider()->representedText(),
              QStringLiteral("an ordinary copy"));
    EXPECT_TRUE(manager->findItem(md5(QString::fromUtf8(secret))) == std::nullopt);
}

TEST_F(X11CaptureTest, ABurstOfTwentyCopiesASecondLosesNothing)
{
    manager->startMonitoring();
    constexpr int kCopies = 40;
    const QByteArray tag = QByteArray::number(QRandomGenerator::global()->generate());
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kCopies; ++i) {
        const qint64 before = pasteboard->changeCount();
        ASSERT_TRUE(copyWithXclip("UTF8_STRING", "burst " + tag + " #" + QByteArray::number(i)));
        // xclip may take the clipboard just after it returned: the next one waits for that.
        ASSERT_TRUE(waitUntil([&] { return pasteboard->changeCount() != before; }, 5000));
        while (clock.elapsed() < (i + 1) * 50)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    ASSERT_TRUE(waitUntil([&] { return manager->itemCount() >= kCopies; }, 60000))
        << manager->itemCount() << " kept, lost copies: " << manager->lostCopyCount();
    QSet<QString> texts;
    for (const PBItem &item : manager->getItemsPage(0, kCopies)) {
        texts.insert(item.dataProvider()->representedText());
        ASSERT_TRUE(item.sourceApp());
        EXPECT_FALSE(item.sourceApp()->name.isEmpty());
    }
    EXPECT_EQ(texts.size(), kCopies);
    manager->stopMonitoring();
}

TEST_F(X11CaptureTest, TheApplicationIsTheOneThatWasActiveWhenTheClipboardChanged)
{
    Peer writer({QStringLiteral("window"), QStringLiteral("TaviWriter"), QStringLiteral("Writer window")});
    Peer other({QStringLiteral("window"), QStringLiteral("TaviOther"), QStringLiteral("Other window")});
    const QByteArray otherWindow = other.waitForLine("WINDOW:");
    ASSERT_TRUE(activate(writer.waitForLine("WINDOW:")));
    const qint64 before = pasteboard->changeCount();
    ASSERT_TRUE(copyWithXclip("UTF8_STRING", "written in the writer"));
    ASSERT_TRUE(waitUntil([&] { return pasteboard->changeCount() != before && pasteboard->items(); }, 5000));
    ASSERT_TRUE(activate(otherWindow));

    ASSERT_TRUE(waitForItems(1));
    const PBItem item = manager->getItemsPage(0, 1).value(0);
    ASSERT_TRUE(item.sourceApp());
    EXPECT_EQ(item.sourceApp()->name, QStringLiteral("Tavi Writer"));
}

TEST_F(X11CaptureTest, WhileOurOwnWindowIsActiveAnotherProgramsCopyIsNamedAfterItsOwner)
{
    QWidget own;
    own.setWindowTitle(QStringLiteral("TaviPaste window"));
    own.resize(200, 100);
    own.show();
    ASSERT_TRUE(waitUntil([&] { return own.isVisible() && own.winId() != 0; }, 5000));
    ASSERT_TRUE(activate(QByteArray::number(quint64(own.winId()))));

    Peer tool({QStringLiteral("copy"), QStringLiteral("copied by a tool")});
    ASSERT_EQ(tool.waitForLine("COPIED:"), QByteArray("1"));
    ASSERT_TRUE(waitForItems(1));
    PBItem item = manager->getItemsPage(0, 1).value(0);
    EXPECT_EQ(item.dataProvider()->representedText(), QStringLiteral("copied by a tool"));
    ASSERT_TRUE(item.sourceApp());
    EXPECT_EQ(item.sourceApp()->name, QStringLiteral("tavi_x11_peer"));

    // An owner whose process has gone on without its connection's (xclip forks) is named as a client.
    ASSERT_TRUE(copyWithXclip("UTF8_STRING", "copied by a forked tool"));
    ASSERT_TRUE(waitForItems(2));
    item = manager->getItemsPage(0, 1).value(0);
    ASSERT_TRUE(item.sourceApp());
    EXPECT_FALSE(item.sourceApp()->name.isEmpty());
    EXPECT_NE(item.sourceApp()->bundleId, workspace->ownBundleIdentifier());
}

TEST_F(X11CaptureTest, AnApplicationAddedToTheIgnoredListIsNoLongerRecorded)
{
    BlacklistViewController pane;
    const QString entry =
        qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/applications/org.tavi.Writer.desktop");
    ASSERT_EQ(pane.addApplications({entry}), QStringList{QStringLiteral("org.tavi.Writer")});
    manager->startMonitoring();

    Peer writer({QStringLiteral("window"), QStringLiteral("TaviWriter"), QStringLiteral("Writer window")});
    Peer other({QStringLiteral("window"), QStringLiteral("TaviOther"), QStringLiteral("Other window")});
    const QByteArray otherWindow = other.waitForLine("WINDOW:");
    ASSERT_TRUE(activate(writer.waitForLine("WINDOW:")));
    const qint64 before = manager->lastChangeCount();
    ASSERT_TRUE(copyWithXclip("UTF8_STRING", "copied in the ignored writer"));
    ASSERT_TRUE(waitUntil([&] { return manager->lastChangeCount() != before; }, 5000));

    ASSERT_TRUE(activate(otherWindow));
    ASSERT_TRUE(copyWithXclip("UTF8_STRING", "copied in another program"));
    ASSERT_TRUE(waitUntil([&] { return manager->itemCount() >= 1; }, 10000));
    manager->stopMonitoring();
    EXPECT_EQ(manager->itemCount(), 1);
    const PBItem item = manager->getItemsPage(0, 1).value(0);
    ASSERT_TRUE(item.dataProvider());
    EXPECT_EQ(item.dataProvider()->representedText(), QStringLiteral("copied in another program"));
}

TEST_F(X11CaptureTest, TextWithInvalidUtf8OrNulIsKeptWithReplacements)
{
    ASSERT_TRUE(copyWithXclip("UTF8_STRING", QByteArray("caf\xe9 one\0two", 13)));
    ASSERT_TRUE(waitForItems(1));
    EXPECT_EQ(manager->getItemsPage(0, 1).value(0).dataProvider()->representedText(),
              QStringLiteral("caf\uFFFD one\uFFFDtwo"));
    ASSERT_TRUE(copyWithXclip("text/plain", QByteArray("na\xefve")));
    ASSERT_TRUE(waitForItems(2));
    EXPECT_EQ(manager->getItemsPage(0, 1).value(0).dataProvider()->representedText(), QStringLiteral("na\uFFFDve"));
}

TEST_F(X11CaptureTest, ATextItsProgramSendsSlowlyButSteadilyIsKeptWhole)
{
    // Twenty megabytes in parts over more than ten seconds: the owner never stops sending.
    constexpr int kBytes = 20 * 1000 * 1000;
    Peer owner({QStringLiteral("slow-text"), QString::number(kBytes), QStringLiteral("12000")});
    ASSERT_FALSE(owner.waitForLine("OWNED:").isEmpty());
    ASSERT_TRUE(waitForItems(1, 60000)) << "lost copies: " << manager->lostCopyCount();
    EXPECT_FALSE(owner.waitForLine("SENT:", 10000).isEmpty());
    const PBItem item = manager->loadFullItem(manager->getItemsPage(0, 1).value(0));
    ASSERT_TRUE(item.dataProvider());
    const QString text = item.dataProvider()->representedText();
    EXPECT_EQ(text.size(), kBytes);
    EXPECT_TRUE(text.startsWith(QStringLiteral("slowly sent line 0\nslowly sent line 1\n")));
    EXPECT_EQ(manager->lostCopyCount(), 0);
}

TEST_F(X11CaptureTest, ACopyMadeWhileALargeOneIsStillArrivingReplacesItAtOnce)
{
    // Its owner would go on sending for half a minute.
    Peer owner({QStringLiteral("slow-text"), QString::number(20 * 1000 * 1000), QStringLiteral("30000")});
    ASSERT_FALSE(owner.waitForLine("OWNED:").isEmpty());
    ASSERT_FALSE(owner.waitForLine("SENDING:", 10000).isEmpty()) << "the large one is not being read";
    QElapsedTimer sinceCopy;
    sinceCopy.start();
    ASSERT_TRUE(copyWithXclip("UTF8_STRING", "copied while the large one arrived"));
    ASSERT_TRUE(waitForItems(1, 20000)) << "lost copies: " << manager->lostCopyCount();
    // Taken without waiting on the copy it replaced (which would have held it for ten seconds).
    EXPECT_LT(sinceCopy.elapsed(), 5000);
    EXPECT_EQ(manager->getItemsPage(0, 1).value(0).dataProvider()->representedText(),
              QStringLiteral("copied while the large one arrived"));
    EXPECT_TRUE(waitUntil(
        [&] {
            manager->retreivePasteboardInfo();
            return manager->lostCopyCount() == 1;
        },
        5000))
        << "the replaced copy is counted";
    EXPECT_EQ(manager->itemCount(), 1);
}

TEST_F(X11CaptureTest, ACopyWhoseProgramStopsSendingIsCountedAndToldAndTheNextIsKept)
{
    QList<QString> told;
    QObject listener;
    QObject::connect(&manager->problems(), &HistoryProblems::problemOccurred, &listener,
                     [&](const QString &, const QString &text) { told.append(text); });
    {
        Peer owner({QStringLiteral("stop-text"), QString::number(2 * 1000 * 1000)});
        ASSERT_FALSE(owner.waitForLine("OWNED:").isEmpty());
        ASSERT_FALSE(owner.waitForLine("STOPPED:", 10000).isEmpty());
        ASSERT_TRUE(waitUntil(
            [&] {
                manager->retreivePasteboardInfo();
                return manager->lostCopyCount() == 1;
            },
            10000));
        EXPECT_TRUE(waitUntil([&] { return told.size() == 1; }));
        EXPECT_EQ(told.value(0), L("Capture.Lost.NoAnswer"));
        EXPECT_EQ(manager->itemCount(), 0);
    }
    // Replaced before its owner said anything: counted too, and the copy after it is kept.
    Peer hung({QStringLiteral("hang")});
    ASSERT_NE(hung.waitForLine("OWNED:"), QByteArray("0"));
    ASSERT_TRUE(copyWithXclip("UTF8_STRING", "after the silent ones"));
    ASSERT_TRUE(waitForItems(1));
    EXPECT_TRUE(waitUntil(
        [&] {
            manager->retreivePasteboardInfo();
            return manager->lostCopyCount() == 2;
        },
        5000));
    EXPECT_EQ(manager->getItemsPage(0, 1).value(0).dataProvider()->representedText(),
              QStringLiteral("after the silent ones"));
}
