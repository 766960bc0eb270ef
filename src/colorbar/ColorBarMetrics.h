#pragma once
// The measures of the color bar and its rows for each bar size, in device-independent pixels,
// and the stored values they follow. GUI thread (the settings are read when asked).

#include "core/TaviSettings.h"

#include <QPainterPath>
#include <QRect>
#include <QString>

#include <algorithm>
#include <optional>

class QScreen;

struct ColorBarMetrics {
    int barWidth;             // window, add button and narrow tab width
    int rowHeight;            // also the add button's height
    int expandedWidth;        // widened tab and widened window
    int cornerRadius;         // rounded appearance
    int flashWidth;           // the tab's width at the top of a new-item flash
    int nameFontSize;         // points
    int restingContentWidth;  // content width set when a row is configured
    int expandedContentWidth; // content width of a widened tab

    static ColorBarMetrics forSize(PBColorBarSize size);
    // The stored size; values outside the enumeration count as medium.
    static ColorBarMetrics current();

    // (1 + visible categories) rows: one per visible category and one for the add button.
    int barHeight(int visibleCategories) const { return rowHeight * (1 + std::max(0, visibleCategories)); }
};

namespace ColorBarPlacement {
// Distance kept between the bar and the top and bottom of the screen's frame.
constexpr int kTopMargin = 30;
constexpr int kBottomMargin = 10;

bool isDockedRight();
bool isRounded();

// "SideBarOriginY-<number>-x:<origin x>-y:<origin y>", the key of a screen's remembered bar top.
QString originKey(quint32 screenNumber, const QPoint &frameOrigin);
QString originKey(const QScreen *screen);

// The window's x for the docking edge on a screen's visible area.
int dockedX(const QRect &visibleFrame, bool dockedRight, int width);
// Whether a remembered top keeps a bar of that height within the frame's margins.
bool isAcceptableTop(double top, const QRect &frame, int height);
// The top of a bar centred on the frame, never above the frame's top.
int centredTop(const QRect &frame, int height);
// The remembered top of a screen (nothing when absent or not a finite number), and remembering it.
std::optional<double> rememberedTop(const QString &key);
void rememberTop(const QString &key, double top);
// The side of a tab whose corners are rounded: the one facing into the screen; none when square.
std::optional<Qt::Edge> roundedSide();
// A rectangle with the corners of one side rounded (all square without a side).
QPainterPath tabShape(const QRectF &rect, double radius, std::optional<Qt::Edge> roundedSide);
} // namespace ColorBarPlacement
