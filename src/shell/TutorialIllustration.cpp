#include "shell/TutorialIllustration.h"

#include <QPainter>
#include <algorithm>
#include <QPainterPath>

namespace {
const QColor kRowColors[] = {QColor(0x4A, 0x90, 0xE2), QColor(0x50, 0xC8, 0x78), QColor(0xF5, 0xA6, 0x23),
                             QColor(0xE8, 0x5D, 0x75), QColor(0x9B, 0x59, 0xB6), QColor(0x1A, 0xBC, 0x9C),
                             QColor(0x95, 0xA5, 0xA6)};
constexpr int kRows = 7;

QRectF barRow(const QRectF &bar, int row)
{
    const double height = bar.height() / kRows;
    return QRectF(bar.left(), bar.top() + row * height, bar.width(), height).adjusted(0, 1.5, 0, -1.5);
}

void drawPointer(QPainter &painter, QPointF tip)
{
    QPainterPath arrow;
    arrow.moveTo(tip);
    arrow.lineTo(tip + QPointF(0, 20));
    arrow.lineTo(tip + QPointF(5, 15));
    arrow.lineTo(tip + QPointF(9, 23));
    arrow.lineTo(tip + QPointF(12, 21.5));
    arrow.lineTo(tip + QPointF(8, 14));
    arrow.lineTo(tip + QPointF(14, 14));
    arrow.closeSubpath();
    painter.setPen(QPen(Qt::white, 1.5));
    painter.setBrush(QColor(30, 30, 30));
    painter.drawPath(arrow);
}

// A small window listing items: grey text lines, with optional tag dots.
void drawList(QPainter &painter, const QRectF &frame, int highlighted, bool withTags)
{
    painter.setPen(QPen(QColor(0, 0, 0, 40), 1));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(frame, 8, 8);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(236, 236, 240));
    painter.drawRoundedRect(QRectF(frame.left(), frame.top(), frame.width(), 22), 8, 8);
    painter.drawRect(QRectF(frame.left(), frame.top() + 12, frame.width(), 10));
    for (int i = 0; i < 5; ++i) {
        const QRectF row(frame.left() + 8, frame.top() + 30 + i * 30, frame.width() - 16, 26);
        if (i == highlighted) {
            painter.setBrush(QColor(74, 144, 226, 60));
            painter.drawRoundedRect(row, 5, 5);
        }
        painter.setBrush(QColor(190, 190, 198));
        painter.drawRoundedRect(QRectF(row.left() + 8, row.top() + 7, row.width() * (0.45 + 0.08 * (i % 3)), 5), 2, 2);
        painter.setBrush(QColor(215, 215, 222));
        painter.drawRoundedRect(QRectF(row.left() + 8, row.top() + 16, row.width() * 0.3, 4), 2, 2);
        if (withTags) {
            for (int tag = 0; tag <= i % 3; ++tag) {
                painter.setBrush(kRowColors[(i + tag * 2) % kRows]);
                painter.drawEllipse(QPointF(row.right() - 10 - tag * 12, row.center().y()), 4.5, 4.5);
            }
        }
    }
}

// A kind of copy as a small badge: text, link, image or file.
void drawKindBadge(QPainter &painter, const QPointF &center, int kind)
{
    const QRectF badge(center - QPointF(18, 18), QSizeF(36, 36));
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(badge, 8, 8);
    painter.setPen(QPen(kRowColors[kind], 2.5, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    switch (kind) {
    case 0: // text
        for (int i = 0; i < 3; ++i)
            painter.drawLine(badge.left() + 9, badge.top() + 11 + i * 7, badge.right() - 9 - (i == 2 ? 7 : 0),
                             badge.top() + 11 + i * 7);
        break;
    case 1: // link
        painter.drawEllipse(QRectF(badge.left() + 7, badge.top() + 13, 13, 10));
        painter.drawEllipse(QRectF(badge.left() + 16, badge.top() + 13, 13, 10));
        break;
    case 2: { // image
        painter.drawRect(badge.adjusted(8, 9, -8, -9));
        QPainterPath hill;
        hill.moveTo(badge.left() + 9, badge.bottom() - 10);
        hill.lineTo(badge.center().x() - 2, badge.center().y() - 1);
        hill.lineTo(badge.right() - 9, badge.bottom() - 10);
        painter.drawPath(hill);
        break;
    }
    default: { // file
        QPainterPath page;
        page.moveTo(badge.left() + 11, badge.top() + 7);
        page.lineTo(badge.right() - 15, badge.top() + 7);
        page.lineTo(badge.right() - 10, badge.top() + 12);
        page.lineTo(badge.right() - 10, badge.bottom() - 7);
        page.lineTo(badge.left() + 11, badge.bottom() - 7);
        page.closeSubpath();
        painter.drawPath(page);
        break;
    }
    }
}
} // namespace

TutorialIllustration::TutorialIllustration(PBTutorials page, QWidget *parent) : QWidget(parent), m_page(page)
{
    setMinimumSize(360, 200);
}

void TutorialIllustration::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF screen = QRectF(rect()).adjusted(8, 6, -8, -6);
    QLinearGradient desktop(screen.topLeft(), screen.bottomRight());
    desktop.setColorAt(0, QColor(0x2C, 0x3E, 0x50));
    desktop.setColorAt(1, QColor(0x4C, 0x66, 0x80));
    painter.setPen(Qt::NoPen);
    painter.setBrush(desktop);
    painter.drawRoundedRect(screen, 12, 12);

    const QRectF bar(screen.left() + 10, screen.top() + 18, 26, screen.height() - 36);
    painter.setBrush(QColor(255, 255, 255, 50));
    painter.drawRoundedRect(bar.adjusted(-4, -6, 4, 6), 7, 7);
    const int lifted = m_page == PBTutorials::drag ? 2 : -1;
    for (int row = 0; row < kRows; ++row) {
        painter.setBrush(row == lifted ? QColor(255, 255, 255, 70) : kRowColors[row]);
        painter.drawRoundedRect(barRow(bar, row), 4, 4);
    }

    const QRectF list(bar.right() + 40, screen.top() + 22, std::min(300.0, screen.width() - 110), 182);
    switch (m_page) {
    case PBTutorials::sideBar: {
        painter.setPen(QPen(QColor(255, 255, 255, 200), 2, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(bar.adjusted(-9, -11, 9, 11), 10, 10);
        drawPointer(painter, QPointF(bar.right() - 4, bar.center().y()));
        break;
    }
    case PBTutorials::drag: {
        const QRectF row = barRow(bar, 2);
        const QRectF dragged = row.translated(30, -row.height() * 1.6);
        painter.setPen(QPen(QColor(255, 255, 255, 210), 2, Qt::DashLine));
        painter.drawLine(row.center() + QPointF(16, 0), dragged.center() + QPointF(0, 10));
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 60));
        painter.drawRoundedRect(dragged.translated(2, 3), 4, 4);
        painter.setBrush(kRowColors[2]);
        painter.drawRoundedRect(dragged, 4, 4);
        drawPointer(painter, dragged.center());
        break;
    }
    case PBTutorials::click: {
        const QRectF row = barRow(bar, 1);
        painter.setPen(QPen(QColor(255, 255, 255, 210), 2));
        painter.drawLine(QPointF(row.right() + 6, row.center().y()), QPointF(list.left() - 6, list.top() + 40));
        drawList(painter, list, 1, false);
        drawPointer(painter, row.center());
        break;
    }
    case PBTutorials::tag:
        drawList(painter, list, 2, true);
        drawPointer(painter, QPointF(list.right() - 22, list.top() + 96));
        break;
    case PBTutorials::autoTag: {
        for (int kind = 0; kind < 4; ++kind) {
            const QPointF badge(list.left() + 40 + kind * 64, screen.top() + 60 + (kind % 2) * 28);
            const QRectF row = barRow(bar, kind);
            painter.setPen(QPen(QColor(255, 255, 255, 150), 1.5, Qt::DashLine));
            painter.setBrush(Qt::NoBrush);
            QPainterPath path;
            path.moveTo(badge + QPointF(0, 18));
            path.cubicTo(badge + QPointF(0, 110), QPointF(row.right() + 60, row.center().y()),
                         QPointF(row.right() + 6, row.center().y()));
            painter.drawPath(path);
            drawKindBadge(painter, badge, kind);
        }
        break;
    }
    }
}
