#include "shell/StatusBarIcons.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>

namespace {

constexpr int kSize = 44;

// A clipboard; frames 1 to 9 sweep a sheet of paper into it, frame 0 is the resting icon.
QPixmap drawIcon(int frame, bool disabled)
{
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink = disabled ? QColor(150, 150, 150) : QColor(52, 152, 219);
    const QColor paper = disabled ? QColor(220, 220, 220) : QColor(255, 255, 255);

    QPainterPath board;
    board.addRoundedRect(QRectF(7, 6, 30, 35), 5, 5);
    painter.fillPath(board, ink);
    painter.setBrush(QColor(40, 40, 40, disabled ? 90 : 160));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(15, 2, 14, 8), 3, 3);

    // The sheet slides down into the board as the frames advance.
    const double progress = frame == 0 ? 1.0 : frame / 10.0;
    const double top = 12 - 10 * (1.0 - progress);
    painter.setBrush(paper);
    painter.drawRoundedRect(QRectF(12, top, 20, 24), 2, 2);
    painter.setPen(QPen(ink, 2));
    for (int line = 0; line < 3; ++line) {
        const double y = top + 7 + line * 5;
        painter.drawLine(QPointF(15, y), QPointF(line == 2 ? 24 : 29, y));
    }
    if (disabled) {
        painter.setPen(QPen(QColor(200, 60, 60), 3, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(6, 40), QPointF(38, 8));
    }
    return pixmap;
}

} // namespace

namespace StatusBarIcons {

QIcon named(const QString &name)
{
    static QHash<QString, QIcon> cache;
    if (const auto found = cache.constFind(name); found != cache.constEnd())
        return *found;
    QIcon icon;
    static const QString framePrefix = QStringLiteral("statusBarIcon-");
    if (name == QLatin1String("statusBarIcon_disabled")) {
        icon = QIcon(drawIcon(0, true));
    } else if (name.startsWith(framePrefix) && name.size() == framePrefix.size() + 1 && name.back().isDigit()) {
        icon = QIcon(drawIcon(name.back().digitValue(), false));
    } else {
        return {};
    }
    cache.insert(name, icon);
    return icon;
}

} // namespace StatusBarIcons
