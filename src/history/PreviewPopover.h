#pragma once
// The window that shows a row's preview beside the list. It never takes the focus (the arrow
// keys keep moving the list's selection), sits at the row's right edge, flips to the left edge
// when the screen has no room there, and is kept inside the screen's available area. GUI thread.

#include <QPointer>
#include <QRect>
#include <QWidget>

class PreviewPopover : public QWidget {
    Q_OBJECT
public:
    static constexpr int kGap = 4;

    explicit PreviewPopover(QWidget *parent = nullptr);

    // Shows `content` (kept by the popover, reused between previews) beside the anchor, in
    // global coordinates.
    void show(QWidget *content, const QRect &anchor);
    void close();
    QWidget *content() const { return m_content; }

    // Where a window of `size` goes beside `anchor` within `available`.
    static QPoint placement(const QSize &size, const QRect &anchor, const QRect &available);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPointer<QWidget> m_content;
};
