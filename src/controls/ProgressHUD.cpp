#include "controls/ProgressHUD.h"

#include "controls/SpinningProgressIndicatorLayer.h"
#include "platform/DispatchQueue.h"
#include "platform/NotificationCenter.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QGraphicsOpacityEffect>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTimer>

#include <cmath>

namespace {
constexpr int kFadeOutMs = 200;
constexpr double kIconLineWidth = 4.0;

double R(double value) { return std::round(value); }

// The HUD's own fin spinner.
class ProgressIndicatorLayer : public SpinningProgressIndicatorLayer {
public:
    ProgressIndicatorLayer(QWidget *parent, const QColor &color) : SpinningProgressIndicatorLayer(parent, 12)
    {
        setForeColor(color);
    }
};
} // namespace

QColor ProgressHUDStyle::boxColor() const
{
    switch (kind) {
    case Kind::custom: return backgroud;
    case Kind::dark: return QColor(Qt::black);
    case Kind::light: break;
    }
    return QColor(Qt::white);
}

QColor ProgressHUDStyle::foregroundColor() const
{
    switch (kind) {
    case Kind::custom: return foreground;
    case Kind::dark: return QColor::fromRgbF(0.95f, 0.95f, 0.95f, 1.0f);
    case Kind::light: break;
    }
    return QColor(Qt::black);
}

ProgressHUD::ProgressHUD(QWidget *parent) : QWidget(parent)
{
    QFont hudFont = font();
    hudFont.setPixelSize(18);
    setFont(hudFont);

    m_alpha = new QGraphicsOpacityEffect(this);
    m_alpha->setOpacity(0.0);
    setGraphicsEffect(m_alpha);
    setVisible(false);

    m_statusLabel = new QLabel(this);
    m_statusLabel->setObjectName(QStringLiteral("statusLabel"));
    m_statusLabel->setFont(hudFont);
    m_statusLabel->setAlignment(Qt::AlignCenter);
    m_statusLabel->setTextInteractionFlags(Qt::NoTextInteraction);
    m_statusLabel->setAttribute(Qt::WA_TranslucentBackground);
    m_statusLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_statusLabel->setGeometry(0, 0, 0, 0);

    // A floating, borderless, see-through window over the first screen.
    m_window = new QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    m_window->setObjectName(QStringLiteral("ProgressHUDWindow"));
    m_window->setAttribute(Qt::WA_TranslucentBackground);
    m_window->setAttribute(Qt::WA_ShowWithoutActivating);
    if (const QList<QScreen *> screens = QGuiApplication::screens(); !screens.isEmpty())
        m_window->setGeometry(screens.first()->geometry());

    setHudStyle(m_style);
    watchParent();
}

ProgressHUD::~ProgressHUD()
{
    cancelPendingRequests();
    if (m_window) {
        if (parentWidget() == m_window)
            setParent(nullptr);
        delete m_window;
    }
}

void ProgressHUD::setHudStyle(const ProgressHUDStyle &style)
{
    m_style = style;
    QPalette labelPalette = m_statusLabel->palette();
    labelPalette.setColor(QPalette::WindowText, m_style.foregroundColor());
    m_statusLabel->setPalette(labelPalette);
    if (auto *spinner = progressIndicator())
        spinner->setForeColor(m_style.foregroundColor());
    update();
}

void ProgressHUD::setMaskType(const ProgressHUDMaskType &maskType)
{
    m_maskType = maskType;
    update();
}

#define TAVI_LAYOUT_SETTER(setter, type, member) \
    void ProgressHUD::setter(type value)         \
    {                                            \
        member = value;                          \
        layoutContent();                         \
    }
TAVI_LAYOUT_SETTER(setPosition, ProgressHUDPosition, m_position)
TAVI_LAYOUT_SETTER(setOpacity, double, m_opacity)
TAVI_LAYOUT_SETTER(setSpinnerSize, double, m_spinnerSize)
TAVI_LAYOUT_SETTER(setMargin, double, m_margin)
TAVI_LAYOUT_SETTER(setPadding, double, m_padding)
TAVI_LAYOUT_SETTER(setCornerRadius, double, m_cornerRadius)
TAVI_LAYOUT_SETTER(setProgress, double, m_progress)
#undef TAVI_LAYOUT_SETTER

void ProgressHUD::setMode(const ProgressHUDMode &mode)
{
    m_mode = mode;
    if (mode.kind == ProgressHUDMode::Kind::custom && mode.view)
        setIndicator(mode.view);
    layoutContent();
}

void ProgressHUD::setIndicator(QWidget *view)
{
    if (m_indicator == view)
        return;
    if (m_indicator)
        m_indicator->deleteLater();
    m_indicator = view;
    m_progressIndicator = qobject_cast<SpinningProgressIndicatorLayer *>(view);
    if (view) {
        view->setParent(this);
        view->show();
    }
    layoutContent();
}

SpinningProgressIndicatorLayer *ProgressHUD::progressIndicator() const { return m_progressIndicator; }

QString ProgressHUD::status() const { return m_statusLabel->text(); }

void ProgressHUD::setStatus(const QString &text)
{
    m_statusLabel->setText(text);
    layoutContent();
}

double ProgressHUD::alphaValue() const { return m_alpha->opacity(); }

void ProgressHUD::setAlphaValue(double alpha) { m_alpha->setOpacity(alpha); }

void ProgressHUD::showIn(QWidget *container)
{
    cancelPendingRequests();
    stopFade();
    QWidget *host = container ? container : m_window.data();
    if (host && parentWidget() != host) {
        setParent(host);
        watchParent();
    }
    if (m_mode.kind == ProgressHUDMode::Kind::indeterminate && !m_indicator) {
        auto *spinner = new ProgressIndicatorLayer(this, m_style.foregroundColor());
        spinner->resize(int(m_spinnerSize), int(m_spinnerSize));
        setIndicator(spinner);
    }
    if (auto *spinner = progressIndicator())
        spinner->startProgressAnimation();
    if (parentWidget())
        setGeometry(parentWidget()->rect());
    layoutContent();
    setAlphaValue(1.0);
    setVisible(true);
    raise();
    if (host == m_window)
        m_window->show();
}

void ProgressHUD::hide(bool animated)
{
    NotificationCenter::defaultCenter().post(kWillDisappear, this);
    m_useAnimation = animated;
    cancelPendingRequests();
    stopFade();
    if (!animated) {
        setAlphaValue(0.0);
        finishHiding();
        return;
    }
    m_fade = new QPropertyAnimation(m_alpha, "opacity", this);
    m_fade->setDuration(kFadeOutMs);
    m_fade->setEndValue(0.0);
    connect(m_fade, &QPropertyAnimation::finished, this, &ProgressHUD::finishHiding);
    m_fade->start(QAbstractAnimation::DeleteWhenStopped);
}

void ProgressHUD::stopFade()
{
    if (!m_fade)
        return;
    disconnect(m_fade, nullptr, this, nullptr);
    m_fade->stop();
    m_fade = nullptr;
}

void ProgressHUD::finishHiding()
{
    // Every mode ends the same way; only a spinner has something to stop first.
    if (auto *spinner = progressIndicator())
        spinner->stopProgressAnimation();
    setAlphaValue(0.0);
    setVisible(false);
    setParent(nullptr);
    if (m_completionHandler)
        m_completionHandler();
    if (m_indicator) {
        m_indicator->hide();
        m_indicator->deleteLater();
        m_indicator = nullptr;
    }
    m_statusLabel->setText(QString());
    if (m_window)
        m_window->close();
    NotificationCenter::defaultCenter().post(kDidDisappear, this);
}

void ProgressHUD::hideDelayed(const QVariant &argument)
{
    cancelPendingRequests();
    bool animated = true;
    if (argument.isValid()) {
        switch (argument.typeId()) {
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Double:
        case QMetaType::Float: animated = argument.toDouble() != 0.0; break;
        default: break; // anything but a number differs from the number 0
        }
    }
    hide(animated);
}

void ProgressHUD::scheduleHideDelayed(int delayMs, const QVariant &argument)
{
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this, argument] { hideDelayed(argument); });
    m_pendingRequests.push_back(timer);
    timer->start(std::max(0, delayMs));
}

void ProgressHUD::cancelPendingRequests()
{
    std::vector<QTimer *> pending;
    pending.swap(m_pendingRequests);
    for (QTimer *timer : pending) {
        timer->stop();
        timer->deleteLater();
    }
}

double ProgressHUD::positionOffset() const
{
    const double H = height();
    switch (m_position) {
    case ProgressHUDPosition::top: return -H / 5.0;
    case ProgressHUDPosition::center: return 0.0;
    case ProgressHUDPosition::bottom: break;
    }
    return H / 5.0;
}

void ProgressHUD::layoutContent()
{
    const double W = width();
    const double H = height();
    double ih = m_indicator ? m_indicator->height() : 0.0;
    double iw = m_indicator ? m_indicator->width() : 0.0;
    if (m_mode.drawsIcon()) {
        ih = m_spinnerSize;
        // The box must hold its icon even without an indicator view.
        iw = std::max(iw, m_spinnerSize);
    }
    double c = ih + (ih > 0 ? m_padding : 0.0);

    double tw = 0, th = 0;
    const QString text = m_statusLabel->text();
    if (!text.isEmpty()) {
        const QFontMetricsF metrics(m_statusLabel->font());
        tw = metrics.horizontalAdvance(text);
        th = metrics.height();
    }
    if (th > 0)
        c += th + (ih > 0 ? m_padding : 0.0);
    const bool both = th > 0 && ih > 0;

    const double t = positionOffset();
    const double h = c + 2 * m_margin;
    const double b = m_margin + R((H - h) / 2.0) - t;

    const double iy = b + (ih > 0 ? m_padding : 0.0) + (both ? m_padding + th : 0.0);
    const double indicatorWidth = std::min(W - 4 * m_margin, iw);
    const double ix = R((W - indicatorWidth) / 2.0);
    m_indicatorFrame = fromYUp(ix, iy, indicatorWidth, ih);
    if (m_indicator)
        m_indicator->setGeometry(m_indicatorFrame.toRect());

    const double ly = iy - (ih > 0 ? 2 * m_padding : 0.0) - (both ? m_padding + th : 0.0);
    double lw = tw > 0 ? tw + 10 : tw;
    lw = std::min(lw, W - 4 * m_margin);
    const double lx = R((W - lw) / 2.0);
    m_labelFrame = fromYUp(lx, ly, lw, th);
    m_statusLabel->setGeometry(m_labelFrame.toRect());

    m_size = QSizeF(2 * m_margin + std::max({lw, indicatorWidth, 0.0}), h);
    update();
}

QRectF ProgressHUD::boxRect() const
{
    const double W = width();
    const double H = height();
    const double x = R((W - m_size.width()) / 2.0);
    const double y = R((H - m_size.height()) / 2.0) - positionOffset();
    return fromYUp(x, y, m_size.width(), m_size.height());
}

QRectF ProgressHUD::iconRect() const
{
    const QRectF box = boxRect();
    // The icon's centre lies 0.9 of the spinner size below the box's top edge.
    const QPointF center(box.left() + box.width() / 2.0, box.top() + 0.9 * m_spinnerSize);
    return QRectF(center.x() - m_spinnerSize / 2.0, center.y() - m_spinnerSize / 2.0, m_spinnerSize, m_spinnerSize);
}

void ProgressHUD::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    switch (m_maskType.kind) {
    case ProgressHUDMaskType::Kind::black: painter.fillRect(rect(), QColor(0, 0, 0, 153)); break;
    case ProgressHUDMaskType::Kind::custom: painter.fillRect(rect(), m_maskType.color); break;
    case ProgressHUDMaskType::Kind::none:
    case ProgressHUDMaskType::Kind::clear: break;
    }

    QColor box = m_style.boxColor();
    box.setAlphaF(float(m_opacity));
    QPainterPath boxPath;
    boxPath.addRoundedRect(boxRect(), m_cornerRadius, m_cornerRadius);
    boxPath.setFillRule(Qt::WindingFill);
    painter.fillPath(boxPath, box);

    if (!m_mode.drawsIcon())
        return;
    const QRectF icon = iconRect();
    const QColor foreground = m_style.foregroundColor();
    switch (m_mode.kind) {
    case ProgressHUDMode::Kind::determinate: {
        const double r = m_spinnerSize / 2.0;
        const QRectF ring(icon.center().x() - r, icon.center().y() - r, 2 * r, 2 * r);
        QPen pen(foreground, kIconLineWidth, Qt::SolidLine, Qt::RoundCap);
        // The part still to go, faint, then the done part from twelve o'clock clockwise.
        QColor track = foreground;
        track.setAlphaF(0.2f);
        painter.setPen(QPen(track, kIconLineWidth, Qt::SolidLine, Qt::RoundCap));
        const double done = std::clamp(m_progress, 0.0, 1.0);
        painter.drawArc(ring, 90 * 16, int(std::lround(360.0 * (1.0 - done) * 16)));
        painter.setPen(pen);
        painter.drawArc(ring, 90 * 16, -int(std::lround(360.0 * done * 16)));
        break;
    }
    case ProgressHUDMode::Kind::info: drawInfoIcon(painter, icon); break;
    case ProgressHUDMode::Kind::success: drawSuccessIcon(painter, icon); break;
    case ProgressHUDMode::Kind::error: drawErrorIcon(painter, icon); break;
    default: break;
    }
}

void ProgressHUD::drawInfoIcon(QPainter &painter, const QRectF &rect)
{
    const QColor foreground = m_style.foregroundColor();
    const double offset = std::floor((rect.width() - 58.0) / 2.0 + 0.5);
    const QPointF origin(rect.left() + offset, rect.top() + offset);
    painter.save();
    painter.setPen(QPen(foreground, 2.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QRectF(origin, QSizeF(58, 58)));
    // The letter "i" on the 58-point grid: a dot and a stem with a foot.
    painter.translate(origin);
    painter.setPen(Qt::NoPen);
    painter.setBrush(foreground);
    painter.drawEllipse(QPointF(29.0, 15.5), 3.5, 3.5);
    const QPolygonF stem{{24.5, 23.0}, {32.0, 23.0}, {32.0, 40.5}, {35.0, 40.5}, {35.0, 44.0},
                         {23.0, 44.0}, {23.0, 40.5}, {26.0, 40.5}, {26.0, 26.5}, {24.5, 26.5}};
    painter.drawPolygon(stem);
    painter.restore();
}

void ProgressHUD::drawSuccessIcon(QPainter &painter, const QRectF &rect)
{
    const double x = rect.left(), w = rect.width(), h = rect.height();
    // The points are given from the bottom edge up.
    auto at = [&](double fx, double fy) { return QPointF(x + fx * w, rect.bottom() - fy * h); };
    painter.save();
    painter.setPen(QPen(m_style.foregroundColor(), kIconLineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    const QPolygonF check{at(0.05833, 0.48377), at(0.31429, 0.19167), at(0.93333, 0.80833)};
    painter.drawPolyline(check);
    painter.restore();
}

void ProgressHUD::drawErrorIcon(QPainter &painter, const QRectF &rect)
{
    const QPointF o = rect.topLeft();
    painter.save();
    painter.setPen(QPen(m_style.foregroundColor(), kIconLineWidth));
    painter.drawLine(o + QPointF(8, 52), o + QPointF(52, 8));
    painter.drawLine(o + QPointF(52, 52), o + QPointF(8, 8));
    painter.restore();
}

void ProgressHUD::mousePressEvent(QMouseEvent *event)
{
    NotificationCenter::defaultCenter().post(kDidReceiveMouseDownEvent, this);
    // Without a mask the click goes on to what lies behind.
    if (m_maskType.kind == ProgressHUDMaskType::Kind::none)
        event->ignore();
    else
        event->accept();
    if (m_dismissible) {
        QPointer<ProgressHUD> self(this);
        MainQueue::async([self] {
            if (self)
                self->hide(self->useAnimation());
        });
    }
}

void ProgressHUD::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutContent();
}

void ProgressHUD::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ParentChange)
        watchParent();
}

void ProgressHUD::watchParent()
{
    if (m_watchedParent == parentWidget())
        return;
    if (m_watchedParent)
        m_watchedParent->removeEventFilter(this);
    m_watchedParent = parentWidget();
    if (m_watchedParent) {
        m_watchedParent->installEventFilter(this);
        setGeometry(m_watchedParent->rect());
    }
}

bool ProgressHUD::eventFilter(QObject *watched, QEvent *event)
{
    // The HUD covers its container's bounds.
    if (watched == m_watchedParent && event->type() == QEvent::Resize)
        setGeometry(m_watchedParent->rect());
    return QWidget::eventFilter(watched, event);
}
