#include "history/PBHUDRowDelegate.h"

#include "core/FileIcon.h"
#include "core/StringExtensions.h"
#include "history/CategoryListModel.h"
#include "history/NamedImages.h"
#include "history/PBHUDTableView.h"
#include "history/RowIcons.h"

#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QStyleOptionToolButton>

#include <algorithm>

namespace {

// The row's margins and the room between its parts.
constexpr int kSideMargin = 10;
constexpr int kTopMargin = 4;
constexpr int kSpacing = 10;
// The icon sits in a square a little larger than itself.
constexpr int kIconBox = PBHUDCell::kIconSize + 8;

const QStyle *styleOf(const QStyleOptionViewItem &option)
{
    return option.widget ? option.widget->style() : QApplication::style();
}

QStyleOptionToolButton deleteButtonOption(const QStyleOptionViewItem &option, const QStyle *style)
{
    QStyleOptionToolButton button;
    button.initFrom(option.widget);
    button.palette = option.palette;
    button.font = option.font;
    button.icon = style->standardIcon(QStyle::SP_TitleBarCloseButton, nullptr, option.widget);
    const int extent = style->pixelMetric(QStyle::PM_ButtonIconSize, nullptr, option.widget);
    button.iconSize = QSize(extent, extent);
    button.toolButtonStyle = Qt::ToolButtonIconOnly;
    button.subControls = QStyle::SC_ToolButton;
    button.features = QStyleOptionToolButton::None;
    button.state = (button.state & QStyle::State_Active) | QStyle::State_Enabled | QStyle::State_AutoRaise;
    return button;
}

} // namespace

PBHUDRowDelegate::PBHUDRowDelegate(PBHUDTableView *table) : QStyledItemDelegate(table), m_table(table)
{
    setObjectName(PBHUDCell::kIdentifier);
    // A late icon shows on the rows that use it.
    const QPointer<PBHUDTableView> view(table);
    connect(&RowIcons::shared(), &RowIcons::iconReady, this, [view] {
        if (view)
            view->viewport()->update();
    });
}

QSize PBHUDRowDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    return QSize(option.rect.width(), int(PBHUDCell::kRowHeight));
}

PBHUDCell PBHUDRowDelegate::cellFor(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const auto *model = qobject_cast<const CategoryListModel *>(index.model());
    const bool searching = model && model->query().search.has_value();
    const QVariant value = index.data(CategoryListModel::ItemRole);
    PBHUDCell cell;
    cell.configureHUDCell(value.canConvert<PBItem>() ? value.value<PBItem>() : PBItem(), index.row(), searching);
    // A row whose page is not in yet is blank until the page arrives.
    if (!value.canConvert<PBItem>())
        cell.text.clear();
    // Once a row is selected, Return pastes that row: the others no longer offer it.
    cell.isSelected = option.state & QStyle::State_Selected;
    if (cell.isSelected || m_table->selectedRow() >= 0)
        cell.updateShortcutLabel();
    return cell;
}

QSize PBHUDRowDelegate::deleteButtonSize(const QStyleOptionViewItem &option) const
{
    const QStyle *style = styleOf(option);
    const QStyleOptionToolButton button = deleteButtonOption(option, style);
    return style->sizeFromContents(QStyle::CT_ToolButton, &button, button.iconSize, option.widget);
}

PBHUDRowDelegate::RowLayout PBHUDRowDelegate::layoutOf(const QStyleOptionViewItem &option, const PBHUDCell &cell,
                                                       bool withDeleteButton) const
{
    const QRect content = option.rect.adjusted(kSideMargin, kTopMargin, -kSideMargin, -kTopMargin);
    RowLayout layout;
    layout.icon = QRect(content.left(), content.top() + (content.height() - kIconBox) / 2, kIconBox, kIconBox);
    int right = content.left() + content.width();
    if (withDeleteButton) {
        const QSize button = deleteButtonSize(option);
        layout.deleteButton = QRect(right - button.width(), content.top() + (content.height() - button.height()) / 2,
                                    button.width(), button.height());
        right -= button.width() + kSpacing;
    }
    const QFontMetrics metrics(option.font);
    const int hintWidth = cell.shortcutLabel.isEmpty()
                              ? 0
                              : metrics.boundingRect(QRect(), Qt::TextSingleLine, cell.shortcutLabel).width();
    layout.shortcut = QRect(right - hintWidth, content.top(), hintWidth, content.height());
    right -= hintWidth + kSpacing;
    const int textLeft = layout.icon.left() + kIconBox + kSpacing;
    layout.text = QRect(textLeft, content.top(), std::max(0, right - textLeft), content.height());
    return layout;
}

QString PBHUDRowDelegate::displayedText(const QStyleOptionViewItem &option, const PBHUDCell &cell) const
{
    const RowLayout layout = layoutOf(option, cell, option.state & QStyle::State_MouseOver);
    // Cut where a word ends, as the list's titles are.
    return elideAtWordBoundary(cell.text, QFontMetrics(option.font), layout.text.width());
}

// Styles and icon themes may give a smaller picture than asked for (a 16-pixel globe for the link
// placeholder); thumbnails and site icons come in any size. All are shown at one size.
QPixmap PBHUDRowDelegate::fitted(const QPixmap &source) const
{
    if (source.isNull())
        return {};
    const QSize size = source.deviceIndependentSize().toSize();
    constexpr int kSize = PBHUDCell::kIconSize;
    if (std::max(size.width(), size.height()) == kSize && size.width() <= kSize && size.height() <= kSize)
        return source;
    if (const QPixmap *fitted = m_fitted.object(source.cacheKey()))
        return *fitted;
    const qreal ratio = m_table->devicePixelRatioF();
    auto *fitted =
        new QPixmap(source.scaled(QSize(kSize, kSize) * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    fitted->setDevicePixelRatio(ratio);
    const QPixmap result = *fitted;
    m_fitted.insert(source.cacheKey(), fitted);
    return result;
}

QPixmap PBHUDRowDelegate::iconOf(const PBHUDCell &cell) const
{
    RowIcons &icons = RowIcons::shared();
    switch (cell.icon.icon) {
    case PasteItemRow::IconSource::none: return {};
    // Pictures that need no reading are drawn at the row's size, as sharp as their source allows.
    case PasteItemRow::IconSource::named: return fitted(namedImage(cell.icon.iconKey, PBHUDCell::kIconSize));
    case PasteItemRow::IconSource::fileIcon: {
        const auto icon = fileIcon(cell.icon.iconKey);
        return icon ? fitted(icon->pixmap(PBHUDCell::kIconSize, PBHUDCell::kIconSize)) : QPixmap();
    }
    // The placeholder until the site's icon is in.
    case PasteItemRow::IconSource::favicon:
        if (const QPixmap loaded = icons.cached(cell.icon); !loaded.isNull())
            return fitted(loaded);
        icons.icon(cell.icon);
        return fitted(namedImage(QStringLiteral("website_default"), PBHUDCell::kIconSize));
    default:
        // An image the list left out is decoded once its stored data is read, never from nothing.
        return fitted(cell.needsStoredImage ? icons.cached(cell.icon) : icons.icon(cell.icon));
    }
}

void PBHUDRowDelegate::readStoredImage(const QModelIndex &index) const
{
    const QVariant value = index.data(CategoryListModel::ItemRole);
    if (!m_readStored || !value.canConvert<PBItem>())
        return;
    const PBItem listed = value.value<PBItem>();
    if (m_readingStored.contains(listed.uuid()))
        return;
    m_readingStored.insert(listed.uuid());
    const QPointer<const PBHUDRowDelegate> self(this);
    m_readStored(listed, [self, uuid = listed.uuid()](const PBItem &stored) {
        if (!self)
            return;
        self->m_readingStored.remove(uuid);
        PBHUDCell cell;
        cell.configureHUDCell(stored, 0, false);
        // Starts the thumbnail's decoding (a generic image when there is no data); the row
        // repaints when it is in.
        cell.icon.uuid = uuid;
        RowIcons::shared().icon(cell.icon);
    });
}

void PBHUDRowDelegate::paintDeleteButton(QPainter *painter, const QStyleOptionViewItem &option, const QRect &rect,
                                         int row) const
{
    const QStyle *style = styleOf(option);
    QStyleOptionToolButton button = deleteButtonOption(option, style);
    button.rect = rect;
    // As a tool button draws itself: raised under the pointer, sunk while held down.
    if (m_table->isPointerOnDeleteButton())
        button.state |= QStyle::State_MouseOver;
    if (m_table->pressedDeleteRow() == row) {
        button.state |= QStyle::State_Sunken;
        button.activeSubControls = QStyle::SC_ToolButton;
    } else {
        button.state |= QStyle::State_Raised;
    }
    style->drawComplexControl(QStyle::CC_ToolButton, &button, painter, option.widget);
}

void PBHUDRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const PBHUDCell cell = cellFor(option, index);
    // The view marks the row whose delete button shows.
    const bool hovered = option.state & QStyle::State_MouseOver;
    const RowLayout layout = layoutOf(option, cell, hovered);
    const QStyle *style = styleOf(option);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    if (cell.isSelected) {
        QColor highlight = option.palette.color(QPalette::Highlight);
        highlight.setAlpha(70);
        painter->setPen(Qt::NoPen);
        painter->setBrush(highlight);
        painter->drawRoundedRect(option.rect.adjusted(4, 2, -4, -2), 6, 6);
    }
    if (const QPixmap icon = iconOf(cell); !icon.isNull())
        style->drawItemPixmap(painter, layout.icon, Qt::AlignCenter, icon);
    else if (cell.needsStoredImage)
        readStoredImage(index);
    painter->setFont(option.font);
    const bool enabled = option.state & QStyle::State_Enabled;
    const QString text = elideAtWordBoundary(cell.text, QFontMetrics(option.font), layout.text.width());
    style->drawItemText(painter, layout.text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, option.palette,
                        enabled, text, QPalette::WindowText);
    if (!cell.shortcutLabel.isEmpty())
        style->drawItemText(painter, layout.shortcut, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                            option.palette, enabled, cell.shortcutLabel, QPalette::PlaceholderText);
    if (hovered)
        paintDeleteButton(painter, option, layout.deleteButton, index.row());
    painter->restore();
}
