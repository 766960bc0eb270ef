#include "colorbar/CategoryCellView.h"

#include "core/NotificationNames.h"
#include "platform/NotificationCenter.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QSequentialAnimationGroup>
#include <QTextBoundaryFinder>

#include <cmath>

namespace {

QPainterPath starPath(const QPointF &centre, double radius)
{
    QPainterPath path;
    for (int i = 0; i < 10; ++i) {
        const double r = i % 2 == 0 ? radius : radius * 0.45;
        const double angle = -M_PI / 2 + i * M_PI / 5;
        const QPointF point(centre.x() + r * std::cos(angle), centre.y() + r * std::sin(angle));
        if (i == 0)
            path.moveTo(point);
        else
            path.lineTo(point);
    }
    path.closeSubpath();
    return path;
}

} // namespace

// The coloured tab: paints the row and turns pointer events into the row's hover, press and drag.
class CategoryTabView : public QWidget {
public:
    CategoryTabView(CategoryCellView *row, CategoryCellHost &host) : QWidget(row), m_row(row), m_host(host)
    {
        setAttribute(Qt::WA_Hover);
        setMouseTracking(true);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        m_row->paintTab(painter, rect());
    }
    void enterEvent(QEnterEvent *) override { m_host.pointerCrossedTab(); }
    void leaveEvent(QEvent *) override { m_host.pointerCrossedTab(); }
    void mousePressEvent(QMouseEvent *event) override
    {
        if (event->button() != Qt::LeftButton)
            return;
        m_pressPosition = event->position().toPoint();
        m_row->press(m_pressPosition);
    }
    void mouseMoveEvent(QMouseEvent *event) override
    {
        if (!m_row->isPressed() || !(event->buttons() & Qt::LeftButton))
            return;
        if ((event->position().toPoint() - m_pressPosition).manhattanLength() < QApplication::startDragDistance())
            return;
        const QPointer<CategoryCellView> row(m_row);
        m_host.rowDragStarted(m_row);
        if (row)
            row->release(true);
    }
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton && m_row->isPressed())
            m_row->release(false);
    }
    void contextMenuEvent(QContextMenuEvent *event) override { m_host.rowMenuRequested(m_row, event->globalPos()); }

private:
    CategoryCellView *m_row;
    CategoryCellHost &m_host;
    QPoint m_pressPosition;
};

CategoryCellView::CategoryCellView(CategoryCellHost &host, QWidget *parent)
    : QWidget(parent),
      m_host(host),
      m_metrics(ColorBarMetrics::current())
{
    m_tab = new CategoryTabView(this, host);
    m_tabWidth = m_metrics.barWidth;
}

CategoryCellView::~CategoryCellView() = default;

QString CategoryCellView::displayedName(const QString &name)
{
    // Whole grapheme clusters, so that emoji and combining marks are never cut apart.
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, name);
    int count = 0;
    qsizetype cut = -1;
    while (finder.toNextBoundary() != -1) {
        ++count;
        if (count == kNameLimit)
            cut = finder.position();
        if (count > kNameLimit)
            return name.left(cut) + QStringLiteral("...");
    }
    return name;
}

void CategoryCellView::configure(const PBCategory &category)
{
    if (m_animation)
        m_animation->stop();
    if (m_flash)
        m_flash->stop();
    m_contentVisible = false;
    m_category = category;
    m_shownName = displayedName(category.name());
    m_metrics = ColorBarMetrics::current();
    m_dockedRight = ColorBarPlacement::isDockedRight();
    m_rounded = ColorBarPlacement::isRounded();
    m_tabWidth = m_metrics.barWidth;
    m_contentWidth = m_metrics.restingContentWidth;
    m_activeStarVisible = isActive();
    setFixedHeight(category.isHidden() ? 0 : m_metrics.rowHeight);
    setVisible(!category.isHidden());
    m_tab->setGeometry(tabGeometry());
    m_tab->update();
    // The pointer stays where it was: no new enter would widen the row under it again.
    if (m_isMouseIn && !category.isHidden())
        setExpanded(true);
}

bool CategoryCellView::isActive() const
{
    const QString active = m_host.activeCategoryId();
    return m_category && !active.isEmpty() && m_category->id() == active;
}

QString CategoryCellView::starImageName() const
{
    if (!m_category || m_category->type() != PBDefaultCategory::custom)
        return {};
    return isActive() ? QStringLiteral("active_star") : QStringLiteral("inactive_star");
}

std::optional<Qt::Edge> CategoryCellView::roundedSide() const
{
    if (!m_rounded)
        return std::nullopt;
    return m_dockedRight ? Qt::LeftEdge : Qt::RightEdge;
}

QRect CategoryCellView::tabGeometry() const
{
    const int x = m_dockedRight ? width() - m_tabWidth : 0;
    return QRect(x, 0, m_tabWidth, height());
}

QRegion CategoryCellView::tabRegion() const
{
    const QRect tab = tabGeometry();
    const std::optional<Qt::Edge> side = roundedSide();
    if (tab != m_tabRegionRect || side != m_tabRegionSide || m_metrics.cornerRadius != m_tabRegionRadius) {
        m_tabRegionRect = tab;
        m_tabRegionSide = side;
        m_tabRegionRadius = m_metrics.cornerRadius;
        m_tabRegion =
            QRegion(ColorBarPlacement::tabShape(QRectF(tab), m_metrics.cornerRadius, side).toFillPolygon().toPolygon());
    }
    return m_tabRegion;
}

void CategoryCellView::setTabWidth(int width)
{
    m_tabWidth = width;
    m_tab->setGeometry(tabGeometry());
    m_tab->update();
    m_host.tabDidResize();
}

void CategoryCellView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_tab->setGeometry(tabGeometry());
}

bool CategoryCellView::isAnimating() const
{
    return (m_animation && m_animation->state() == QAbstractAnimation::Running)
           || (m_flash && m_flash->state() == QAbstractAnimation::Running);
}

void CategoryCellView::animateTo(int tabWidth, int contentWidth, std::function<void()> completion)
{
    if (m_animation)
        m_animation->stop();
    m_contentWidth = contentWidth;
    auto *animation = new QPropertyAnimation(this, "tabWidth", this);
    animation->setDuration(kAnimationMs);
    animation->setEndValue(tabWidth);
    connect(animation, &QPropertyAnimation::finished, this, std::move(completion));
    m_animation = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void CategoryCellView::setExpanded(bool expanded)
{
    m_contentVisible = false;
    if (expanded) {
        m_host.widenWindow();
        m_activeStarVisible = false;
    }
    const int tab = expanded ? m_metrics.expandedWidth : m_metrics.barWidth;
    const int content = expanded ? m_metrics.expandedContentWidth : m_metrics.barWidth;
    animateTo(tab, content, [this, expanded] {
        if (expanded && !m_contentVisible && m_isMouseIn) {
            m_contentVisible = true;
            m_tab->update();
            refreshCount();
        } else if (!expanded && !m_isMouseIn) {
            m_activeStarVisible = isActive();
            m_tab->update();
        }
    });
    m_tab->update();
}

void CategoryCellView::refreshCount()
{
    if (!m_category)
        return;
    const std::optional<qsizetype> count = m_host.knownItemCount(*m_category);
    const QString text = count ? QString::number(*count) : QString();
    if (text == m_countText)
        return;
    m_countText = text;
    m_tab->update();
}

void CategoryCellView::itemCountChanged()
{
    if (m_contentVisible)
        refreshCount();
}

void CategoryCellView::showNewItemFlash()
{
    if (m_tabWidth == m_metrics.expandedWidth) {
        refreshCount();
        return;
    }
    m_contentVisible = false;
    m_host.widenWindow();
    if (m_flash)
        m_flash->stop();
    auto *flash = new QSequentialAnimationGroup(this);
    auto *out = new QPropertyAnimation(this, "tabWidth", flash);
    out->setDuration(kAnimationMs);
    out->setEndValue(m_metrics.flashWidth);
    auto *back = new QPropertyAnimation(this, "tabWidth", flash);
    back->setDuration(kAnimationMs);
    back->setEndValue(m_metrics.barWidth);
    flash->addAnimation(out);
    flash->addAnimation(back);
    connect(flash, &QSequentialAnimationGroup::finished, this, [this] { m_host.flashDidEnd(); });
    m_flash = flash;
    flash->start(QAbstractAnimation::DeleteWhenStopped);
}

void CategoryCellView::pointerEntered()
{
    m_isMouseIn = true;
    setExpanded(true);
    NotificationCenter::defaultCenter().post(NotificationName::colorBarMouseEntered);
}

void CategoryCellView::pointerExited()
{
    m_isMouseIn = false;
    setExpanded(false);
    NotificationCenter::defaultCenter().post(NotificationName::colorBarMouseExited);
}

void CategoryCellView::press(const QPoint &)
{
    m_pressed = true;
    m_tab->update();
}

void CategoryCellView::release(bool wasDrag)
{
    m_pressed = false;
    m_tab->update();
    const QPointer<CategoryCellView> self(this);
    if (!wasDrag)
        m_host.rowClicked(this);
    if (!self)
        return;
    setExpanded(false);
    m_activeStarVisible = isActive();
    m_contentVisible = false;
    NotificationCenter::defaultCenter().post(NotificationName::colorBarMouseExited);
}

void CategoryCellView::paintTab(QPainter &painter, const QRect &rect) const
{
    if (!m_category)
        return;
    painter.setRenderHint(QPainter::Antialiasing);
    QColor background = m_category->backgroundColor().isValid() ? m_category->backgroundColor() : QColor(0x7F8C8D);
    if (m_pressed)
        background.setAlphaF(0.8f);
    const QColor border =
        QColor::fromRgbF(background.redF() * 0.9f, background.greenF() * 0.9f, background.blueF() * 0.9f);
    const QPainterPath path =
        ColorBarPlacement::tabShape(QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5), m_metrics.cornerRadius, roundedSide());
    painter.fillPath(path, background);
    painter.setPen(QPen(border, 1));
    painter.drawPath(path);

    const QColor foreground =
        m_category->foregroundColor().isValid() ? m_category->foregroundColor() : QColor(Qt::white);
    const double starRadius = std::max(3.0, m_metrics.barWidth * 0.28);
    if (m_activeStarVisible && !m_contentVisible) {
        const QPointF centre(m_dockedRight ? rect.right() - m_metrics.barWidth / 2.0 : m_metrics.barWidth / 2.0,
                             rect.height() / 2.0);
        painter.fillPath(starPath(centre, starRadius), foreground);
    }
    if (!m_contentVisible)
        return;

    // Open tab: the star (custom categories) on the side away from the screen edge, then the texts.
    const int padding = 6;
    QRect content = rect.adjusted(padding, 2, -padding, -2);
    const QString star = starImageName();
    if (!star.isEmpty()) {
        const int starBox = int(starRadius * 2) + 4;
        const QRect box = m_dockedRight
                              ? QRect(content.left(), content.top(), starBox, content.height())
                              : QRect(content.right() - starBox + 1, content.top(), starBox, content.height());
        const QPainterPath shape = starPath(QRectF(box).center(), starRadius);
        if (star == QLatin1String("active_star")) {
            painter.fillPath(shape, foreground);
        } else {
            painter.setPen(QPen(foreground, 1.2));
            painter.drawPath(shape);
        }
        content = m_dockedRight ? content.adjusted(starBox + 2, 0, 0, 0) : content.adjusted(0, 0, -starBox - 2, 0);
    }
    QFont nameFont = font();
    nameFont.setPointSize(m_metrics.nameFontSize);
    nameFont.setBold(true);
    QFont countFont = font();
    countFont.setPointSize(std::max(8, m_metrics.nameFontSize - 3));
    const QFontMetrics nameMetrics(nameFont);
    const QFontMetrics countMetrics(countFont);
    const int textHeight = nameMetrics.height() + (m_countText.isEmpty() ? 0 : countMetrics.height());
    const int top = content.top() + std::max(0, (content.height() - textHeight) / 2);
    const Qt::Alignment alignment = (m_dockedRight ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
    painter.setPen(foreground);
    painter.setFont(nameFont);
    painter.drawText(QRect(content.left(), top, content.width(), nameMetrics.height()), alignment,
                     nameMetrics.elidedText(m_shownName, Qt::ElideRight, content.width()));
    if (!m_countText.isEmpty()) {
        QColor countColor = foreground;
        countColor.setAlphaF(0.6f);
        painter.setPen(countColor);
        painter.setFont(countFont);
        painter.drawText(QRect(content.left(), top + nameMetrics.height(), content.width(), countMetrics.height()),
                         alignment, m_countText);
    }
}
