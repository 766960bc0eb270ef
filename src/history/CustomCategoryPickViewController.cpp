#include "history/CustomCategoryPickViewController.h"

#include "capture/TaviPBManager.h"
#include "core/PBCategoryManager.h"
#include "history/CustomCategoryPickCellView.h"
#include "history/PreviewPopover.h"
#include "platform/Analytics.h"
#include "platform/Log.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

CustomCategoryPickViewController::CustomCategoryPickViewController(TaviPBManager &manager, QWidget *parent)
    : QFrame(parent, Qt::Popup),
      m_manager(manager)
{
    setObjectName(QStringLiteral("CustomCategoryPickViewController"));
    setFrameShape(QFrame::StyledPanel);
    m_list = new QWidget(this);
    m_list->setObjectName(QStringLiteral("listTableView"));
    m_rows = new QVBoxLayout(m_list);
    m_rows->setContentsMargins(0, 2, 0, 2);
    m_rows->setSpacing(0);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(m_list);
    setMinimumWidth(200);
}

void CustomCategoryPickViewController::reloadData()
{
    qDeleteAll(m_cells);
    m_cells.clear();
    if (pasteItem) {
        const PBItem item = *pasteItem;
        for (const PBCategory &category : m_manager.categoryManager().customCategories()) {
            auto *cell = new CustomCategoryPickCellView(m_list);
            cell->setFixedHeight(kRowHeight);
            cell->layout()->setContentsMargins(6, 0, 6, 0);
            cell->configure(category, item);
            cell->checkBtnClick = [this, category](bool isOn) { toggle(isOn, category); };
            m_rows->addWidget(cell);
            m_cells.append(cell);
        }
    }
    m_list->setFixedHeight(listHeight());
    adjustSize();
}

int CustomCategoryPickViewController::listHeight() const { return kRowHeight * int(m_cells.size()) + 4; }

int CustomCategoryPickViewController::numberOfRows() const { return int(m_cells.size()); }

CustomCategoryPickCellView *CustomCategoryPickViewController::cellAt(int row) const { return m_cells.value(row); }

void CustomCategoryPickViewController::popup(const QRect &anchor)
{
    adjustSize();
    QScreen *screen = QGuiApplication::screenAt(anchor.center());
    const QRect available = screen ? screen->availableGeometry() : QRect(anchor.topLeft(), QSize(4000, 4000));
    move(PreviewPopover::placement(size(), anchor, available));
    show();
}

void CustomCategoryPickViewController::hideEvent(QHideEvent *event)
{
    QFrame::hideEvent(event);
    if (pickChanged)
        pickChanged();
}

void CustomCategoryPickViewController::toggle(bool isOn, const PBCategory &category)
{
    if (!pasteItem)
        return;
    LOG_DEBUG("checkBtnClick", QStringLiteral("Click a category of %1 characters").arg(category.name().size()));
    if (isOn) {
        m_manager.addItem(*pasteItem, category);
        Analytics::trackEvent(QStringLiteral("PasteItem_Action"),
                              {{QStringLiteral("action"), QStringLiteral("AddTag")}});
    } else {
        m_manager.removeItem(*pasteItem, category);
        Analytics::trackEvent(QStringLiteral("PasteItem_Action"),
                              {{QStringLiteral("action"), QStringLiteral("RemoveTag")}});
    }
}
