#include "colorbar/ColorBarMetrics.h"

#include "core/ScreenExtensions.h"

#include <QScreen>

#include <algorithm>
#include <cmath>

ColorBarMetrics ColorBarMetrics::forSize(PBColorBarSize size)
{
    switch (size) {
    case PBColorBarSize::large: return {24, 56, 140, 6, 48, 15, 16, 132};
    case PBColorBarSize::small: return {12, 32, 100, 2, 24, 11, 4, 92};
    case PBColorBarSize::medium: break;
    }
    return {18, 44, 120, 4, 36, 13, 10, 112};
}

ColorBarMetrics ColorBarMetrics::current() { return forSize(TaviSettings::shared().barSize()); }

namespace ColorBarPlacement {

bool isDockedRight() { return TaviSettings::shared().barPosition() == PBColorBarPosition::right; }

bool isRounded() { return TaviSettings::shared().barAppearance() == PBColorBarAppearance::rounded; }

QString originKey(quint32 number, const QPoint &frameOrigin)
{
    return TaviSettings::colorBarOriginKey(number, frameOrigin);
}

QString originKey(const QScreen *screen)
{
    return originKey(screenNumber(screen), screen ? screen->geometry().topLeft() : QPoint());
}

int dockedX(const QRect &visibleFrame, bool dockedRight, int width)
{
    return dockedRight ? visibleFrame.x() + visibleFrame.width() - width : visibleFrame.x();
}

bool isAcceptableTop(double top, const QRect &frame, int height)
{
    return std::isfinite(top) && top >= frame.top() + kTopMargin
           && top + height <= frame.top() + frame.height() - kBottomMargin;
}

int centredTop(const QRect &frame, int height) { return frame.top() + std::max(0, (frame.height() - height) / 2); }

std::optional<double> rememberedTop(const QString &key) { return TaviSettings::shared().colorBarOriginY(key); }

void rememberTop(const QString &key, double top) { TaviSettings::shared().setColorBarOriginY(key, top); }

std::optional<Qt::Edge> roundedSide()
{
    if (!isRounded())
        return std::nullopt;
    return isDockedRight() ? Qt::LeftEdge : Qt::RightEdge;
}

QPainterPath tabShape(const QRectF &rect, double radius, std::optional<Qt::Edge> roundedSide)
{
    // Drawn edge by edge (no path union): it is made for every frame of a row's animation.
    QPainterPath path;
    radius = std::min({radius, rect.width() / 2, rect.height() / 2});
    if (!roundedSide || radius <= 0) {
        path.addRect(rect);
        return path;
    }
    const double d = 2 * radius;
    if (*roundedSide == Qt::LeftEdge) {
        path.moveTo(rect.right(), rect.top());
        path.lineTo(rect.right(), rect.bottom());
        path.lineTo(rect.left() + radius, rect.bottom());
        path.arcTo(QRectF(rect.left(), rect.bottom() - d, d, d), 270, -90);
        path.lineTo(rect.left(), rect.top() + radius);
        path.arcTo(QRectF(rect.left(), rect.top(), d, d), 180, -90);
    } else {
        path.moveTo(rect.left(), rect.top());
        path.lineTo(rect.right() - radius, rect.top());
        path.arcTo(QRectF(rect.right() - d, rect.top(), d, d), 90, -90);
        path.lineTo(rect.right(), rect.bottom() - radius);
        path.arcTo(QRectF(rect.right() - d, rect.bottom() - d, d, d), 0, -90);
        path.lineTo(rect.left(), rect.bottom());
    }
    path.closeSubpath();
    return path;
}

} // namespace ColorBarPlacement
