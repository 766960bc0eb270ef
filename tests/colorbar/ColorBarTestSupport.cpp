#include "ColorBarTestSupport.h"

#include "colorbar/ColorBarScenes.h"
#include "colorbar/PBScreenMonitor.h"
#include "controls/SceneRegistry.h"
#include "core/Alert.h"
#include "core/TaviSettings.h"
#include "history/CategoryWindowController.h"
#include "platform/Defaults.h"
#include "platform/MouseUpMonitor.h"
#include "platform/memory/FakeMouseUpMonitor.h"
#include "shell/ShellSeams.h"

#include <QCursor>
#include <QGuiApplication>

ShellHarness &sharedShell()
{
    static ShellHarness *shell = [] {
        auto *made = new ShellHarness; // lives as long as the list window made on it
        removeWhenTheTestsEnd(made->home->root());
        SceneRegistry::shared().registerScene(QStringLiteral("Main"), QStringLiteral("CategoryWindowController"),
                                              [made] { return new CategoryWindowController(*made->manager); });
        return made;
    }();
    return *shell;
}

void ColorBarTest::SetUp()
{
    sharedShell();
    MouseUpMonitor::setShared(std::make_unique<FakeMouseUpMonitor>());
    ColorBarScenes::registerAll();
    for (const QString &key : Defaults::standard().keys()) {
        if (key.startsWith(QStringLiteral("SideBarOriginY-")) || key.startsWith(QStringLiteral("colorBar"))
            || key == QStringLiteral("categoryColors") || key == QStringLiteral("needAutoHidePanel")
            || key == QStringLiteral("needShowWhenMouseEntered") || key == QStringLiteral("animateWhenAddItem")
            || key == QStringLiteral("needShowWhenEnterFullscreen") || key == QStringLiteral("needShowHideCategoryTips")
            || key == QStringLiteral("hidePanelDuration"))
            Defaults::standard().remove(key);
    }
    TaviSettings::shared().setBarScreenOption(PBColorBarDisplayScreenOption::active);
    PBScreenMonitor::shared().stopMonitoring();
    PBScreenMonitor::shared().setCurrentScreen(leftScreen());
    setAlertResponder([](const AlertRequest &) { return ModalResponse::alertFirstButtonReturn; });
    QCursor::setPos(QPoint(700, 450)); // away from where a bar is made and placed
}

void ColorBarTest::TearDown()
{
    setAlertResponder({});
    m_window.reset();
    if (CategoryWindowController *list = existingCategoryWindowController())
        list->close();
    for (PBCategory category : categories().categories()) {
        if (category.type() == PBDefaultCategory::custom) {
            categories().deleteCategory(category);
        } else if (category.isHidden()) {
            category.setHidden(false);
            categories().update(category);
        }
    }
    categories().reorder(categories().defaultCategories());
    sharedShell().settle();
}

MainViewController &ColorBarTest::makeBar()
{
    m_window = std::make_unique<MainWindowController>(categories(), *sharedShell().manager, PBScreenMonitor::shared());
    m_window->showBar();
    sharedShell().settle();
    return bar();
}

int ColorBarTest::rowOf(PBDefaultCategory kind)
{
    const QList<PBCategory> all = categories().categories();
    for (int i = 0; i < all.size(); ++i) {
        if (all.at(i).type() == kind)
            return i;
    }
    return -1;
}

PBCategory ColorBarTest::addCustom(const QString &name)
{
    const PBCategory category(std::nullopt, name, QColor(0x8E44AD), QColor(0xECF0F1), PBDefaultCategory::custom, false,
                              false);
    categories().add(category);
    return category;
}

QScreen *ColorBarTest::leftScreen() { return QGuiApplication::screens().value(0); }

QScreen *ColorBarTest::rightScreen() { return QGuiApplication::screens().value(1); }
