// The history list's row menu on the real X server: its paste entry puts the item into the text
// field of the program that was active before, through the clipboard and the paste keystroke.

#include "X11TestSupport.h"

#include "capture/TaviPBManager.h"
#include "core/PBCategoryManager.h"
#include "core/TaviSettings.h"
#include "core/store/CoreDataStack.h"
#include "history/CategoryListViewController.h"
#include "history/CategoryWindowController.h"
#include "history/HistoryScenes.h"
#include "history/ListWindowHarness.h"
#include "platform/Log.h"
#include "platform/QtMessages.h"
#include "platform/Workspace.h"
#include "platform/x11/X11KeyEventPoster.h"
#include "platform/x11/X11Pasteboard.h"
#include "platform/x11/X11Workspace.h"
#include "shell/ShellSeams.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

using namespace X11Test;

TEST(X11ListActions, TheRowMenusPasteEntryPastesIntoThePreviousProgramsField)
{
    ScopedXdgHome home;
    CoreDataStack::resetShared();
    auto pasteboard = X11Pasteboard::create();
    auto workspace = X11Workspace::create();
    ASSERT_TRUE(pasteboard && workspace);
    PBCategoryManager categories(CoreDataStack::shared().managedContext());
    TaviPBManager manager(*pasteboard, *workspace, categories);
    KeyEventPoster::setShared(X11KeyEventPoster::create());
    TaviSettings::shared().setQuickPasteEnable(false);
    ShellSeams::shared().reset();
    HistoryScenes::registerAll();
    // A note written in the program: its copy-out is its text.
    const QString title = QStringLiteral("menu paste %1").arg(QRandomGenerator::global()->bounded(100000));
    const PBItem note = manager.addNote(title, QStringLiteral("body"));
    const auto expected = manager.getPasteboardItem(note, PBCategory::all());
    ASSERT_TRUE(expected && expected->string(PasteboardType::string));

    Peer field({QStringLiteral("field")});
    const QByteArray fieldWindow = field.waitForLine("READY:");
    ASSERT_FALSE(fieldWindow.isEmpty());
    bool activated = false;
    run(QStringLiteral("xdotool"),
        {QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::fromLatin1(fieldWindow)}, {}, &activated);
    ASSERT_TRUE(activated);

    {
        CategoryWindowController window(manager);
        CategoryListViewController *list = window.contentViewController();
        // The list is not brought to the front: the field keeps the focus the paste goes to.
        list->updateUI(PBCategory::all());
        ASSERT_TRUE(waitUntil([&] { return !list->isLoading() && list->numberOfRows() == 1; }, 5000));
        list->prepareRowMenu(0);
        ASSERT_TRUE(list->copyToPasteboardMenuItem->isVisible());
        list->copyToAppMenuItem->trigger();
        EXPECT_EQ(QString::fromUtf8(field.waitForLine("TEXT:", 8000)), *expected->string(PasteboardType::string));
    }
    ShellSeams::shared().reset();
    CoreDataStack::resetShared();
}

namespace {
// Standard error of this process, and of the programs it starts, goes to a file while it lives.
class CapturedStandardError {
public:
    explicit CapturedStandardError(const QString &path)
    {
        std::fflush(stderr);
        m_saved = ::dup(2);
        const int file = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(file, 2);
        ::close(file);
    }
    ~CapturedStandardError()
    {
        std::fflush(stderr);
        ::dup2(m_saved, 2);
        ::close(m_saved);
    }

private:
    int m_saved = -1;
};

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray allLogs(const QString &folder)
{
    QByteArray all;
    QDirIterator files(folder, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext())
        all += contentsOf(files.next());
    return all;
}
} // namespace

// The row menu's entries that hand an item to the desktop (mail, the file manager, the browser)
// where none of those programs is installed, as the program sets up its messages: Qt's complaint
// and the opener's quote the copied address, folder or link, and none of them reaches standard
// error (the journal of a desktop session) or the log.
TEST(X11ListActions, HandingItemsToMissingDesktopProgramsKeepsTheirTextsOutOfStandardErrorAndTheLog)
{
    ShellHarness shell;
    Log::setup();
    QtMessages::install();
    const QString logs = Log::logDirectory();
    Workspace::setShared(X11Workspace::create());
    const QString unique = QString::number(QRandomGenerator::global()->generate64(), 36);
    QTemporaryDir scratch;
    const QString folder = scratch.filePath(QStringLiteral("folder-") + unique);
    QDir().mkpath(folder);
    const QString file = folder + QStringLiteral("/notes.txt");
    QFile(file).open(QIODevice::WriteOnly);
    const QString address = QStringLiteral("someone.%1@example.org").arg(unique);
    const QString link = QStringLiteral("https://%1.example.org/page").arg(unique);

    PasteboardItem copiedFile;
    copiedFile.setData(PasteboardType::fileURL, QUrl::fromLocalFile(file).toEncoded());
    shell.pasteboard.simulateCopy({copiedFile});
    shell.manager->retreivePasteboardInfo();
    shell.settle();
    ListWindow list(shell, {address, link});
    ASSERT_EQ(list.view->numberOfRows(), 3);

    // First a desktop without an opener at all, then one whose opener finds no program and says
    // so on its standard error, as xdg-open does; it leaves a mark when it has run.
    const QString openerFolder = scratch.filePath(QStringLiteral("bin"));
    QDir().mkpath(openerFolder);
    const QString marks = scratch.filePath(QStringLiteral("marks"));
    const QByteArray savedPath = qgetenv("PATH");
    for (const bool withOpener : {false, true}) {
        SCOPED_TRACE(withOpener ? "an opener that finds no program" : "no opener");
        if (withOpener) {
            QFile opener(openerFolder + QStringLiteral("/xdg-open"));
            ASSERT_TRUE(opener.open(QIODevice::WriteOnly));
            opener.write("#!/bin/sh\necho \"xdg-open: no method available for opening '$1'\" >&2\necho x >> '"
                         + QFile::encodeName(marks) + "'\nexit 3\n");
            opener.close();
            opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        qputenv("PATH", QFile::encodeName(openerFolder) + ":/usr/bin/X11-none");
        const QString captured =
            scratch.filePath(withOpener ? QStringLiteral("stderr-opener") : QStringLiteral("stderr-none"));
        {
            CapturedStandardError error(captured);
            int handed = 0;
            for (int row = 0; row < list.view->numberOfRows(); ++row) {
                list.view->prepareRowMenu(row);
                for (QAction *entry : {list.view->sendEmailMenuItem, list.view->openInFinderMenuItem,
                                       list.view->openViaBrowserMenuItem}) {
                    if (entry->isVisible()) {
                        entry->trigger();
                        ++handed;
                    }
                }
                shell.settle();
            }
            EXPECT_EQ(handed, 3);
            if (withOpener) {
                EXPECT_TRUE(waitUntil([&] { return contentsOf(marks).count('x') == 3; }, 10000))
                    << "the opener did not run";
            }
        }
        qputenv("PATH", savedPath);
        Log::flush();
        const QByteArray written = contentsOf(captured);
        const QByteArray logged = allLogs(logs);
        for (const QString &text : {address, unique, folder}) {
            EXPECT_FALSE(written.contains(text.toUtf8())) << "standard error: " << written.constData();
            EXPECT_FALSE(logged.contains(text.toUtf8())) << text.toStdString() << " is in the log";
        }
    }
    Workspace::setShared(nullptr);
}
