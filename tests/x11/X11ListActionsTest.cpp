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
#include "platform/x11/X11KeyEventPoster.h"
#include "platform/x11/X11Pasteboard.h"
#include "platform/x11/X11Workspace.h"
#include "shell/ShellSeams.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QRandomGenerator>

#include <gtest/gtest.h>

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
    run(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::fromLatin1(fieldWindow)}, {},
        &activated);
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
