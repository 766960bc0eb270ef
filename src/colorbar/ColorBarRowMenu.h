#pragma once
// A color bar row's menu and what its entries do: edit the category (in the edit window, also
// the add button's), remove a custom one after asking, hide one (with the first-time hint).
// The entries act on the category of the row the menu opened for. GUI thread.

#include "colorbar/CategoryEditWindowController.h"
#include "colorbar/HideCategoryHintWindowController.h"
#include "core/PBCategory.h"

#include <QPointer>

#include <optional>

class MainViewController;
class PBCategoryManager;
class PBScreenMonitor;
class QMenu;
class TaviPBManager;
class TaviSettings;

class ColorBarRowMenu {
public:
    ColorBarRowMenu(MainViewController &bar, PBCategoryManager &categories, TaviPBManager &history,
                    TaviSettings &settings, PBScreenMonitor &monitor);
    ~ColorBarRowMenu();

    // The menu for the row, its entries set for the row's category; none for an invalid row.
    QMenu *menuFor(int row);
    void editCategory(int row);
    void confirmRemoveCategory();
    void removeCategory();
    void hideCategory();
    const std::optional<PBCategory> &selectedCategory() const { return m_selectedCategory; }
    HideCategoryHintWindowController *hideCategoryHint() const { return m_hideCategoryHint.data(); }
    CategoryEditWindowController *editWindowController();

private:
    MainViewController &m_bar;
    PBCategoryManager &m_categories;
    TaviPBManager &m_history;
    TaviSettings &m_settings;
    PBScreenMonitor &m_monitor;
    std::optional<PBCategory> m_selectedCategory;
    QPointer<CategoryEditWindowController> m_editWindow;
    QPointer<HideCategoryHintWindowController> m_hideCategoryHint;
    QPointer<QMenu> m_menu;
};
