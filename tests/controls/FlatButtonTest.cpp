#include "controls/FlatButton.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

void sendMouse(QWidget *widget, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent event(type, QPointF(pos), widget->mapToGlobal(QPointF(pos)), button, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}
void press(QWidget *w, QPoint p) { sendMouse(w, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton); }
void moveHeld(QWidget *w, QPoint p) { sendMouse(w, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton); }
void release(QWidget *w, QPoint p) { sendMouse(w, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton); }

struct PaletteButton : ::testing::Test {
    FlatButton button;
    void SetUp() override
    {
        button.resize(120, 32);
        button.setButtonColor(Qt::white);
        button.setActiveButtonColor(Qt::red);
        button.setBorderColor(Qt::gray);
        button.setActiveBorderColor(Qt::blue);
    }
    QColor background() const { return *button.layerColor(FlatButton::LayerColor::Background).value(); }
    double backgroundDuration() const
    {
        return button.layerColor(FlatButton::LayerColor::Background).animationDuration();
    }
};

QImage squareImage(int side)
{
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    return image;
}

} // namespace

TEST_F(PaletteButton, PressTurnsOnAtOnceAndReleaseInsideClicksAndFadesBackInATenth)
{
    QSignalSpy clicked(&button, &QAbstractButton::clicked);
    press(&button, {10, 10});
    EXPECT_EQ(button.state(), FlatButton::kOnState);
    EXPECT_EQ(background(), QColor(Qt::red));
    EXPECT_DOUBLE_EQ(backgroundDuration(), 0.0);
    EXPECT_EQ(clicked.count(), 0);

    release(&button, {12, 12});
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(button.state(), FlatButton::kOffState);
    EXPECT_EQ(background(), QColor(Qt::white));
    EXPECT_DOUBLE_EQ(backgroundDuration(), 0.1);
    EXPECT_EQ(*button.layerColor(FlatButton::LayerColor::Border).value(), QColor(Qt::gray));
}

TEST_F(PaletteButton, LeavingWhilePressedRestoresTheStateAndTheReleaseSendsNothing)
{
    QSignalSpy clicked(&button, &QAbstractButton::clicked);
    press(&button, {10, 10});
    moveHeld(&button, {200, 10});
    EXPECT_EQ(button.state(), FlatButton::kOffState);
    EXPECT_EQ(background(), QColor(Qt::white));
    // Coming back does not resume the press.
    moveHeld(&button, {10, 10});
    EXPECT_EQ(button.state(), FlatButton::kOffState);
    release(&button, {10, 10});
    EXPECT_EQ(clicked.count(), 0);
    EXPECT_EQ(button.state(), FlatButton::kOffState);
}

TEST_F(PaletteButton, ANonMomentaryButtonStaysToggledAfterEachClick)
{
    button.setMomentary(false);
    QSignalSpy clicked(&button, &QAbstractButton::clicked);
    press(&button, {5, 5});
    release(&button, {5, 5});
    EXPECT_EQ(button.state(), FlatButton::kOnState);
    EXPECT_EQ(background(), QColor(Qt::red));
    press(&button, {5, 5});
    release(&button, {5, 5});
    EXPECT_EQ(button.state(), FlatButton::kOffState);
    EXPECT_EQ(clicked.count(), 2);
}

TEST_F(PaletteButton, SettingTheColourALayerAlreadyShowsStartsNoAnimation)
{
    button.setButtonColor(Qt::white);
    EXPECT_FALSE(button.layerColor(FlatButton::LayerColor::Background).hasAnimation());
    button.setButtonColor(Qt::green);
    EXPECT_TRUE(button.layerColor(FlatButton::LayerColor::Background).hasAnimation());
    EXPECT_EQ(background(), QColor(Qt::green));
}

TEST_F(PaletteButton, SetOnAppliesThePaletteOnlyWhenTheStateChanges)
{
    button.setOn(true);
    EXPECT_EQ(background(), QColor(Qt::red));
    EXPECT_EQ(button.titleColor(), button.activeTextColor());
    button.setActiveButtonColor(Qt::yellow);
    EXPECT_EQ(background(), QColor(Qt::yellow)); // re-applied for the on state
    button.setOn(true);
    EXPECT_TRUE(button.isOn());
}

TEST(FlatButton, DisabledIsDrawnAtHalfOpacityAndClicksPassThroughToWhatIsBehind)
{
    struct Recorder : QWidget {
        int presses = 0;
        void mousePressEvent(QMouseEvent *) override { ++presses; }
    } behind;
    behind.resize(200, 100);
    auto *button = new FlatButton(&behind);
    button->setGeometry(20, 20, 100, 40);
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    behind.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&behind));

    button->setEnabled(false);
    EXPECT_DOUBLE_EQ(button->alphaValue(), 0.5);
    QTest::mouseClick(behind.windowHandle(), Qt::LeftButton, {}, QPoint(60, 40));
    EXPECT_EQ(behind.presses, 1);
    EXPECT_EQ(button->state(), FlatButton::kOffState);

    button->setEnabled(true);
    EXPECT_DOUBLE_EQ(button->alphaValue(), 1.0);
    QTest::mouseClick(behind.windowHandle(), Qt::LeftButton, {}, QPoint(60, 40));
    EXPECT_EQ(behind.presses, 1);
    EXPECT_EQ(clicked.count(), 1);
}

TEST(FlatButton, TitleKeepsItsFixedMarginsBesideTheImage)
{
    FlatButton button;
    button.resize(200, 40);
    button.setTitle(QStringLiteral("Paste"));
    button.setImage(squareImage(16));

    button.setImagePosition(FlatButton::ImagePosition::ImageLeft);
    EXPECT_DOUBLE_EQ(button.titleFrame().right(), 200 - 6);
    const double tw = button.titleFrame().width();
    const double gap = std::round((200 - (16 + tw)) / 3);
    EXPECT_DOUBLE_EQ(button.iconFrame().left(), gap);
    EXPECT_DOUBLE_EQ(button.iconFrame().top(), 12);

    button.setImagePosition(FlatButton::ImagePosition::ImageRight);
    EXPECT_DOUBLE_EQ(button.titleFrame().left(), 2);
    EXPECT_DOUBLE_EQ(button.iconFrame().right(), 200 - gap);
    EXPECT_EQ(button.alternateIconFrame(), button.iconFrame());

    button.setImagePosition(FlatButton::ImagePosition::ImageAbove);
    EXPECT_DOUBLE_EQ(button.titleFrame().bottom(), 40 - 2);
    button.setImagePosition(FlatButton::ImagePosition::ImageBelow);
    EXPECT_DOUBLE_EQ(button.titleFrame().top(), 2);
}

TEST(FlatButton, WithoutAnImageOnlyTheTitleIsLaidOutCentred)
{
    FlatButton button;
    button.resize(101, 41);
    button.setTitle(QStringLiteral("Copy"));
    const QRectF title = button.titleFrame();
    EXPECT_DOUBLE_EQ(title.left(), std::round((101 - title.width()) / 2));
    EXPECT_DOUBLE_EQ(title.top(), std::round((41 - title.height()) / 2));
    EXPECT_EQ(button.iconFrame().size(), QSizeF(0, 0));
    button.setImage(QImage());
    EXPECT_EQ(button.titleFrame(), title);
}

TEST(FlatButton, GlowFollowsTheStateOnlyWithARadiusAndAnOpacity)
{
    FlatButton button;
    button.setActiveIconColor(Qt::cyan);
    button.setOn(true);
    EXPECT_EQ(*button.layerColor(FlatButton::LayerColor::Glow).value(), QColor(Qt::transparent));
    EXPECT_FALSE(button.layerColor(FlatButton::LayerColor::Glow).hasAnimation());

    button.setGlowRadius(4);
    EXPECT_EQ(*button.layerColor(FlatButton::LayerColor::Glow).value(), QColor(Qt::transparent));
    button.setGlowOpacity(0.8f);
    EXPECT_EQ(*button.layerColor(FlatButton::LayerColor::Glow).value(), QColor(Qt::cyan));
    button.setOn(false);
    EXPECT_EQ(*button.layerColor(FlatButton::LayerColor::Glow).value(), QColor(Qt::transparent));
}

TEST(FlatButton, AnAlternateImageCrossFadesWithTheImage)
{
    FlatButton button;
    button.setImage(squareImage(12));
    button.setAlternateImage(squareImage(12));
    button.setIconColor(Qt::gray);
    button.setActiveIconColor(Qt::black);
    button.setOn(true);
    EXPECT_EQ(button.layerColor(FlatButton::LayerColor::Icon).value()->alpha(), 0);
    EXPECT_EQ(*button.layerColor(FlatButton::LayerColor::AlternateIcon).value(), QColor(Qt::black));
    button.setOn(false);
    EXPECT_EQ(*button.layerColor(FlatButton::LayerColor::Icon).value(), QColor(Qt::gray));
    EXPECT_EQ(button.layerColor(FlatButton::LayerColor::AlternateIcon).value()->alpha(), 0);
}

TEST(FlatButton, TheIconIsPaintedInItsColourThroughTheImageMask)
{
    FlatButton button;
    button.resize(40, 40);
    button.setButtonColor(Qt::white);
    button.setIconColor(Qt::red);
    button.setImage(squareImage(10));
    button.setImagePosition(FlatButton::ImagePosition::ImageLeft);
    const QPointF inIcon = button.iconFrame().center();
    // The colour animations end in the colours set.
    EXPECT_TRUE(waitUntil([&] {
        const QImage shot = button.grab().toImage();
        return shot.pixelColor(inIcon.toPoint()) == QColor(Qt::red) && shot.pixelColor(20, 3) == QColor(Qt::white);
    }));
    const QImage shot = button.grab().toImage();
    EXPECT_EQ(shot.pixelColor(inIcon.toPoint()), QColor(Qt::red));
    EXPECT_EQ(shot.pixelColor(20, 3), QColor(Qt::white));
}
