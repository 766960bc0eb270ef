#include "colorbar/ColorBarRowDrag.h"

#include "capture/TaviPBManager.h"
#include "colorbar/CategoryCellView.h"
#include "colorbar/CategoryPasteboardWriter.h"
#include "colorbar/MainViewController.h"
#include "core/NotificationNames.h"
#include "core/PBCategoryManager.h"
#include "platform/Analytics.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QPainter>

#include <algorithm>

namespace {
const char *const kLogTag = "MainViewController";
} // namespace

ColorBarRowDrag::ColorBarRowDrag(MainViewController &bar, const std::vector<CategoryCellView *> &rows,
                                 PBCategoryManager &categories, TaviPBManager &history)
    : m_bar(bar),
      m_rows(rows),
      m_categories(categories),
      m_history(history)
{
}

void ColorBarRowDrag::start(CategoryCellView *row, int index)
{
    auto *drag = new QDrag(&m_bar);
    drag->setMimeData(CategoryPasteboardWriter(*row->category(), index).mimeData());
    QPixmap image(row->tabGeometry().size());
    image.fill(row->category()->backgroundColor());
    drag->setPixmap(image);
    LOG_DEBUG(kLogTag, QStringLiteral("----begin drag----"));
    m_inProgress = true;
    drag->exec(Qt::MoveAction);
    m_inProgress = false;
    LOG_DEBUG(kLogTag, QStringLiteral("----end drag----"));
}

int ColorBarRowDrag::dropRowAt(const QPoint &position) const
{
    for (int i = 0; i < int(m_rows.size()); ++i) {
        const CategoryCellView *row = m_rows[size_t(i)];
        if (!row->isVisible())
            continue;
        if (position.y() < row->y() + row->height() / 2)
            return i;
    }
    return m_bar.numberOfRows();
}

bool ColorBarRowDrag::validate(const QObject *source, const QMimeData *data) const
{
    return source == &m_bar && data && data->hasFormat(CategoryPasteboardWriter::kIndexType);
}

bool ColorBarRowDrag::accept(const QObject *source, const QMimeData *data, int row)
{
    if (!validate(source, data) || row < 0 || row > m_bar.numberOfRows())
        return false;
    const QList<PBCategory> current = m_categories.categories();
    const std::optional<QList<int>> dragged = CategoryPasteboardWriter::draggedRows(data, current);
    if (!dragged)
        return false;
    m_categories.reorder(reorderedCategories(current, *dragged, row));
    m_history.saveScheduler().schedule();
    Analytics::trackEvent(QStringLiteral("Category_Action"),
                          {{QStringLiteral("action"), QStringLiteral("SortCategories")}});
    m_bar.selectRow(-1);
    m_bar.reloadData();
    NotificationCenter::defaultCenter().post(NotificationName::colorBarCategoryChanged);
    return true;
}

void ColorBarRowDrag::dragEnter(QDragEnterEvent *event)
{
    if (validate(event->source(), event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void ColorBarRowDrag::dragMove(QDragMoveEvent *event)
{
    if (!validate(event->source(), event->mimeData())) {
        event->ignore();
        return;
    }
    m_indicatorRow = dropRowAt(event->position().toPoint());
    m_bar.update();
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

void ColorBarRowDrag::dragLeave()
{
    m_indicatorRow.reset();
    m_bar.update();
}

void ColorBarRowDrag::drop(QDropEvent *event)
{
    m_indicatorRow.reset();
    m_bar.update();
    const int row = dropRowAt(event->position().toPoint());
    if (accept(event->source(), event->mimeData(), row)) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void ColorBarRowDrag::paintIndicator()
{
    if (!m_indicatorRow)
        return;
    // The gap where a dragged row will land.
    int y = 0;
    for (int i = 0; i < *m_indicatorRow && i < int(m_rows.size()); ++i)
        y += m_rows[size_t(i)]->height();
    QPainter painter(&m_bar);
    painter.fillRect(QRect(0, std::max(0, y - 1), m_bar.width(), 2), QColor(0x2C3E50));
}
