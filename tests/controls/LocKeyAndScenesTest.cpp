#include "controls/LocKey.h"
#include "controls/SceneRegistry.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTabWidget>

#include <gtest/gtest.h>

namespace {
const QString kKnownKey = QStringLiteral("Note.Edit.PlaceholderString");
const QString kKnownText = QStringLiteral("Write your note here…");

class TipWindowController : public QObject {
    Q_OBJECT
};
class OtherController : public QObject {
    Q_OBJECT
};
class FilterView : public QWidget {
    Q_OBJECT
};
} // namespace

namespace Module {
class ListWindowController : public QObject {
    Q_OBJECT
};
} // namespace Module

TEST(LocKey, ReplacesTheVisibleTextOfEveryKindOfInterfaceObject)
{
    QLabel label;
    QLineEdit field;
    QPushButton button;
    QAction action(nullptr);
    QMenu menu;
    QGroupBox box;
    QWidget pane;
    for (QObject *object : std::initializer_list<QObject *>{&label, &field, &button, &action, &menu, &box, &pane})
        LocKey::set(object, kKnownKey);
    EXPECT_EQ(label.text(), kKnownText);
    EXPECT_EQ(field.text(), kKnownText);
    EXPECT_EQ(button.text(), kKnownText);
    EXPECT_EQ(action.text(), kKnownText);
    EXPECT_EQ(menu.title(), kKnownText);
    EXPECT_EQ(box.title(), kKnownText);
    EXPECT_EQ(pane.windowTitle(), kKnownText);

    QTabWidget tabs;
    tabs.addTab(new QWidget, QStringLiteral("x"));
    LocKey::setTab(&tabs, 0, kKnownKey);
    EXPECT_EQ(tabs.tabText(0), kKnownText);
    QStandardItemModel table(1, 2);
    LocKey::setColumn(&table, 1, kKnownKey);
    EXPECT_EQ(table.headerData(1, Qt::Horizontal).toString(), kKnownText);
}

TEST(LocKey, AMissingKeyShowsTheKeyAndAnAbsentKeyShowsNothing)
{
    QLabel label(QStringLiteral("old"));
    LocKey::set(&label, QStringLiteral("Nowhere.In.The.Tables"));
    EXPECT_EQ(label.text(), QStringLiteral("Nowhere.In.The.Tables"));
    LocKey::set(&label, std::nullopt);
    EXPECT_EQ(label.text(), QString());
    EXPECT_FALSE(LocKey::get(&label).has_value());
}

TEST(LocKey, ApplyAllLocalizesMarkedChildrenAndForgetsTheKeys)
{
    QWidget root;
    auto *label = new QLabel(QStringLiteral("unmarked"), &root);
    auto *button = new QPushButton(&root);
    button->setProperty(LocKey::kPropertyName, kKnownKey);
    LocKey::applyAll(&root);
    EXPECT_EQ(button->text(), kKnownText);
    EXPECT_EQ(label->text(), QStringLiteral("unmarked"));
    EXPECT_FALSE(button->property(LocKey::kPropertyName).isValid());
}

struct Scenes : ::testing::Test {
    SceneRegistry registry;
};

TEST_F(Scenes, AMissingSceneGivesNothing)
{
    EXPECT_EQ(registry.instantiate<TipWindowController>(QStringLiteral("Whatsnew")), nullptr);
    EXPECT_EQ(SceneRegistry::shared().instantiate<TipWindowController>(QStringLiteral("Nowhere")), nullptr);
}

TEST_F(Scenes, TheIdentifierDefaultsToThePlainClassName)
{
    registry.registerScene(QStringLiteral("Whatsnew"), QStringLiteral("TipWindowController"),
                           [] { return new TipWindowController; });
    std::unique_ptr<TipWindowController> tip(registry.instantiate<TipWindowController>(QStringLiteral("Whatsnew")));
    EXPECT_NE(tip, nullptr);
    EXPECT_EQ(registry.instantiate<TipWindowController>(QStringLiteral("Main")), nullptr);

    registry.registerScene(QStringLiteral("Main"), QStringLiteral("ListWindowController"),
                           [] { return new Module::ListWindowController; });
    std::unique_ptr<Module::ListWindowController> list(
        registry.instantiate<Module::ListWindowController>(QStringLiteral("Main")));
    EXPECT_NE(list, nullptr);
    EXPECT_EQ(SceneRegistry::plainClassName("Module::ListWindowController"), QStringLiteral("ListWindowController"));
    EXPECT_EQ(SceneRegistry::plainClassName("TaviPaste.ListWindowController"), QStringLiteral("ListWindowController"));
}

TEST_F(Scenes, ASceneOfAnotherClassGivesNothingAndIsNotLeaked)
{
    QPointer<QObject> made;
    registry.registerScene(QStringLiteral("Main"), QStringLiteral("Scene"), [&made] {
        made = new OtherController;
        return made.data();
    });
    EXPECT_EQ(registry.instantiate<TipWindowController>(QStringLiteral("Main"), QStringLiteral("Scene")), nullptr);
    EXPECT_TRUE(made.isNull());
    std::unique_ptr<OtherController> other(
        registry.instantiate<OtherController>(QStringLiteral("Main"), QStringLiteral("Scene")));
    EXPECT_NE(other, nullptr);
}

TEST_F(Scenes, ANibYieldsItsLastViewOfTheClassAndDropsTheRest)
{
    QPointer<QObject> first, second, stray;
    registry.registerNib(QStringLiteral("FilterView"), [&] {
        first = new FilterView;
        stray = new QLabel;
        second = new FilterView;
        return std::vector<QObject *>{first.data(), stray.data(), second.data()};
    });
    std::unique_ptr<FilterView> view(registry.loadFromNib<FilterView>());
    EXPECT_EQ(view.get(), second.data());
    EXPECT_TRUE(first.isNull());
    EXPECT_TRUE(stray.isNull());

    registry.removeNib(QStringLiteral("FilterView"));
    EXPECT_EQ(registry.loadFromNib<FilterView>(), nullptr);
    registry.registerNib(QStringLiteral("FilterView"), [] { return std::vector<QObject *>{new QLabel}; });
    EXPECT_EQ(registry.loadFromNib<FilterView>(), nullptr);
}

#include "LocKeyAndScenesTest.moc"
