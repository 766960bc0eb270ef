#include "colorbar/ColorBarRowMenu.h"

#include "capture/TaviPBManager.h"
#include "colorbar/MainViewController.h"
#include "colorbar/PBScreenMonitor.h"
#include "core/Alert.h"
#include "core/NotificationNames.h"
#include "core/PBCategoryManager.h"
#include "core/TaviSettings.h"
#include "history/CategoryListViewController.h"
#include "history/CategoryWindowController.h"
#include "platform/Analytics.h"
#include "platform/NotificationCenter.h"
#include "platform/Strings.h"

#include <QGuiApplication>
#include <QMenu>
#include <QScreen>

ColorBarRowMenu::ColorBarRowMenu(MainViewController &bar, PBCategoryManager &categories, TaviPBManager &history,
                                 TaviSettings &settings, PBScreenMonitor &monitor)
    : m_bar(bar),
      m_categories(categories),
      m_history(history),
      m_settings(settings),
      m_monitor(monitor)
{
}

ColorBarRowMenu::~ColorBarRowMenu()
{
    if (m_editWindow)
        delete m_editWindow.data();
    if (m_hideCategoryHint)
        delete m_hideCategoryHint.data();
}

QMenu *ColorBarRowMenu::menuFor(int row)
{
    const std::optional<PBCategory> category = m_bar.categoryAt(row);
    if (!category)
        return nullptr;
    m_selectedCategory = category;
    if (!m_menu) {
        m_menu = new QMenu(&m_bar);
        m_menu->setObjectName(QStringLiteral("categoryRowMenu"));
    }
    m_menu->clear();
    QAction *edit = m_menu->addAction(L("ColorBar.Menu.Edit"));
    edit->setObjectName(QStringLiteral("editCategoryMenuItem"));
    QObject::connect(edit, &QAction::triggered, &m_bar, [this, row] { editCategory(row); });
    QAction *hide = m_menu->addAction(L("ColorBar.Menu.Hide"));
    hide->setObjectName(QStringLiteral("categoryHideMenuItem"));
    hide->setVisible(category->type() != PBDefaultCategory::all);
    QObject::connect(hide, &QAction::triggered, &m_bar, [this] { hideCategory(); });
    QAction *remove = m_menu->addAction(L("ColorBar.Menu.Remove"));
    remove->setObjectName(QStringLiteral("categoryRemoveMenuItem"));
    remove->setVisible(category->type() == PBDefaultCategory::custom);
    QObject::connect(remove, &QAction::triggered, &m_bar, [this] { confirmRemoveCategory(); });
    return m_menu;
}

CategoryEditWindowController *ColorBarRowMenu::editWindowController()
{
    if (!m_editWindow) {
        m_editWindow = new CategoryEditWindowController(m_categories);
        m_editWindow->changedBlick = [bar = QPointer<MainViewController>(&m_bar)](bool isNew, const PBCategory &) {
            MainViewController::announceCategoryEdited(bar, isNew);
        };
    }
    return m_editWindow;
}

void ColorBarRowMenu::editCategory(int row)
{
    const std::optional<PBCategory> category = m_bar.categoryAt(row);
    if (!category)
        return;
    editWindowController()->present(*category);
}

void ColorBarRowMenu::confirmRemoveCategory()
{
    if (!m_selectedCategory)
        return;
    showDestructiveAlert(L("Category.Alert.Warning.title"), L("Category.Alert.CategoryDelete.message"),
                         L("Category.Alert.Delete"), L("Category.Alert.NO"), nullptr, [this](ModalResponse response) {
                             if (response == ModalResponse::alertFirstButtonReturn)
                                 removeCategory();
                         });
}

void ColorBarRowMenu::removeCategory()
{
    CategoryWindowController *list = sharedCategoryWindowController();
    if (!list)
        return;
    const std::optional<PBCategory> &shown = list->contentViewController()->category;
    const bool sameCategory =
        (!shown && !m_selectedCategory) || (shown && m_selectedCategory && shown->id() == m_selectedCategory->id());
    if (sameCategory && list->isVisible())
        list->close();
    if (!m_selectedCategory)
        return;
    const std::optional<PBCategory> stored = m_categories.categoryWithId(m_selectedCategory->id());
    if (!stored)
        return;
    m_categories.deleteCategory(*stored);
    m_history.saveScheduler().schedule();
    m_selectedCategory.reset();
    m_bar.updateBarSize();
    m_bar.placeSideBarOnScreen();
    m_bar.reloadData();
    NotificationCenter::defaultCenter().post(NotificationName::colorBarCategoryChanged);
}

void ColorBarRowMenu::hideCategory()
{
    if (!m_selectedCategory)
        return;
    PBCategory category = *m_selectedCategory;
    category.setHidden(true);
    m_categories.update(category);
    m_history.saveScheduler().schedule();
    m_bar.updateBarSize();
    m_bar.placeSideBarOnScreen();
    m_bar.reloadData();
    NotificationCenter::defaultCenter().post(NotificationName::categoryHideChanged);
    if (m_settings.needShowHideCategoryTips()) {
        if (m_hideCategoryHint)
            m_hideCategoryHint->close();
        m_hideCategoryHint = new HideCategoryHintWindowController;
        m_hideCategoryHint->adjustSize();
        if (QScreen *screen = m_monitor.currentScreen() ? m_monitor.currentScreen() : QGuiApplication::primaryScreen())
            m_hideCategoryHint->move(screen->availableGeometry().center() - m_hideCategoryHint->rect().center());
        m_hideCategoryHint->show();
        m_hideCategoryHint->raise();
        m_hideCategoryHint->activateWindow();
    }
    Analytics::trackEvent(QStringLiteral("Category_Hide"),
                          {{QStringLiteral("category"), rawValue(category.type())},
                           {QStringLiteral("source"), QStringLiteral("RightClickMenu")}});
}
