#pragma once
// A flat push or toggle button: a rounded, bordered box whose background, border, title and icon
// colours switch between an off and an on palette with a short colour animation. The icon image
// serves as an alpha mask over the icon colour, so one monochrome image fits every palette.
// A press turns the button on at once, releasing inside emits clicked(), leaving while pressed
// cancels the press; a momentary button turns off again on release. GUI thread.

#include "controls/ColorTransition.h"

#include <QAbstractButton>
#include <QImage>

class FlatButton : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(bool momentary READ isMomentary WRITE setMomentary)
    Q_PROPERTY(double onAnimationDuration READ onAnimationDuration WRITE setOnAnimationDuration)
    Q_PROPERTY(double offAnimationDuration READ offAnimationDuration WRITE setOffAnimationDuration)
    Q_PROPERTY(double glowRadius READ glowRadius WRITE setGlowRadius)
    Q_PROPERTY(float glowOpacity READ glowOpacity WRITE setGlowOpacity)
    Q_PROPERTY(double cornerRadius READ cornerRadius WRITE setCornerRadius)
    Q_PROPERTY(double borderWidth READ borderWidth WRITE setBorderWidth)
    Q_PROPERTY(QColor borderColor READ borderColor WRITE setBorderColor)
    Q_PROPERTY(QColor activeBorderColor READ activeBorderColor WRITE setActiveBorderColor)
    Q_PROPERTY(QColor buttonColor READ buttonColor WRITE setButtonColor)
    Q_PROPERTY(QColor activeButtonColor READ activeButtonColor WRITE setActiveButtonColor)
    Q_PROPERTY(QColor iconColor READ iconColor WRITE setIconColor)
    Q_PROPERTY(QColor activeIconColor READ activeIconColor WRITE setActiveIconColor)
    Q_PROPERTY(QColor textColor READ textColor WRITE setTextColor)
    Q_PROPERTY(QColor activeTextColor READ activeTextColor WRITE setActiveTextColor)
    Q_PROPERTY(QString title READ title WRITE setTitle)

public:
    // Control states; only kOnState shows the on palette.
    static constexpr int kOffState = 0;
    static constexpr int kOnState = 1;
    static constexpr int kMixedState = -1;

    // Where the image sits relative to the title.
    enum class ImagePosition {
        NoImage,
        ImageOnly,
        ImageLeft,
        ImageRight,
        ImageBelow,
        ImageAbove,
        ImageOverlaps,
        ImageLeading,
        ImageTrailing
    };
    Q_ENUM(ImagePosition)

    // The animated colours of the drawing.
    enum class LayerColor { Background, Border, Icon, AlternateIcon, Glow };

    explicit FlatButton(QWidget *parent = nullptr);

    int state() const { return m_state; }
    // Stores the state only; setOn() also applies the palette.
    void setState(int state) { m_state = state; }
    bool isOn() const { return m_state == kOnState; }

    bool isMomentary() const { return m_momentary; }
    void setMomentary(bool momentary);
    double onAnimationDuration() const { return m_onAnimationDuration; }
    void setOnAnimationDuration(double seconds) { m_onAnimationDuration = seconds; }
    double offAnimationDuration() const { return m_offAnimationDuration; }
    void setOffAnimationDuration(double seconds) { m_offAnimationDuration = seconds; }
    double glowRadius() const { return m_glowRadius; }
    void setGlowRadius(double radius);
    float glowOpacity() const { return m_glowOpacity; }
    void setGlowOpacity(float opacity);
    double cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(double radius);
    double borderWidth() const { return m_borderWidth; }
    void setBorderWidth(double width);

    QColor borderColor() const { return m_borderColor; }
    void setBorderColor(const QColor &color);
    QColor activeBorderColor() const { return m_activeBorderColor; }
    void setActiveBorderColor(const QColor &color);
    QColor buttonColor() const { return m_buttonColor; }
    void setButtonColor(const QColor &color);
    QColor activeButtonColor() const { return m_activeButtonColor; }
    void setActiveButtonColor(const QColor &color);
    QColor iconColor() const { return m_iconColor; }
    void setIconColor(const QColor &color);
    QColor activeIconColor() const { return m_activeIconColor; }
    void setActiveIconColor(const QColor &color);
    QColor textColor() const { return m_textColor; }
    void setTextColor(const QColor &color);
    QColor activeTextColor() const { return m_activeTextColor; }
    void setActiveTextColor(const QColor &color);

    QString title() const { return text(); }
    void setTitle(const QString &title);
    QImage image() const { return m_image; }
    void setImage(const QImage &image);
    QImage alternateImage() const { return m_alternateImage; }
    void setAlternateImage(const QImage &image);
    ImagePosition imagePosition() const { return m_imagePosition; }
    void setImagePosition(ImagePosition position);

    // Turns the button on or off with the palette change; nothing when it already is.
    virtual void setOn(bool on);

    // What is drawn, for the owner and for tests.
    const ColorTransition &layerColor(LayerColor which) const;
    QColor titleColor() const { return m_titleColor; }
    QRectF iconFrame() const { return m_iconFrame; }
    QRectF alternateIconFrame() const { return m_alternateIconFrame; }
    QRectF titleFrame() const { return m_titleFrame; }
    double alphaValue() const { return m_alphaValue; }
    double layerCornerRadius() const { return m_layerCornerRadius; }
    double layerBorderWidth() const { return m_layerBorderWidth; }

    QSize sizeHint() const override;

protected:
    virtual void setup();
    virtual void updateTitleLayer();
    virtual void positionTitleAndImage();
    virtual void setupImage();
    virtual void removeAnimations();
    virtual void animateColor(bool on);

    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void mouseEntered();
    void mouseExited();
    void toggleState();
    void reapplyPalette() { animateColor(isOn()); }
    void paintContent(QPainter &painter) const;
    void paintGlow(QPainter &painter) const;

    ColorTransition m_background;
    ColorTransition m_border;
    ColorTransition m_iconBackground;
    ColorTransition m_alternateIconBackground;
    ColorTransition m_glow;

    bool m_mouseDown = false;
    bool m_pointerInside = false;
    bool m_momentary = true;
    double m_onAnimationDuration = 0.0;
    double m_offAnimationDuration = 0.1;
    double m_glowRadius = 0.0;
    float m_glowOpacity = 0.0f;
    double m_cornerRadius = 4.0;
    double m_borderWidth = 1.0;
    QColor m_borderColor;
    QColor m_activeBorderColor;
    QColor m_buttonColor;
    QColor m_activeButtonColor;
    QColor m_iconColor;
    QColor m_activeIconColor;
    QColor m_textColor;
    QColor m_activeTextColor;

    int m_state = kOffState;
    QImage m_image;
    QImage m_alternateImage;
    QImage m_iconMask;
    QImage m_alternateIconMask;
    ImagePosition m_imagePosition = ImagePosition::NoImage;
    QRectF m_iconFrame;
    QRectF m_alternateIconFrame;
    QRectF m_titleFrame;
    QColor m_titleColor;
    double m_alphaValue = 1.0;
    double m_layerCornerRadius = 0.0;
    double m_layerBorderWidth = 0.0;
    double m_shadowRadius = 3.0;
    float m_shadowOpacity = 0.0f;
};
