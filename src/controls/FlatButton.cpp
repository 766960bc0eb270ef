#include "controls/FlatButton.h"

#include <QEnterEvent>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {
const QColor kDarkGray = QColor::fromRgbF(1.0f / 3.0f, 1.0f / 3.0f, 1.0f / 3.0f);
const QColor kGray = QColor::fromRgbF(0.5f, 0.5f, 0.5f);

double roundHalfAway(double value) { return std::round(value); }

// The image drawn in one colour through its alpha channel.
QImage tinted(const QImage &mask, const QColor &color)
{
    QImage image(mask.size(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(mask.devicePixelRatio());
    image.fill(color);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    painter.drawImage(0, 0, mask);
    return image;
}
} // namespace

FlatButton::FlatButton(QWidget *parent)
    : QAbstractButton(parent),
      m_borderColor(kDarkGray),
      m_activeBorderColor(Qt::white),
      m_buttonColor(Qt::white),
      m_activeButtonColor(Qt::white),
      m_iconColor(kGray),
      m_activeIconColor(Qt::black),
      m_textColor(kGray),
      m_activeTextColor(kGray)
{
    for (ColorTransition *transition :
         {&m_background, &m_border, &m_iconBackground, &m_alternateIconBackground, &m_glow})
        connect(transition, &ColorTransition::changed, this, qOverload<>(&QWidget::update));
    setup();
}

void FlatButton::setup()
{
    m_layerCornerRadius = 4.0;
    m_layerBorderWidth = 1.0;
    m_glow.setValue(QColor(Qt::transparent));
    // No interface file applies the palette here, so show the off palette from the start.
    m_background.setValue(m_buttonColor);
    m_border.setValue(m_borderColor);
    m_iconBackground.setValue(m_iconColor);
    m_titleColor = m_textColor;
    updateTitleLayer();
    setupImage();
}

const ColorTransition &FlatButton::layerColor(LayerColor which) const
{
    switch (which) {
    case LayerColor::Background: return m_background;
    case LayerColor::Border: return m_border;
    case LayerColor::Icon: return m_iconBackground;
    case LayerColor::AlternateIcon: return m_alternateIconBackground;
    case LayerColor::Glow: break;
    }
    return m_glow;
}

void FlatButton::setMomentary(bool momentary)
{
    m_momentary = momentary;
    reapplyPalette();
}

void FlatButton::setGlowRadius(double radius)
{
    m_glowRadius = radius;
    m_shadowRadius = radius;
    reapplyPalette();
}

void FlatButton::setGlowOpacity(float opacity)
{
    m_glowOpacity = opacity;
    m_shadowOpacity = opacity;
    reapplyPalette();
}

void FlatButton::setCornerRadius(double radius)
{
    m_cornerRadius = radius;
    m_layerCornerRadius = radius;
    update();
}

void FlatButton::setBorderWidth(double width)
{
    m_borderWidth = width;
    m_layerBorderWidth = width;
    update();
}

#define TAVI_PALETTE_SETTER(setter, member)      \
    void FlatButton::setter(const QColor &color) \
    {                                            \
        member = color;                          \
        reapplyPalette();                        \
    }
TAVI_PALETTE_SETTER(setBorderColor, m_borderColor)
TAVI_PALETTE_SETTER(setActiveBorderColor, m_activeBorderColor)
TAVI_PALETTE_SETTER(setButtonColor, m_buttonColor)
TAVI_PALETTE_SETTER(setActiveButtonColor, m_activeButtonColor)
TAVI_PALETTE_SETTER(setIconColor, m_iconColor)
TAVI_PALETTE_SETTER(setActiveIconColor, m_activeIconColor)
TAVI_PALETTE_SETTER(setTextColor, m_textColor)
TAVI_PALETTE_SETTER(setActiveTextColor, m_activeTextColor)
#undef TAVI_PALETTE_SETTER

void FlatButton::setTitle(const QString &title)
{
    setText(title);
    updateTitleLayer();
}

void FlatButton::setImage(const QImage &image)
{
    m_image = image;
    setupImage();
}

void FlatButton::setAlternateImage(const QImage &image)
{
    m_alternateImage = image;
    setupImage();
}

void FlatButton::setImagePosition(ImagePosition position)
{
    m_imagePosition = position;
    positionTitleAndImage();
}

void FlatButton::setOn(bool on)
{
    const int wanted = on ? kOnState : kOffState;
    if (m_state == wanted)
        return;
    m_state = wanted;
    animateColor(on);
}

void FlatButton::updateTitleLayer() { positionTitleAndImage(); }

void FlatButton::setupImage()
{
    if (m_image.isNull())
        return;
    const QSizeF imageSize = m_image.deviceIndependentSize();
    m_iconMask = m_image;
    m_iconFrame = QRectF(QPointF(0, 0), imageSize);
    if (!m_alternateImage.isNull()) {
        m_alternateIconMask = m_alternateImage;
        m_alternateIconFrame = QRectF(QPointF(0, 0), m_alternateImage.deviceIndependentSize());
    }
    positionTitleAndImage();
}

void FlatButton::positionTitleAndImage()
{
    const double W = width();
    const double H = height();
    const QFontMetricsF metrics(font());
    const double tw = metrics.horizontalAdvance(title());
    const double th = metrics.height();
    const double iw = m_iconFrame.width();
    const double ih = m_iconFrame.height();
    const double g = roundHalfAway((W - (iw + tw)) / 3.0);
    const double v = roundHalfAway((H - (ih + th)) / 3.0);

    QPointF icon = m_iconFrame.topLeft();
    QPointF text(roundHalfAway((W - tw) * 0.5), roundHalfAway((H - th) * 0.5));
    switch (m_imagePosition) {
    case ImagePosition::ImageLeft:
        icon = {g, roundHalfAway((H - ih) * 0.5)};
        text = {W - tw - 6.0, roundHalfAway((H - th) * 0.5)};
        break;
    case ImagePosition::ImageRight:
        icon = {W - iw - g, roundHalfAway((H - ih) * 0.5)};
        text = {2.0, roundHalfAway((H - th) * 0.5)};
        break;
    case ImagePosition::ImageBelow:
        icon = {roundHalfAway((W - iw) * 0.5), H - v - ih};
        text = {roundHalfAway((W - tw) * 0.5), 2.0};
        break;
    case ImagePosition::ImageAbove:
        icon = {roundHalfAway((W - iw) * 0.5), v};
        text = {roundHalfAway((W - tw) * 0.5), H - th - 2.0};
        break;
    default: break;
    }
    m_iconFrame = QRectF(icon, QSizeF(iw, ih));
    m_alternateIconFrame = m_iconFrame;
    m_titleFrame = QRectF(text, QSizeF(tw, th));
    update();
}

void FlatButton::removeAnimations()
{
    // The button's own colours and the container's glow; the icons sit one level further down.
    m_background.removeAnimation();
    m_border.removeAnimation();
    m_glow.removeAnimation();
}

void FlatButton::animateColor(bool on)
{
    removeAnimations();
    const double duration = on ? m_onAnimationDuration : m_offAnimationDuration;
    m_background.animate(on ? m_activeButtonColor : m_buttonColor, duration);
    m_border.animate(on ? m_activeBorderColor : m_borderColor, duration);
    m_titleColor = on ? m_activeTextColor : m_textColor;
    if (!m_alternateImage.isNull()) {
        m_iconBackground.animate(on ? QColor(Qt::transparent) : m_iconColor, duration);
        m_alternateIconBackground.animate(on ? m_activeIconColor : QColor(Qt::transparent), duration);
    } else {
        m_iconBackground.animate(on ? m_activeIconColor : m_iconColor, duration);
    }
    if (m_glowRadius > 0 && m_glowOpacity > 0)
        m_glow.animate(on ? m_activeIconColor : QColor(Qt::transparent), duration);
    update();
}

QSize FlatButton::sizeHint() const
{
    const QFontMetricsF metrics(font());
    const double tw = metrics.horizontalAdvance(title());
    const double th = metrics.height();
    const QSizeF icon = m_iconFrame.size();
    const bool beside = m_imagePosition == ImagePosition::ImageLeft || m_imagePosition == ImagePosition::ImageRight;
    const bool stacked = m_imagePosition == ImagePosition::ImageAbove || m_imagePosition == ImagePosition::ImageBelow;
    const double w = beside ? tw + icon.width() + 18 : std::max(tw, icon.width()) + 16;
    const double h = stacked ? th + icon.height() + 12 : std::max(th, icon.height()) + 10;
    return QSize(int(std::ceil(w)), int(std::ceil(h)));
}

void FlatButton::paintContent(QPainter &painter) const
{
    if (!m_iconMask.isNull()) {
        const QColor color = m_iconBackground.presented();
        if (color.alpha() > 0)
            painter.drawImage(m_iconFrame, tinted(m_iconMask, color));
    }
    if (!m_alternateIconMask.isNull() && !m_alternateImage.isNull()) {
        const QColor color = m_alternateIconBackground.presented();
        if (color.alpha() > 0)
            painter.drawImage(m_alternateIconFrame, tinted(m_alternateIconMask, color));
    }
    if (!title().isEmpty()) {
        painter.setPen(m_titleColor);
        painter.setFont(font());
        painter.drawText(m_titleFrame, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, title());
    }
}

void FlatButton::paintGlow(QPainter &painter) const
{
    const QColor color = m_glow.presented();
    if (color.alpha() == 0 || m_shadowOpacity <= 0 || m_shadowRadius <= 0)
        return;
    const int pad = int(std::ceil(m_shadowRadius * 2));
    QImage content(size() + QSize(2 * pad, 2 * pad), QImage::Format_ARGB32_Premultiplied);
    content.fill(Qt::transparent);
    {
        QPainter contentPainter(&content);
        contentPainter.translate(pad, pad);
        paintContent(contentPainter);
    }
    // A cheap blur: the silhouette shrunk and smoothly scaled back up.
    const QImage silhouette = tinted(content, color);
    const double factor = std::max(1.0, m_shadowRadius / 2.0);
    const QSize small(std::max(1, int(silhouette.width() / factor)), std::max(1, int(silhouette.height() / factor)));
    const QImage blurred = silhouette.scaled(small, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                               .scaled(silhouette.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    painter.save();
    painter.setOpacity(painter.opacity() * m_shadowOpacity);
    painter.drawImage(QPointF(-pad, -pad), blurred);
    painter.restore();
}

void FlatButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(m_alphaValue);

    const double bw = m_layerBorderWidth;
    const QRectF bounds(rect());
    QPainterPath box;
    box.addRoundedRect(bounds, m_layerCornerRadius, m_layerCornerRadius);
    painter.fillPath(box, m_background.presented());
    if (bw > 0) {
        const double inset = bw / 2.0;
        const double radius = std::max(0.0, m_layerCornerRadius - inset);
        painter.setPen(QPen(m_border.presented(), bw));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(bounds.adjusted(inset, inset, -inset, -inset), radius, radius);
    }
    paintGlow(painter);
    paintContent(painter);
}

void FlatButton::resizeEvent(QResizeEvent *event)
{
    QAbstractButton::resizeEvent(event);
    positionTitleAndImage();
}

void FlatButton::changeEvent(QEvent *event)
{
    QAbstractButton::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        updateTitleLayer();
    } else if (event->type() == QEvent::EnabledChange) {
        m_alphaValue = isEnabled() ? 1.0 : 0.5;
        // A disabled button is not hit: clicks reach what lies behind it.
        setAttribute(Qt::WA_TransparentForMouseEvents, !isEnabled());
        update();
    }
}

void FlatButton::toggleState()
{
    m_state = isOn() ? kOffState : kOnState;
    animateColor(isOn());
}

void FlatButton::mousePressEvent(QMouseEvent *event)
{
    if (!isEnabled() || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_mouseDown = true;
    m_pointerInside = true;
    toggleState();
}

void FlatButton::mouseMoveEvent(QMouseEvent *event)
{
    // While pressed the pointer is grabbed and no enter or leave arrives: follow it here.
    const bool inside = rect().contains(event->position().toPoint());
    if (inside == m_pointerInside)
        return;
    m_pointerInside = inside;
    if (inside)
        mouseEntered();
    else
        mouseExited();
}

void FlatButton::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_mouseDown)
        return;
    m_mouseDown = false;
    if (m_momentary)
        toggleState();
    Q_EMIT clicked(isOn());
}

void FlatButton::enterEvent(QEnterEvent *)
{
    m_pointerInside = true;
    mouseEntered();
}

void FlatButton::leaveEvent(QEvent *)
{
    m_pointerInside = false;
    mouseExited();
}

void FlatButton::mouseEntered()
{
    if (m_mouseDown)
        toggleState();
}

void FlatButton::mouseExited()
{
    if (!m_mouseDown)
        return;
    toggleState();
    m_mouseDown = false;
}
