#include "colorbar/ColorBarMetrics.h"

#include "core/ScreenExtensions.h"
#include "platform/Defaults.h"

#include <QScreen>

#include <algorithm>
#include <cmath>

ColorBarMetrics ColorBarMetrics::forSize(PBColorBarSize size)
{
    switch (size) {
    case PBColorBarSize::large:
        return {24, 56, 140, 6, 48, 15, 16, 132};
    case PBColorBarSize::small:
        return {12, 32, 100, 2, 24, 11, 4, 92};
    case PBColorBarSize::medium:
        break;
    }
    return {18, 44, 120, 4, 36, 13, 10, 112};
}

ColorBarMetrics ColorBarMetrics::current()
{
    return forSize(TaviSettings::shared().barSize());
}

namespace ColorBarPlacement {

namespace {
// Shortest decimal form of a coordinate with at least one fractional digit ("0.0", "-1440.0").
QString coordinate(double value)
{
    QString text = QString::number(value, 'g', QLocale::FloatingPointShortest);
    if (!text.contains(QLatin1Char('.')) && !text.contains(QLatin1Char('e')))
        text += QStringLiteral(".0");
    return text;
}
} // namespace

bool isDockedRight()
{
    return TaviSettings::shared().barPosition() == PBColorBarPosition::right;
}

bool isRounded()
{
    return TaviSettings::shared().barAppearance() == PBColorBarAppearance::rounded;
}

QString originKey(quint32 number, const QPoint &frameOrigin)
{
    return QStringLiteral("SideBarOriginY-") + QString::number(number) + QStringLiteral("-x:")
           + coordinate(frameOrigin.x()) + QStringLiteral("-y:") + coordinate(frameOrigin.y());
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

int centredTop(const QRect &frame, int height)
{
    return frame.top() + std::max(0, (frame.height() - height) / 2);
}

std::optional<double> rememberedTop(const QString &key)
{
    const QVariant stored = Defaults::standard().value(key);
    if (!stored.isValid())
        return std::nullopt;
    const auto type = stored.typeId();
    if (type != QMetaType::Double && type != QMetaType::Int && type != QMetaType::LongLong)
        return std::nullopt;
    const double value = stored.toDouble();
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

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
