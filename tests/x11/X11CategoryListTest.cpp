// The history list window on the real X server: opened for a category, driven by real key
// presses, pasting into another program's text field, closed by the hide-list hot key, and
// losing a row that the quick-paste panel deletes.

#include "X11TestSupport.h"

#include "capture/TaviPBManager.h"
#include "controls/SceneRegistry.h"
#include "core/PBCategoryManager.h"
#include "core/TaviSettings.h"
#include "core/store/CoreDataStack.h"
#include "history/CategoryListModel.h"
#include "history/CategoryListTableView.h"
#include "history/CategoryListViewController.h"
#include "history/CategoryWindowController.h"
#include "history/HistoryScenes.h"
#include "history/PBHUDTableView.h"
#include "history/PBHUDViewController.h"
#include "platform/x11/X11KeyEventPoster.h"
#include "platform/x11/X11Pasteboard.h"
#include "platform/x11/X11ShortcutMonitor.h"
#include "platform/x11/X11Workspace.h"
#include "shell/ShellSeams.h"
#include "support/TestEnvironment.h"

#include <QLineEdit>
#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace X11Test;

namespace {

bool xdotool(const QStringList &arguments)
{
    bool ok = false;
    run(QStringLiteral("xdotool"), arguments, {}, &ok);
    return ok;
}

QString windowId(const QWidget &widget) { return QString::number(widget.winId()); }

} // namespace

TEST(X11CategoryList, KeysPasteIntoAnotherProgramAndTheHideKeyClosesTheList)
{
    ScopedXdgHome home;
    CoreDataStack::resetShared();
    auto pasteboard = X11Pasteboard::create();
    auto x11Workspace = X11Workspace::create();
    ASSERT_TRUE(pasteboard && x11Workspace);
    // Copies are named after their application, and the paste steps aside through the desktop's
    // window manager, as in the program.
    pasteboard->setApplicationResolver([named = x11Workspace.get()](xcb_window_t owner, xcb_window_t active) {
        return std::optional(named->applicationForClipboardOwner(owner, active));
    });
    Workspace::setShared(std::move(x11Workspace));
    Workspace &workspace = Workspace::shared();
    PBCategoryManager categories(CoreDataStack::shared().managedContext());
    TaviPBManager manager(*pasteboard, workspace, categories);
    KeyEventPoster::setShared(X11KeyEventPoster::create());
    AccessibilityTrust::setShared(std::make_unique<X11AccessibilityTrust>(X11AccessibilityTrust::serverHasXTest()));
    TaviSettings::shared().setQuickPasteEnable(true);
    ShellSeams::shared().reset();
    HistoryScenes::registerAll();
    SceneRegistry::shared().registerScene(QStringLiteral("Main"), QStringLiteral("CategoryWindowController"),
                                          [&manager] { return new CategoryWindowController(manager); });

    // Three copies made by another program, captured as the running program captures them.
    manager.startMonitoring();
    const QString tag = QString::number(QRandomGenerator::global()->bounded(100000));
    const QStringList texts{QStringLiteral("first %1").arg(tag), QStringLiteral("second %1").arg(tag),
                            QStringLiteral("third %1").arg(tag)};
    for (const QString &text : texts) {
        const qsizetype before = manager.itemCount();
        ASSERT_TRUE(copyWithXclip("UTF8_STRING", text.toUtf8()));
        ASSERT_TRUE(waitUntil([&] { return manager.itemCount() > before; }, 5000)) << qPrintable(text);
    }
    manager.stopMonitoring();

    Peer field({QStringLiteral("field")});
    const QByteArray fieldWindow = field.waitForLine("READY:");
    ASSERT_FALSE(fieldWindow.isEmpty());

    CategoryWindowController *window = sharedCategoryWindowController();
    ASSERT_TRUE(window);
    CategoryListViewController *list = window->contentViewController();
    window->showCategory(PBCategory::all());
    ASSERT_TRUE(waitUntil([&] { return !list->isLoading() && list->numberOfRows() == 3; }, 5000));
    ASSERT_TRUE(xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), windowId(*window)}));
    ASSERT_TRUE(waitUntil([&] { return list->hasKeyEventMonitor(); }, 3000));
    list->itemSearchTextfield->setFocus();

    // The arrows move the selection: row 0, then row 1 (the second newest).
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("Down"), QStringLiteral("Down")}));
    ASSERT_TRUE(waitUntil([&] { return list->itemsTableView->selectedRows() == QList<int>({1}); }, 3000));

    // Return pastes the row into the field of the program that was active before.
    ASSERT_TRUE(
        xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::fromLatin1(fieldWindow)}));
    ASSERT_TRUE(xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), windowId(*window)}));
    ASSERT_TRUE(waitUntil([&] { return list->hasKeyEventMonitor(); }, 3000));
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("Return")}));

    EXPECT_EQ(QString::fromUtf8(field.waitForLine("TEXT:")), texts.at(1));

    // Ctrl+C puts the selected row on the clipboard.
    ASSERT_TRUE(xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), windowId(*window)}));
    ASSERT_TRUE(waitUntil([&] { return list->hasKeyEventMonitor(); }, 3000));
    list->itemsTableView->selectRowAlone(2);
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+c")}));
    bool pasted = false;
    EXPECT_TRUE(waitUntil([&] { return pasteWithXclip("UTF8_STRING", &pasted) == texts.at(0).toUtf8(); }, 5000));

    // The quick-paste panel's delete takes the row out of the open list without reading it again.
    PBHUDViewController panel(manager);
    panel.resize(640, 400);
    panel.show();
    panel.viewWillAppear();
    panel.viewDidAppear();
    ASSERT_TRUE(waitUntil([&] { return panel.numberOfRows() == 3; }, 3000));
    panel.historyTableView->selectRow(0);
    const int rowsBefore = list->numberOfRows();
    panel.deleteSelectedItem();
    EXPECT_EQ(list->numberOfRows(), rowsBefore - 1);
    EXPECT_FALSE(list->isLoading());
    panel.viewWillDisappear();
    panel.hide();

    // The hide-list hot key closes the list.
    auto monitor = X11ShortcutMonitor::create();
    ASSERT_TRUE(monitor);
    const Shortcut hideList(4, Shortcut::kShift | Shortcut::kCommand);
    ASSERT_TRUE(monitor->registerShortcut(hideList, [] { ShellSeams::shared().closeCategoryList(); }));
    ASSERT_TRUE(window->isVisible());
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("shift+super+h")}));
    EXPECT_TRUE(waitUntil([&] { return !window->isVisible(); }, 5000));
    monitor->unregisterShortcut(hideList);

    TaviSettings::shared().setQuickPasteEnable(false);
    ShellSeams::shared().reset();
    pasteboard->setApplicationResolver(nullptr);
    delete window;
    CoreDataStack::resetShared();
}
