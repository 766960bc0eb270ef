// The color bar of the real program as the X server shows it: started again and again with a
// stored place at either edge, it is mapped once, there, and stays there while the window manager
// and the pointer have their say; its add button works where it is shown.

#include "EndToEndSupport.h"

#include "colorbar/ColorBarMetrics.h"
#include "core/TaviSettings.h"
#include "support/TestEnvironment.h"
#include "support/WindowPlaces.h"

#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>

#include <gtest/gtest.h>

using namespace EndToEnd;

namespace {

const QByteArray kBarTitle = "TaviPaste Color Bar";

bool movePointer(const QPoint &to)
{
    return xdotool({QStringLiteral("mousemove"), QString::number(to.x()), QString::number(to.y())});
}

// The id of the bar's shown window; empty while none is shown.
QString barWindowId()
{
    const QByteArray found =
        xdotoolOutput({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                       QStringLiteral("^%1$").arg(QString::fromLatin1(kBarTitle))});
    return found.isEmpty() || found.contains('\n') ? QString() : QString::fromLatin1(found);
}

// The bar's window as the X server reports it; empty while none is shown.
QRect barFromX()
{
    const QString id = barWindowId();
    if (id.isEmpty())
        return {};
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("Position: (-?\\d+),(-?\\d+).*Geometry: (\\d+)x(\\d+)"),
                           QRegularExpression::DotMatchesEverythingOption)
            .match(QString::fromUtf8(xdotoolOutput({QStringLiteral("getwindowgeometry"), id})));
    if (!match.hasMatch())
        return {};
    return QRect(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt(),
                 match.captured(4).toInt());
}

// The extents of the bar's shape (its tabs and add button) as the X server has it, within the
// window; empty while no bar or no shape is shown.
QRect barShapeFromX()
{
    const QString id = barWindowId();
    if (id.isEmpty())
        return {};
    QProcess xwininfo;
    xwininfo.start(QStringLiteral("xwininfo"), {QStringLiteral("-shape"), QStringLiteral("-id"), id});
    if (!xwininfo.waitForFinished(5000) || xwininfo.exitCode() != 0)
        return {};
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("Window shape extents:\\s*(\\d+)x(\\d+)\\+(-?\\d+)\\+(-?\\d+)"))
            .match(QString::fromUtf8(xwininfo.readAllStandardOutput()));
    if (!match.hasMatch())
        return {};
    return QRect(match.captured(3).toInt(), match.captured(4).toInt(), match.captured(1).toInt(),
                 match.captured(2).toInt());
}

bool isCategoryEditorShown()
{
    return !xdotoolOutput({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                           QStringLiteral("^Category$")})
                .isEmpty();
}

} // namespace

TEST(EndToEnd, TheBarComesUpAtItsStoredPlaceOnEveryStartAtEitherEdge)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") || !hasProgram("xdotool"))
        GTEST_SKIP() << "needs an X display with xdotool";
    QScreen *screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const QRect area = screen->availableGeometry();
    const ColorBarMetrics medium = ColorBarMetrics::forSize(PBColorBarSize::medium);
    // A top of its own, not the centred one the bar takes without a stored place.
    constexpr int kStoredTop = 300;

    for (const PBColorBarPosition edge : {PBColorBarPosition::right, PBColorBarPosition::left}) {
        const bool right = edge == PBColorBarPosition::right;
        const int barX = right ? area.right() + 1 - medium.barWidth : area.left();
        for (int start = 1; start <= 5; ++start) {
            SCOPED_TRACE((right ? "docked right, start " : "docked left, start ") + std::to_string(start));
            TaviSession session;
            const QProcessEnvironment environment = isolatedEnvironment(session);
            writeDefaults(environment, {{QStringLiteral("colorBarPosition"), rawValue(edge)},
                                        {ColorBarPlacement::originKey(screen), double(kStoredTop)}});
            ASSERT_TRUE(movePointer(area.center()));
            WindowPlaces places;
            ASSERT_TRUE(places.isConnected());
            TaviProcess tavi(environment);

            ASSERT_TRUE(waitUntil([&] { return !places.placesOf(kBarTitle).isEmpty(); }, 20000)) << "no bar was mapped";
            const QRect mapped = places.placesOf(kBarTitle).first();
            EXPECT_EQ(mapped.topLeft(), QPoint(barX, kStoredTop)) << WindowPlaces::describe(places.placesOf(kBarTitle));
            EXPECT_EQ(mapped.width(), medium.barWidth);

            // The pointer over a row widens the bar and the row opens fully and stays open while
            // the pointer rests on it: the bar's shape is as wide as the open tab. By then the
            // program has taken in all the X server told it before, the window manager's answer to
            // the mapping included.
            const QPoint row(right ? area.right() - medium.barWidth / 2 : area.left() + medium.barWidth / 2,
                             kStoredTop + medium.rowHeight + medium.rowHeight / 2);
            ASSERT_TRUE(movePointer(row));
            EXPECT_TRUE(waitUntil(
                [&] {
                    return places.placesOf(kBarTitle).last().width() == medium.expandedWidth
                           && barShapeFromX().width() == medium.expandedWidth;
                },
                5000))
                << WindowPlaces::describe(places.placesOf(kBarTitle)) << "; shape " << barShapeFromX().width()
                << " wide";
            ASSERT_TRUE(movePointer(area.center()));
            EXPECT_TRUE(waitUntil([&] { return places.placesOf(kBarTitle).last().width() == medium.barWidth; }, 5000))
                << WindowPlaces::describe(places.placesOf(kBarTitle));

            // Never anywhere but at its top and its edge.
            for (const QRect &place : places.placesOf(kBarTitle)) {
                EXPECT_EQ(place.top(), kStoredTop) << WindowPlaces::describe(places.placesOf(kBarTitle));
                EXPECT_EQ(right ? place.right() : place.left(), right ? area.right() : area.left())
                    << WindowPlaces::describe(places.placesOf(kBarTitle));
            }
            EXPECT_EQ(barFromX().topLeft(), QPoint(barX, kStoredTop));

            // The add button at its foot, clicked where the X server shows it, opens the category
            // editor: the program knows where its bar is, too.
            const QPoint add(row.x(), kStoredTop + mapped.height() - medium.rowHeight / 2);
            ASSERT_TRUE(xdotool({QStringLiteral("mousemove"), QString::number(add.x()), QString::number(add.y()),
                                 QStringLiteral("click"), QStringLiteral("1")}));
            EXPECT_TRUE(waitUntil([] { return isCategoryEditorShown(); }, 5000)) << "the add button opened nothing";
            ASSERT_TRUE(movePointer(area.center())); // off the bar's place, for whatever runs next
            EXPECT_TRUE(tavi.terminate()) << tavi.standardError().right(2000).constData();
            if (HasFailure()) {
                session.printLogs();
                return;
            }
        }
    }
}
