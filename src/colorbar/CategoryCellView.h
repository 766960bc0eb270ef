#pragma once
// One row of the color bar: a narrow tab in the category's colour, flush with the screen edge.
// Under the pointer it widens (0.2 s) into a labelled tab with the name, the item count and a
// star; a new item of its category makes it flash. The row reports hover through
// "colorBarMouseEntered"/"colorBarMouseExited" and hands clicks, drags and menus to its host,
// which also decides when the pointer is on it. GUI thread.

#include "colorbar/ColorBarMetrics.h"
#include "core/PBCategory.h"

#include <QPointer>
#include <QRegion>
#include <QWidget>

#include <functional>
#include <optional>

class CategoryCellView;
class QPropertyAnimation;
class QSequentialAnimationGroup;

// What a row asks of the bar that holds it.
class CategoryCellHost {
public:
    virtual ~CategoryCellHost() = default;
    // The window becomes the widened width; docked right it grows away from the edge.
    virtual void widenWindow() = 0;
    // A flash ended: the window returns to the bar's width unless a row is open.
    virtual void flashDidEnd() = 0;
    // The last known number of the category's items; none while it is being counted.
    virtual std::optional<qsizetype> knownItemCount(const PBCategory &category) const = 0;
    // The id of the active category (empty for none).
    virtual QString activeCategoryId() const = 0;
    virtual void rowClicked(CategoryCellView *row) = 0;
    virtual void rowDragStarted(CategoryCellView *row) = 0;
    virtual void rowMenuRequested(CategoryCellView *row, const QPoint &globalPosition) = 0;
    // The window system reports the pointer crossing a tab's edge. Its reports can date from
    // before the bar last moved, so the host tells the rows from where the pointer is now.
    virtual void pointerCrossedTab() = 0;
    // The tab changed its width (the window's shape follows it).
    virtual void tabDidResize() {}
};

class CategoryCellView : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int tabWidth READ tabWidth WRITE setTabWidth)
public:
    static constexpr int kAnimationMs = 200;
    static constexpr int kNameLimit = 8;

    CategoryCellView(CategoryCellHost &host, QWidget *parent = nullptr);
    ~CategoryCellView() override;

    // Stores the category and restyles the row to its narrow look.
    virtual void configure(const PBCategory &category);
    virtual void showNewItemFlash();
    virtual void setExpanded(bool expanded);

    const std::optional<PBCategory> &category() const { return m_category; }
    // The name as shown: whole up to 8 characters, else the first 8 and "...".
    static QString displayedName(const QString &name);
    QString shownName() const { return m_shownName; }
    QString countText() const { return m_countText; }
    bool isContentVisible() const { return m_contentVisible; }
    bool isActiveStarVisible() const { return m_activeStarVisible; }
    // The star of a custom category's open tab: "active_star", "inactive_star", or empty (none).
    QString starImageName() const;
    bool isMouseIn() const { return m_isMouseIn; }
    bool isAnimating() const;
    int tabWidth() const { return m_tabWidth; }
    void setTabWidth(int width);
    int contentWidth() const { return m_contentWidth; }
    QRect tabGeometry() const;
    // The tab's shape as a region of the row (for the window's mask), kept while the tab is unchanged.
    QRegion tabRegion() const;
    // Whether the rounded corners face left (docked right) or right (docked left); none when square.
    std::optional<Qt::Edge> roundedSide() const;
    bool isPressed() const { return m_pressed; }

    // The category's count changed: an open tab shows the new one.
    void itemCountChanged();
    // The pointer came onto the tab or left it.
    void pointerEntered();
    void pointerExited();
    void press(const QPoint &tabPosition);
    void release(bool wasDrag);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    friend class CategoryTabView;
    void paintTab(QPainter &painter, const QRect &rect) const;
    void animateTo(int tabWidth, int contentWidth, std::function<void()> completion);
    void refreshCount();
    bool isActive() const;

    CategoryCellHost &m_host;
    QWidget *m_tab = nullptr;
    std::optional<PBCategory> m_category;
    QString m_shownName;
    QString m_countText;
    int m_tabWidth = 0;
    int m_contentWidth = 0;
    bool m_contentVisible = false;
    bool m_activeStarVisible = false;
    bool m_isMouseIn = false;
    bool m_pressed = false;
    ColorBarMetrics m_metrics;
    bool m_dockedRight = false;
    bool m_rounded = false;
    mutable QRegion m_tabRegion;
    mutable QRect m_tabRegionRect;
    mutable std::optional<Qt::Edge> m_tabRegionSide;
    mutable double m_tabRegionRadius = -1;
    QPointer<QPropertyAnimation> m_animation;
    QPointer<QSequentialAnimationGroup> m_flash;
};
