#include "ColorBarTestSupport.h"

#include "colorbar/CategoryEditWindowController.h"
#include "controls/ClickedCollectionView.h"
#include "core/Alert.h"
#include "core/ColorExtensions.h"
#include "core/NotificationNames.h"
#include "platform/ColorAssets.h"
#include "core/TaviSettings.h"
#include "platform/Defaults.h"
#include "platform/NotificationCenter.h"
#include "platform/Strings.h"
#include "shell/ShellSeams.h"

#include <QApplication>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

struct Alerts {
    Alerts()
    {
        setAlertResponder([this](const AlertRequest &request) {
            messages.append(request.informativeText);
            return ModalResponse::alertFirstButtonReturn;
        });
    }
    ~Alerts() { setAlertResponder({}); }
    QStringList messages;
};

using CategoryEditWindowTest = ColorBarTest;

TEST_F(CategoryEditWindowTest, TheFirstWindowSeedsThePaletteAndLaterOnesKeepTheUsersList)
{
    {
        CategoryEditWindowController window(categories());
        EXPECT_EQ(CategoryEditWindowController::categoryColors(), CategoryEditWindowController::seedColors());
        EXPECT_EQ(window.numberOfItems(), 21) << "the last cell adds a colour";
    }
    CategoryEditWindowController::setCategoryColors({QStringLiteral("Carrot"), QStringLiteral("#123456")});
    CategoryEditWindowController window(categories());
    EXPECT_EQ(CategoryEditWindowController::categoryColors(), (QStringList{"Carrot", "#123456"}));
    EXPECT_EQ(window.numberOfItems(), 3);
}

TEST_F(CategoryEditWindowTest, APaletteThatIsNotAListOfStringsIsSeededAgainAndTakesNewColours)
{
    Defaults::standard().setValue(TaviSettings::categoryColorsKey(), QVariantList{1, QStringLiteral("Carrot")});
    CategoryEditWindowController window(categories());
    EXPECT_EQ(CategoryEditWindowController::categoryColors(), CategoryEditWindowController::seedColors());
    window.addColor();
    EXPECT_EQ(CategoryEditWindowController::categoryColors()->last(), QStringLiteral("#FFFFFF"));
    EXPECT_EQ(window.selectedSwatches(), QList<int>{20});
    window.colorPanelDidChange(QColor(0x12, 0xAB, 0x34));
    EXPECT_EQ(CategoryEditWindowController::categoryColors()->last(), QStringLiteral("#12AB34"));

    // The panel never changes a built-in colour.
    window.selectSwatch(3);
    window.colorPanelDidChange(Qt::black);
    EXPECT_EQ(CategoryEditWindowController::categoryColors()->at(3), QStringLiteral("Carrot"));
    window.colorPanel()->close();
}

// The colour panel belongs to the window (so it stands above it), has OK and Cancel, and its
// Escape closes only itself; Escape in the window closes the window.
TEST_F(CategoryEditWindowTest, TheColourPanelIsTheWindowsOwnWithOkAndCancel)
{
    CategoryEditWindowController window(categories());
    window.present();
    const int added = int(CategoryEditWindowController::seedColors().size());
    QColorDialog *panel = window.colorPanel();
    EXPECT_EQ(panel->parentWidget(), &window);
    EXPECT_TRUE(panel->isWindow());
    auto *buttons = panel->findChild<QDialogButtonBox *>();
    ASSERT_NE(buttons, nullptr);
    ASSERT_NE(buttons->button(QDialogButtonBox::Ok), nullptr);
    ASSERT_NE(buttons->button(QDialogButtonBox::Cancel), nullptr);

    // Cancel takes back a colour just added.
    window.addColor();
    ASSERT_TRUE(panel->isVisible());
    panel->setCurrentColor(QColor(0xFF, 0x00, 0x00));
    EXPECT_EQ(CategoryEditWindowController::categoryColors()->value(added), QStringLiteral("#FF0000"));
    buttons->button(QDialogButtonBox::Cancel)->click();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(CategoryEditWindowController::categoryColors()->size(), added);
    EXPECT_EQ(window.numberOfItems(), added + 1);

    // OK keeps it.
    window.addColor();
    panel->setCurrentColor(QColor(0x00, 0x00, 0xFF));
    buttons->button(QDialogButtonBox::Ok)->click();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(CategoryEditWindowController::categoryColors()->value(added), QStringLiteral("#0000FF"));

    // Editing it and pressing Escape in the panel: the colour it had comes back, the window stays.
    ClickedCollectionView *swatches = window.colorsCollectionView();
    swatches->doItemsLayout();
    swatches->menuForEvent(swatches->visualRect(swatches->model()->index(added, 0)).center());
    ASSERT_EQ(swatches->clickedIndex(), added);
    window.didSelectEdit();
    ASSERT_TRUE(panel->isVisible());
    panel->setCurrentColor(QColor(0x00, 0x80, 0x00));
    EXPECT_EQ(CategoryEditWindowController::categoryColors()->value(added), QStringLiteral("#008000"));
    QTest::keyClick(panel, Qt::Key_Escape);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(CategoryEditWindowController::categoryColors()->value(added), QStringLiteral("#0000FF"));
    EXPECT_EQ(window.selectedSwatches(), QList<int>{added});

    QTest::keyClick(window.nameField(), Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(CategoryEditWindowTest, CreatingNeedsANameAndAColourAndAddsTheCategoryToTheBar)
{
    Alerts alerts;
    MainViewController &view = makeBar();
    CategoryEditWindowController *window = view.categoryColorPickWindowController();
    window->present();
    window->saveCategory();
    window->nameField()->setText(QStringLiteral("   "));
    window->saveCategory();
    window->nameField()->setText(QStringLiteral("Recipes 🍲"));
    window->saveCategory();
    EXPECT_EQ(alerts.messages.size(), 3);
    EXPECT_EQ(alerts.messages.last(), L("Category.Alert.Color.message"));
    EXPECT_EQ(categories().customCategories().size(), 0);

    const int height = barWindow().height();
    window->selectSwatch(8);
    window->darkBtnAction();
    window->saveCategory();
    ASSERT_EQ(categories().customCategories().size(), 1);
    const PBCategory created = categories().customCategories().first();
    EXPECT_EQ(created.name(), QStringLiteral("Recipes 🍲"));
    EXPECT_EQ(hexString(created.backgroundColor()), hexString(*ColorAssets::named(QStringLiteral("Nephritis"))));
    EXPECT_EQ(hexString(created.foregroundColor()), hexString(*ColorAssets::named(QStringLiteral("Midnight Blue"))));
    EXPECT_EQ(barWindow().height(), height + 44);
    EXPECT_EQ(view.categoryAt(view.numberOfRows() - 1)->id(), created.id());
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(window->nameField()->text().isEmpty()) << "closing resets the window";
    EXPECT_TRUE(window->lightButton()->isChecked());
}

TEST_F(CategoryEditWindowTest, EditingABuiltInCategoryKeepsItsNameAndStoresItsColours)
{
    Alerts alerts;
    int updates = 0;
    ObserverBag bag;
    bag.observe(NotificationName::categorySettingsUpdated, [&](const Notification &) { ++updates; });
    CategoryEditWindowController window(categories());
    const PBCategory text = *categories().categoryAt(rowOf(PBDefaultCategory::text));
    window.configure(text);
    EXPECT_FALSE(window.nameField()->isEnabled());
    window.selectSwatch(0);
    window.lightBtnAction();
    window.saveCategory();
    const PBCategory saved = *categories().categoryWithId(text.id());
    EXPECT_EQ(saved.name(), text.name());
    EXPECT_EQ(hexString(saved.backgroundColor()), hexString(*ColorAssets::named(QStringLiteral("Pomegranate"))));
    EXPECT_EQ(updates, 1);
    EXPECT_TRUE(alerts.messages.isEmpty());
}

TEST_F(CategoryEditWindowTest, EditingKeepsButtonsAndSelectionForColoursOutsideThePalette)
{
    Alerts alerts;
    const PBCategory custom = addCustom(QStringLiteral("Odd"));
    PBCategory odd = custom;
    odd.setForegroundColor(QColor(0x11, 0x22, 0x33));
    odd.setBackgroundColor(QColor(0x44, 0x55, 0x66));
    CategoryEditWindowController window(categories());
    window.darkBtnAction();
    window.configure(odd);
    EXPECT_TRUE(window.darkButton()->isChecked()) << "neither light nor dark: left as it was";
    EXPECT_TRUE(window.selectedSwatches().isEmpty());

    // An emptied name is refused in edit mode too.
    window.nameField()->clear();
    window.selectSwatch(1);
    window.saveCategory();
    EXPECT_EQ(alerts.messages, QStringList{L("Category.Alert.Name.message")});
    EXPECT_EQ(categories().categoryWithId(custom.id())->name(), QStringLiteral("Odd"));
}

TEST_F(CategoryEditWindowTest, TheShellEntryOpensTheWindowForANewOrAnExistingCategory)
{
    const PBCategory custom = addCustom(QStringLiteral("Links to read"));
    ShellSeams::shared().showCategoryEditor(custom.id());
    QWidget *shown = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *editor = qobject_cast<CategoryEditWindowController *>(widget); editor && editor->isVisible())
            shown = editor;
    }
    ASSERT_NE(shown, nullptr);
    auto *editor = static_cast<CategoryEditWindowController *>(shown);
    EXPECT_EQ(editor->nameField()->text(), QStringLiteral("Links to read"));
    editor->close();
    ShellSeams::shared().showCategoryEditor(std::nullopt);
    EXPECT_TRUE(editor->isVisible());
    EXPECT_FALSE(editor->category().has_value());
    editor->close();
    ShellSeams::shared().showCategoryEditor(QStringLiteral("no-such-id"));
    EXPECT_FALSE(editor->isVisible());
}

} // namespace
