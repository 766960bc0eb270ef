#include "ColorBarTestSupport.h"

#include "colorbar/ColorBarMetrics.h"
#include "colorbar/PBScreenMonitor.h"
#include "core/ScreenExtensions.h"
#include "core/TaviSettings.h"
#include "platform/Defaults.h"
#include "platform/DockWindow.h"
#include "preferences/CategoryPreferencesViewController.h"

#include <QComboBox>

#include <cmath>

namespace {

using ColorBarLayoutTest = ColorBarTest;

void hideAllBut(PBCategoryManager &manager, int visible)
{
    int shown = 0;
    for (PBCategory category : manager.categories()) {
        if (shown++ < visible)
            continue;
        category.setHidden(true);
        manager.update(category);
    }
}

TEST_F(ColorBarLayoutTest, TheBarIsOneRowPerVisibleCategoryPlusTheAddButton)
{
    hideAllBut(categories(), 3);
    MainViewController &view = makeBar();
    EXPECT_EQ(barWindow().size(), QSize(18, 176));
    EXPECT_EQ(view.numberOfRows(), 8); // hidden rows stay in the table, without height
    EXPECT_EQ(view.rowView(5)->height(), 0);
    EXPECT_EQ(view.addButtonGeometry(), QRect(0, 132, 18, 44));

    Defaults::standard().setValue(QStringLiteral("colorBarSize"), 7);
    view.updateBarSize();
    EXPECT_EQ(barWindow().size(), QSize(18, 176));
    Defaults::standard().setValue(QStringLiteral("colorBarSize"), -1);
    EXPECT_EQ(ColorBarMetrics::current().rowHeight, 44);
    TaviSettings::shared().setBarSize(PBColorBarSize::large);
    view.updateBarSize();
    EXPECT_EQ(barWindow().size(), QSize(24, 224));
}

TEST_F(ColorBarLayoutTest, TheRememberedTopIsKeyedByScreenNumberAndOrigin)
{
    EXPECT_EQ(ColorBarPlacement::originKey(5, QPoint(0, 0)), QStringLiteral("SideBarOriginY-5-x:0.0-y:0.0"));
    EXPECT_EQ(ColorBarPlacement::originKey(7, QPoint(-1440, 1920)),
              QStringLiteral("SideBarOriginY-7-x:-1440.0-y:1920.0"));
}

TEST_F(ColorBarLayoutTest, AFirstPlacementCentresTheBarAndASecondReusesTheRememberedTop)
{
    makeBar();
    const QRect frame = leftScreen()->geometry();
    const QString key = ColorBarPlacement::originKey(leftScreen());
    const int height = barWindow().height();
    EXPECT_EQ(barWindow().y(), (frame.height() - height) / 2);
    EXPECT_EQ(Defaults::standard().value(key).toDouble(), barWindow().y());
    EXPECT_EQ(barWindow().x(), 0);

    Defaults::standard().setValue(key, 200.0);
    bar().placeSideBarOnScreen();
    EXPECT_EQ(barWindow().y(), 200);
}

TEST_F(ColorBarLayoutTest, ARememberedTopOutsideTheMarginsOrNotANumberIsReplacedByTheCentre)
{
    makeBar();
    const QRect frame = leftScreen()->geometry();
    const QString key = ColorBarPlacement::originKey(leftScreen());
    const int height = barWindow().height();
    const int centre = (frame.height() - height) / 2;
    const auto placedAt = [&](const QVariant &stored) {
        Defaults::standard().setValue(key, stored);
        bar().placeSideBarOnScreen();
        return barWindow().y();
    };
    EXPECT_EQ(placedAt(29.0), centre);
    EXPECT_EQ(Defaults::standard().value(key).toDouble(), centre) << "the centre is written back";
    EXPECT_EQ(placedAt(30.0), 30);
    EXPECT_EQ(placedAt(double(frame.height() - 10 - height)), frame.height() - 10 - height);
    EXPECT_EQ(placedAt(double(frame.height() - 9 - height)), centre);
    EXPECT_EQ(placedAt(QStringLiteral("up high")), centre);
    EXPECT_EQ(placedAt(std::nan("")), centre);
}

TEST_F(ColorBarLayoutTest, DockedRightTheBarTouchesTheRightEdgeOfTheVisibleFrame)
{
    TaviSettings::shared().setBarPosition(PBColorBarPosition::right);
    TaviSettings::shared().setBarSize(PBColorBarSize::large);
    makeBar();
    EXPECT_EQ(barWindow().x(), 1416);
    EXPECT_EQ(bar().addButtonGeometry().right(), barWindow().width() - 1);
}

TEST_F(ColorBarLayoutTest, TheBarKeepsItsEdgesWholeStripAsWideAsItGrows)
{
    const QRect visible = leftScreen()->availableGeometry();
    const int wide = ColorBarMetrics::current().expandedWidth;
    makeBar();
    EXPECT_EQ(DockWindow::reservedAreas(leftScreen()),
              QList<QRect>{QRect(visible.left(), visible.top(), wide, visible.height())});
    TaviSettings::shared().setBarPosition(PBColorBarPosition::right);
    bar().placeSideBarOnScreen();
    EXPECT_EQ(DockWindow::reservedAreas(leftScreen()),
              QList<QRect>{QRect(visible.right() - wide + 1, visible.top(), wide, visible.height())});
    EXPECT_TRUE(DockWindow::reservedAreas(rightScreen()).isEmpty());
    // A hidden bar keeps nothing.
    barWindow().hide();
    EXPECT_TRUE(DockWindow::reservedAreas(leftScreen()).isEmpty());
}

TEST_F(ColorBarLayoutTest, ATinyScreenNeverPutsTheBarAboveItsTop)
{
    const QRect tiny(100, 50, 1, 1);
    EXPECT_FALSE(ColorBarPlacement::isAcceptableTop(50, tiny, 100));
    EXPECT_EQ(ColorBarPlacement::centredTop(tiny, 100), 50);
    EXPECT_EQ(ColorBarPlacement::dockedX(tiny, true, 18), 83);
    EXPECT_FALSE(
        ColorBarPlacement::isAcceptableTop(std::numeric_limits<double>::infinity(), QRect(0, 0, 900, 900), 10));
}

TEST_F(ColorBarLayoutTest, DraggingTheAddButtonMovesTheBarVerticallyWithinTheMargins)
{
    MainViewController &view = makeBar();
    const QString key = ColorBarPlacement::originKey(leftScreen());
    const int startTop = barWindow().y();
    const QPoint onButton = barWindow().mapToGlobal(view.addButtonGeometry().center());

    // A move that is not a drag of the button never writes a position.
    Defaults::standard().remove(key);
    view.mouseDragged(onButton + QPoint(200, 0));
    EXPECT_FALSE(Defaults::standard().value(key).isValid());

    view.addButtonPressed(onButton);
    view.mouseDragged(onButton);
    view.mouseDragged(onButton + QPoint(40, -100)); // the pointer may leave the button once dragging
    EXPECT_TRUE(view.isDraggingBar());
    EXPECT_EQ(barWindow().geometry().topLeft(), QPoint(0, startTop - 100));
    // Past the top margin the bar stays where it was, and the remembered top is its real one.
    view.mouseDragged(QPoint(onButton.x(), -2000));
    EXPECT_EQ(barWindow().y(), startTop - 100);
    view.mouseDragged(QPoint(onButton.x(), 5000));
    EXPECT_EQ(barWindow().y(), startTop - 100);
    EXPECT_EQ(Defaults::standard().value(key).toDouble(), startTop - 100);
    view.addButtonReleased(onButton + QPoint(0, 5000));
    EXPECT_FALSE(view.isDraggingBar());
    EXPECT_FALSE(view.categoryColorPickWindowController()->isVisible()) << "a drag is not a click";

    view.addButtonPressed(onButton);
    view.addButtonReleased(barWindow().mapToGlobal(view.addButtonGeometry().center()));
    EXPECT_TRUE(view.categoryColorPickWindowController()->isVisible());
    EXPECT_FALSE(view.categoryColorPickWindowController()->category().has_value());
    view.categoryColorPickWindowController()->close();
}

// The geometry a window has each time it is shown: what the window system is asked to map.
class ShownPlaces : public QObject {
public:
    explicit ShownPlaces(QWidget &window) : m_window(window) { window.installEventFilter(this); }
    QList<QRect> places;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            places.append(m_window.geometry());
        return false;
    }

private:
    QWidget &m_window;
};

TEST_F(ColorBarLayoutTest, TheBarIsShownOnlyAtItsPlaceOnStartAndOnEveryReturn)
{
    TaviSettings::shared().setBarPosition(PBColorBarPosition::right);
    Defaults::standard().setValue(ColorBarPlacement::originKey(leftScreen()), 200.0);
    PBScreenMonitor monitor; // no screen taken yet, as when the program starts
    MainWindowController window(categories(), *sharedShell().manager, monitor);
    ShownPlaces shown(window);
    window.showBar();
    sharedShell().settle();
    const int width = ColorBarMetrics::current().barWidth;
    const QRect stored(leftScreen()->availableGeometry().right() + 1 - width, 200, width, window.height());
    EXPECT_EQ(shown.places, QList<QRect>{stored});
    EXPECT_EQ(window.geometry(), stored);
    EXPECT_EQ(monitor.currentScreen(), leftScreen());

    // Hidden, then another screen takes it: it comes back there, at that screen's centre.
    MainViewController &view = *window.contentViewController();
    view.collapsePanel();
    monitor.setCurrentScreen(rightScreen());
    const QRect right = rightScreen()->availableGeometry();
    const QRect centred(right.right() + 1 - width, right.top() + (right.height() - window.height()) / 2, width,
                        window.height());
    EXPECT_EQ(shown.places, (QList<QRect>{stored, centred}));
    EXPECT_EQ(window.geometry(), centred);

    // The hot key brings it back where it was.
    view.collapsePanel();
    view.toggleSideBarPanel();
    EXPECT_EQ(shown.places, (QList<QRect>{stored, centred, centred}));
}

TEST_F(ColorBarLayoutTest, AMoveReportedByTheWindowSystemPutsTheBarBackAtItsEdgeAndStoredTop)
{
    TaviSettings::shared().setBarPosition(PBColorBarPosition::right);
    Defaults::standard().setValue(ColorBarPlacement::originKey(leftScreen()), 200.0);
    makeBar();
    const QRect place = barWindow().geometry();
    ASSERT_EQ(place.topLeft(), QPoint(1422, 200));

    // A report of an old place (where the window was made) comes after the bar was placed.
    barWindow().move(622, 0);
    bar().keepDockedEdge();
    EXPECT_EQ(barWindow().geometry(), place);

    // A window manager that keeps moving it away is not fought forever.
    for (int report = 2; report <= 5; ++report) {
        barWindow().move(700, 200);
        bar().keepDockedEdge();
        EXPECT_EQ(barWindow().geometry(), place) << "report " << report;
    }
    barWindow().move(700, 200);
    bar().keepDockedEdge();
    EXPECT_EQ(barWindow().pos(), QPoint(700, 200));
}

} // namespace

namespace {

TEST_F(ColorBarLayoutTest, AScreenChosenInTheAppearancePaneTakesTheBar)
{
    MainViewController &view = makeBar();
    ASSERT_TRUE(leftScreen()->geometry().contains(barWindow().geometry()));
    CategoryPreferencesViewController pane;
    pane.reloadFromSettings();

    pane.screenOptionPopupBtn->setCurrentIndex(int(PBColorBarDisplayScreenOption::specific));
    Q_EMIT pane.screenOptionPopupBtn->activated(int(PBColorBarDisplayScreenOption::specific));
    const int right = pane.screenPopupBtn->findData(QVariant::fromValue(qint64(screenNumber(rightScreen()))));
    ASSERT_GE(right, 0);
    pane.screenPopupBtn->setCurrentIndex(right);
    Q_EMIT pane.screenPopupBtn->activated(right);
    sharedShell().settle();
    EXPECT_TRUE(rightScreen()->geometry().contains(barWindow().geometry()));

    // Back to the screen the bar was shown on.
    pane.screenOptionPopupBtn->setCurrentIndex(int(PBColorBarDisplayScreenOption::initial));
    Q_EMIT pane.screenOptionPopupBtn->activated(int(PBColorBarDisplayScreenOption::initial));
    sharedShell().settle();
    EXPECT_TRUE(leftScreen()->geometry().contains(barWindow().geometry()));
    EXPECT_FALSE(view.panelIsHidden());
}

} // namespace
