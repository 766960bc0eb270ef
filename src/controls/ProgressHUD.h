#pragma once
// A heads-up display: a rounded translucent box over a view's content with an indicator (a fin
// spinner, a progress ring, or an info, success or error icon) above a one-line status text,
// optionally over a dimming mask, at the top, centre or bottom of its container. It has a
// borderless floating window of its own for showing over the whole first screen. After hiding it
// is out of the widget tree; whoever made it keeps ownership. GUI thread.

#include <QColor>
#include <QPointer>
#include <QRectF>
#include <QVariant>
#include <QWidget>

#include <functional>
#include <vector>

class QGraphicsOpacityEffect;
class QLabel;
class QPropertyAnimation;
class QTimer;
class SpinningProgressIndicatorLayer;

struct ProgressHUDStyle {
    enum class Kind { custom, light, dark };
    Kind kind = Kind::light;
    QColor foreground;
    QColor backgroud;

    static ProgressHUDStyle custom(const QColor &foreground, const QColor &backgroud)
    {
        return {Kind::custom, foreground, backgroud};
    }
    static ProgressHUDStyle light() { return {Kind::light, {}, {}}; }
    static ProgressHUDStyle dark() { return {Kind::dark, {}, {}}; }

    QColor boxColor() const;
    QColor foregroundColor() const;
};

struct ProgressHUDMaskType {
    enum class Kind { custom, none, clear, black };
    Kind kind = Kind::none;
    QColor color;

    static ProgressHUDMaskType custom(const QColor &color) { return {Kind::custom, color}; }
    static ProgressHUDMaskType none() { return {Kind::none, {}}; }
    static ProgressHUDMaskType clear() { return {Kind::clear, {}}; }
    static ProgressHUDMaskType black() { return {Kind::black, {}}; }
};

enum class ProgressHUDPosition { top = 0, center = 1, bottom = 2 };

struct ProgressHUDMode {
    enum class Kind { custom, indeterminate, determinate, info, success, error, text };
    Kind kind = Kind::indeterminate;
    QPointer<QWidget> view; // the indicator of a custom mode

    static ProgressHUDMode custom(QWidget *view) { return {Kind::custom, view}; }
    static ProgressHUDMode of(Kind kind) { return {kind, nullptr}; }
    // Modes whose indicator area is an icon of spinnerSize.
    bool drawsIcon() const
    {
        return kind == Kind::determinate || kind == Kind::info || kind == Kind::success || kind == Kind::error;
    }
};

class ProgressHUD : public QWidget {
    Q_OBJECT
public:
    inline static const QString kDidReceiveMouseDownEvent = QStringLiteral("ProgressHUD.didReceiveMouseDownEvent");
    inline static const QString kWillDisappear = QStringLiteral("ProgressHUD.willDisappear");
    inline static const QString kDidDisappear = QStringLiteral("ProgressHUD.didDisappear");

    explicit ProgressHUD(QWidget *parent = nullptr);
    ~ProgressHUD() override;

    ProgressHUDStyle hudStyle() const { return m_style; }
    void setHudStyle(const ProgressHUDStyle &style);
    ProgressHUDMaskType maskType() const { return m_maskType; }
    void setMaskType(const ProgressHUDMaskType &maskType);
    ProgressHUDPosition position() const { return m_position; }
    void setPosition(ProgressHUDPosition position);
    QWidget *containerView() const { return m_containerView; }
    void setContainerView(QWidget *view) { m_containerView = view; }
    double opacity() const { return m_opacity; }
    void setOpacity(double opacity);
    double spinnerSize() const { return m_spinnerSize; }
    void setSpinnerSize(double size);
    double margin() const { return m_margin; }
    void setMargin(double margin);
    double padding() const { return m_padding; }
    void setPadding(double padding);
    double cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(double radius);
    bool isDismissible() const { return m_dismissible; }
    void setDismissible(bool dismissible) { m_dismissible = dismissible; }
    ProgressHUDMode mode() const { return m_mode; }
    // A custom mode's view becomes the indicator.
    void setMode(const ProgressHUDMode &mode);
    QWidget *indicator() const { return m_indicator; }
    // The HUD takes the view as its child; it is deleted when the HUD finishes hiding.
    void setIndicator(QWidget *view);
    SpinningProgressIndicatorLayer *progressIndicator() const;
    bool useAnimation() const { return m_useAnimation; }
    void setUseAnimation(bool use) { m_useAnimation = use; }
    QLabel *statusLabel() const { return m_statusLabel; }
    QString status() const;
    void setStatus(const QString &text);
    void setCompletionHandler(std::function<void()> handler) { m_completionHandler = std::move(handler); }
    double progress() const { return m_progress; }
    void setProgress(double fraction);
    double minimumDismissTimeInterval() const { return m_minimumDismissTimeInterval; }
    void setMinimumDismissTimeInterval(double seconds) { m_minimumDismissTimeInterval = seconds; }
    double maximumDismissTimeInterval() const { return m_maximumDismissTimeInterval; }
    void setMaximumDismissTimeInterval(double seconds) { m_maximumDismissTimeInterval = seconds; }
    // The borderless floating window covering the first screen.
    QWidget *hudWindow() const { return m_window; }

    // Puts the HUD over container (its own window when none), visible and opaque; the
    // indeterminate mode gets a running fin spinner when it has no indicator.
    void showIn(QWidget *container = nullptr);

    using QWidget::hide;
    virtual void hide(bool animated);
    virtual void finishHiding();
    // Hides with animation unless the argument is the number 0. The target of scheduled hides.
    virtual void hideDelayed(const QVariant &argument = QVariant());
    // Calls hideDelayed(argument) after delayMs unless a hide starts first.
    void scheduleHideDelayed(int delayMs, const QVariant &argument = QVariant());
    void cancelPendingRequests();
    bool hasPendingRequests() const { return !m_pendingRequests.empty(); }

    virtual void layoutContent();

    // Geometry of the last layout, in widget coordinates.
    QSizeF boxSize() const { return m_size; }
    QRectF boxRect() const;
    QRectF indicatorFrame() const { return m_indicatorFrame; }
    QRectF labelFrame() const { return m_labelFrame; }
    // The square of the icon of the determinate, info, success and error modes.
    QRectF iconRect() const;
    double alphaValue() const;

protected:
    virtual void drawInfoIcon(QPainter &painter, const QRectF &rect);
    virtual void drawSuccessIcon(QPainter &painter, const QRectF &rect);
    virtual void drawErrorIcon(QPainter &painter, const QRectF &rect);

    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void setAlphaValue(double alpha);
    void stopFade();
    void watchParent();
    // Vertical offset of the content for the position (y up).
    double positionOffset() const;
    // From the layout's y-up coordinates to the widget's.
    QRectF fromYUp(double x, double y, double w, double h) const { return QRectF(x, height() - y - h, w, h); }

    ProgressHUDStyle m_style;
    ProgressHUDMaskType m_maskType;
    ProgressHUDPosition m_position = ProgressHUDPosition::bottom;
    QPointer<QWidget> m_containerView;
    double m_opacity = 0.9;
    double m_spinnerSize = 60;
    double m_margin = 18;
    double m_padding = 4;
    double m_cornerRadius = 15;
    bool m_dismissible = false;
    ProgressHUDMode m_mode;
    QPointer<QWidget> m_indicator;
    QPointer<SpinningProgressIndicatorLayer> m_progressIndicator;
    QSizeF m_size;
    bool m_useAnimation = true;
    QLabel *m_statusLabel = nullptr;
    std::function<void()> m_completionHandler;
    double m_progress = 0;
    double m_minimumDismissTimeInterval = 2;
    double m_maximumDismissTimeInterval = 5;
    QPointer<QWidget> m_window;

    QRectF m_indicatorFrame;
    QRectF m_labelFrame;
    QGraphicsOpacityEffect *m_alpha = nullptr;
    QPointer<QPropertyAnimation> m_fade;
    std::vector<QTimer *> m_pendingRequests;
    QPointer<QWidget> m_watchedParent;
};
