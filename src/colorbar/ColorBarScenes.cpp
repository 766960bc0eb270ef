#include "colorbar/ColorBarScenes.h"

#include "capture/TaviPBManager.h"
#include "colorbar/CategoryEditWindowController.h"
#include "colorbar/MainViewController.h"
#include "colorbar/MainWindowController.h"
#include "colorbar/PBScreenMonitor.h"
#include "core/PBCategoryManager.h"
#include "history/CategoryWindowController.h"
#include "shell/ShellSeams.h"

#include <QPointer>

namespace ColorBarScenes {

namespace {
// The edit window the shell's entry opens (the history list's toolbar and row menu).
QPointer<CategoryEditWindowController> g_editor;
PBCategoryManager *g_editorCategories = nullptr; // the categories it was made on
PBCategoryManager *g_categories = nullptr;
} // namespace

void registerAll()
{
    ShellSeams &seams = ShellSeams::shared();
    seams.startScreenMonitoring = [] { PBScreenMonitor::shared().startMonitoring(); };
    seams.stopScreenMonitoring = [] { PBScreenMonitor::shared().stopMonitoring(); };
    seams.showCategoryEditor = [](std::optional<QString> categoryId) {
        PBCategoryManager &categories = g_categories ? *g_categories : PBCategoryManager::shared();
        if (g_editor && g_editorCategories != &categories)
            delete g_editor.data(); // made for the categories of an earlier bar
        if (!g_editor) {
            g_editor = new CategoryEditWindowController(categories);
            g_editorCategories = &categories;
            // The windows that show categories (the bar, the preferences' table, the lists) hear of a new one.
            g_editor->changedBlick = [](bool isNew, const PBCategory &) {
                MainWindowController *bar = MainWindowController::shared();
                MainViewController::announceCategoryEdited(bar ? bar->contentViewController() : nullptr, isNew);
            };
            if (CategoryWindowController *list = existingCategoryWindowController())
                list->registerOwnedWindow(g_editor);
        }
        std::optional<PBCategory> category;
        if (categoryId) {
            category = categories.categoryWithId(*categoryId);
            if (!category)
                return; // removed meanwhile: nothing to edit
        }
        g_editor->present(category);
    };
}

MainWindowController *showColorBar() { return showColorBar(PBCategoryManager::shared(), TaviPBManager::shared()); }

MainWindowController *showColorBar(PBCategoryManager &categories, TaviPBManager &history)
{
    g_categories = &categories;
    auto *bar = new MainWindowController(categories, history, PBScreenMonitor::shared());
    bar->showBar();
    return bar;
}

} // namespace ColorBarScenes
