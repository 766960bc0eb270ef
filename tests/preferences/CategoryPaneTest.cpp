#include "PreferencesTestSupport.h"

#include "capture/TaviPBManager.h"
#include "colorbar/CategoryEditWindowController.h"
#include "colorbar/ColorBarMetrics.h"
#include "colorbar/ColorBarScenes.h"
#include "colorbar/MainViewController.h"
#include "colorbar/MainWindowController.h"
#include "core/NotificationNames.h"
#include "core/PBCategoryManager.h"
#include "core/Alert.h"
#include "platform/Strings.h"
#include "history/TrashFilterView.h"
#include "platform/NotificationCenter.h"
#include "preferences/CategorySettingViewController.h"
#include "preferences/SettingCategoryCells.h"
#include "preferences/SettingCategoryLockCell.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

PBCategory addCustom(PreferencesFixture &fixture, const QString &name)
{
    PBCategory category(std::nullopt, name, QColor("#336699"), QColor("#ffffff"), PBDefaultCategory::custom, false,
                        false);
    fixture.shell.categories->add(category);
    return category;
}

int rowNamed(CategorySettingViewController &pane, const QString &name)
{
    for (int row = 0; row < pane.listTableView->rowCount(); ++row)
        if (pane.listTableView->item(row, CategorySettingViewController::NameColumn)->text() == name)
            return row;
    return -1;
}

template <typename Cell>
Cell *cellOf(CategorySettingViewController &pane, const QString &name, int column)
{
    const int row = rowNamed(pane, name);
    return row < 0 ? nullptr : qobject_cast<Cell *>(pane.listTableView->cellWidget(row, column));
}

CategoryEditWindowController *shownEditor()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *editor = qobject_cast<CategoryEditWindowController *>(widget); editor && editor->isVisible())
            return editor;
    }
    return nullptr;
}

PBCategory builtIn(PreferencesFixture &fixture, PBDefaultCategory kind)
{
    return *fixture.shell.categories->categoryWithId(categoryId(kind));
}

} // namespace

TEST(CategoryPane, OnlyTheToggleThatMakesSenseForAKindIsEnabled)
{
    PreferencesFixture fixture;
    const PBCategory work = addCustom(fixture, "Work");
    CategorySettingViewController pane;
    ASSERT_EQ(pane.listTableView->rowCount(), 9);
    const QString all = builtIn(fixture, PBDefaultCategory::all).name();
    const QString text = builtIn(fixture, PBDefaultCategory::text).name();
    const QString note = builtIn(fixture, PBDefaultCategory::note).name();
    auto *textStar = cellOf<SettingCategoryActiveCell>(pane, text, CategorySettingViewController::ActiveColumn);
    ASSERT_NE(textStar, nullptr);
    EXPECT_FALSE(textStar->btnActive->isEnabled());
    EXPECT_EQ(textStar->imageName(), "active-disable");
    EXPECT_TRUE(cellOf<SettingCategoryActiveCell>(pane, "Work", CategorySettingViewController::ActiveColumn)
                    ->btnActive->isEnabled());
    EXPECT_FALSE(cellOf<SettingCategoryDisplayCell>(pane, all, CategorySettingViewController::DisplayColumn)
                     ->btnDisplay->isEnabled());
    for (const QString &name : {all, note, QStringLiteral("Work")})
        EXPECT_FALSE(cellOf<SettingCategoryLockCell>(pane, name, CategorySettingViewController::LockColumn)
                         ->btnDisplay->isEnabled());
    EXPECT_TRUE(cellOf<SettingCategoryLockCell>(pane, text, CategorySettingViewController::LockColumn)
                    ->btnDisplay->isEnabled());

    pane.listTableView->selectRow(rowNamed(pane, text));
    EXPECT_FALSE(pane.btnDeleteCategory->isEnabled());
    pane.listTableView->selectRow(rowNamed(pane, "Work"));
    EXPECT_TRUE(pane.btnDeleteCategory->isEnabled());
    EXPECT_EQ(pane.selectedCategory->id(), work.id());
}

TEST(CategoryPane, ATogglePreservesAnEditMadeElsewhere)
{
    PreferencesFixture fixture;
    CategorySettingViewController pane;
    PBCategory link = builtIn(fixture, PBDefaultCategory::link);
    auto *lock = cellOf<SettingCategoryLockCell>(pane, link.name(), CategorySettingViewController::LockColumn);
    auto *display = cellOf<SettingCategoryDisplayCell>(pane, link.name(), CategorySettingViewController::DisplayColumn);
    ASSERT_TRUE(lock && display);

    // The colour bar's edit window renames and recolours it while the pane shows the old row.
    link.setName("Web links");
    link.setBackgroundColor(QColor("#aa0000"));
    fixture.shell.categories->update(link);

    QList<PBCategory> updates;
    ObserverBag bag;
    bag.observe(NotificationName::categorySettingsUpdated,
                [&](const Notification &n) { updates.append(n.info().value<PBCategory>()); });
    lock->btnDisplay->click();
    display->btnDisplay->click();
    const PBCategory stored = builtIn(fixture, PBDefaultCategory::link);
    EXPECT_EQ(stored.name(), "Web links");
    EXPECT_EQ(stored.backgroundColor(), QColor("#aa0000"));
    EXPECT_TRUE(stored.isLocked());
    EXPECT_TRUE(stored.isHidden());
    ASSERT_EQ(updates.size(), 1);
    EXPECT_EQ(updates.first().name(), "Web links");
    fixture.shell.settle();
    EXPECT_GE(rowNamed(pane, "Web links"), 0); // reloaded on the announcements
}

TEST(CategoryPane, HidingSendsItsEventAndShowingAgainSendsNothing)
{
    PreferencesFixture fixture;
    CategorySettingViewController pane;
    RecordedEvents events;
    const QString image = builtIn(fixture, PBDefaultCategory::image).name();
    cellOf<SettingCategoryDisplayCell>(pane, image, CategorySettingViewController::DisplayColumn)->btnDisplay->click();
    fixture.shell.settle();
    EXPECT_TRUE(builtIn(fixture, PBDefaultCategory::image).isHidden());
    cellOf<SettingCategoryDisplayCell>(pane, image, CategorySettingViewController::DisplayColumn)->btnDisplay->click();
    fixture.shell.settle();
    EXPECT_FALSE(builtIn(fixture, PBDefaultCategory::image).isHidden());
    const auto hides = events.named("Category_Hide");
    ASSERT_EQ(hides.size(), 1);
    EXPECT_EQ(hides.first().properties.value("category"), "image");
    EXPECT_EQ(hides.first().properties.value("source"), "Settings");
}

TEST(CategoryPane, TheStarMovesFromOneCustomCategoryToAnother)
{
    PreferencesFixture fixture;
    const PBCategory work = addCustom(fixture, "Work");
    const PBCategory home = addCustom(fixture, "Home");
    CategorySettingViewController pane;
    cellOf<SettingCategoryActiveCell>(pane, "Work", CategorySettingViewController::ActiveColumn)->btnActive->click();
    fixture.shell.settle();
    EXPECT_EQ(fixture.shell.categories->activeCategory()->id(), work.id());
    cellOf<SettingCategoryActiveCell>(pane, "Home", CategorySettingViewController::ActiveColumn)->btnActive->click();
    fixture.shell.settle();
    EXPECT_EQ(fixture.shell.categories->activeCategory()->id(), home.id());
    EXPECT_EQ(cellOf<SettingCategoryActiveCell>(pane, "Work", CategorySettingViewController::ActiveColumn)->imageName(),
              "inactive");
    EXPECT_EQ(cellOf<SettingCategoryActiveCell>(pane, "Home", CategorySettingViewController::ActiveColumn)->imageName(),
              "active");
}

TEST(CategoryPane, ClearingACustomCategoryRemovesItsItems)
{
    PreferencesFixture fixture({"kept", "tagged one", "tagged two"});
    const PBCategory work = addCustom(fixture, "Work");
    fixture.shell.manager->addItem(fixture.shell.item("tagged one"), work);
    fixture.shell.manager->addItem(fixture.shell.item("tagged two"), work);
    CategorySettingViewController pane;
    // Counted off the GUI thread.
    EXPECT_TRUE(waitUntil([&] {
        return pane.listTableView->item(rowNamed(pane, "Work"), CategorySettingViewController::ItemsColumn)->text()
               == "2";
    }));
    // Rows made again show the counts known until the next are in.
    pane.reloadData();
    EXPECT_EQ(pane.listTableView->item(rowNamed(pane, "Work"), CategorySettingViewController::ItemsColumn)->text(),
              "2");

    AnsweredAlerts alerts;
    cellOf<SettingCategoryManageCell>(pane, "Work", CategorySettingViewController::ManageColumn)->deleteBtn->click();
    ASSERT_TRUE(waitUntil([&] { return fixture.shell.manager->itemCount() == 1; }));
    EXPECT_EQ(alerts.requests.size(), 1);
    ASSERT_TRUE(waitUntil([&] {
        return pane.listTableView->item(rowNamed(pane, "Work"), CategorySettingViewController::ItemsColumn)->text()
               == "0";
    }));
}

// The row's clear asks with the list toolbar's filter: a pinned text goes only when its box is
// ticked, and clearing the notes category removes its notes.
TEST(CategoryPane, ARowsClearAsksWhichProtectedItemsGoToo)
{
    PreferencesFixture fixture({"plain", "pinned"});
    fixture.shell.manager->stickItem(fixture.shell.item("pinned"), true);
    fixture.shell.manager->addNote(QStringLiteral("A note"), QStringLiteral("its body"));
    fixture.shell.settle();
    CategorySettingViewController pane;
    const PBCategory text = builtIn(fixture, PBDefaultCategory::text);
    const auto clearRow = [&](const PBCategory &category, bool includePinned) {
        setAlertResponder([&](const AlertRequest &request) {
            auto *filter = qobject_cast<TrashFilterView *>(request.accessoryView);
            EXPECT_TRUE(filter);
            if (filter)
                filter->stickyBtn->setChecked(includePinned);
            return ModalResponse::alertFirstButtonReturn;
        });
        cellOf<SettingCategoryManageCell>(pane, category.name(), CategorySettingViewController::ManageColumn)
            ->deleteBtn->click();
        setAlertResponder({});
    };

    clearRow(text, false);
    ASSERT_TRUE(waitUntil([&] { return fixture.shell.manager->itemCount(text) == 1; }));
    EXPECT_EQ(fixture.shell.manager->getItemsPage(0, 1).value(0).dataProvider()->representedText(), "pinned");
    clearRow(text, true);
    ASSERT_TRUE(waitUntil([&] { return fixture.shell.manager->itemCount(text) == 0; }));

    const PBCategory notes = builtIn(fixture, PBDefaultCategory::note);
    ASSERT_EQ(fixture.shell.manager->itemCount(notes), 1);
    clearRow(notes, false);
    EXPECT_TRUE(waitUntil([&] { return fixture.shell.manager->itemCount(notes) == 0; }));
}

// "+" opens the real edit window; the table learns of the category it saves from the window's own
// announcement, and a delete from the table takes the row off the bar, which shortens.
TEST(CategoryPane, NewAndDeletedCategoriesShowAtOnceInTheTableAndOnTheBar)
{
    PreferencesFixture fixture;
    ColorBarScenes::registerAll();
    const std::unique_ptr<MainWindowController> bar(
        ColorBarScenes::showColorBar(*fixture.shell.categories, *fixture.shell.manager));
    fixture.shell.settle();
    const int rows = bar->contentViewController()->numberOfRows();
    const int height = bar->height();
    const int rowHeight = ColorBarMetrics::current().rowHeight;
    CategorySettingViewController pane;

    pane.clickAddCategory();
    CategoryEditWindowController *editor = shownEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_FALSE(editor->category().has_value());
    QTest::keyClicks(editor->nameField(), QStringLiteral("Work"));
    editor->selectSwatch(3);
    editor->saveButton()->click();
    EXPECT_FALSE(editor->isVisible());
    ASSERT_TRUE(waitUntil([&] { return rowNamed(pane, "Work") >= 0; }));
    const std::optional<PBCategory> work = fixture.shell.categories->categoryWithName(QStringLiteral("Work"));
    ASSERT_TRUE(work.has_value());
    EXPECT_EQ(bar->contentViewController()->numberOfRows(), rows + 1);
    EXPECT_EQ(bar->height(), height + rowHeight);

    // A double-click opens the same window on the row's category.
    pane.listItemDoubleClickAction(rowNamed(pane, "Work"));
    ASSERT_EQ(shownEditor(), editor);
    EXPECT_EQ(editor->category()->id(), work->id());
    editor->close();

    SaveScheduler &saves = fixture.shell.manager->saveScheduler();
    ASSERT_TRUE(waitUntil([&] { return !saves.isPending(); }, 5000));
    const int savesBefore = saves.saveCount();
    pane.listTableView->selectRow(rowNamed(pane, "Work"));
    AnsweredAlerts alerts;
    pane.clickDeleteCategory();
    fixture.shell.settle();
    // Asked as a deletion, with Cancel the default.
    ASSERT_EQ(alerts.requests.size(), 1);
    EXPECT_TRUE(alerts.requests.first().destructive);
    EXPECT_EQ(alerts.requests.first().firstButtonTitle, L("Category.Alert.Delete"));
    EXPECT_EQ(rowNamed(pane, "Work"), -1);
    EXPECT_FALSE(pane.btnDeleteCategory->isEnabled());
    EXPECT_FALSE(fixture.shell.categories->categoryWithId(work->id()).has_value());
    EXPECT_EQ(bar->contentViewController()->numberOfRows(), rows);
    EXPECT_EQ(bar->height(), height);
    EXPECT_TRUE(waitUntil([&] { return saves.saveCount() > savesBefore; }, 5000)) << "the deletion is written soon";
}
