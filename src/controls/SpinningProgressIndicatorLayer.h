#pragma once
// A progress indicator of two kinds: a ring of fins lit one after another (indeterminate), or a
// ring with a pie segment filled clockwise from twelve o'clock for a value out of a maximum
// (determinate). A lit fin fades down to fadeDownOpacity. GUI thread.

#include <QColor>
#include <QElapsedTimer>
#include <QPointF>
#include <QSizeF>
#include <QWidget>

#include <optional>
#include <vector>

class QTimer;

class SpinningProgressIndicatorLayer : public QWidget {
    Q_OBJECT
public:
    // One fin, placed like a layer: its anchor point (unit coordinates, y up) sits on position.
    struct Fin {
        QSizeF size;
        QPointF anchorPoint;
        QPointF position;
        qreal cornerRadius = 0;
        qreal rotation = 0; // radians, clockwise from twelve o'clock
        float opacity = 0;  // the value the fin settles at
        qint64 litAtMs = -1;
    };

    // What the determinate drawing uses for the current size.
    struct DeterminateGeometry {
        double side = 0;
        double lineWidth = 0;
        double radius = 0;
        QPointF center;
        double pieRadius = 0;
        double fraction = 0; // of a full turn
    };

    static constexpr int kDefaultFinCount = 12;
    static constexpr int kStepIntervalMs = 50;
    static constexpr int kFadeDurationMs = 250;

    explicit SpinningProgressIndicatorLayer(QWidget *parent = nullptr, int numFins = kDefaultFinCount);
    ~SpinningProgressIndicatorLayer() override;

    bool isRunning() const { return m_isRunning; }
    bool isDeterminate() const { return m_isDeterminate; }
    void setDeterminate(bool determinate);
    double maxValue() const { return m_maxValue; }
    void setMaxValue(double value);
    double doubleValue() const { return m_doubleValue; }
    void setDoubleValue(double value);
    int fposition() const { return m_fposition; }
    std::optional<QColor> foreColor() const { return m_foreColor; }
    void setForeColor(const std::optional<QColor> &color);
    float fadeDownOpacity() const { return m_fadeDownOpacity; }
    void setFadeDownOpacity(float opacity);
    int numFins() const { return m_numFins; }
    // Makes count fins standing evenly round the centre.
    void setNumFins(int count);
    // Laid out for the current size.
    const std::vector<Fin> &finLayers() const;
    // The opacity a fin shows now, while it fades down from lit.
    float presentedOpacity(int fin) const;

    // Lights the fins one after another every kStepIntervalMs.
    void startProgressAnimation();
    void stopProgressAnimation();
    // Lights the next fin; the timer's step.
    virtual void advancePosition();

    DeterminateGeometry determinateGeometry() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void layoutFins() const;
    void paintDeterminate(QPainter &painter, const QColor &color) const;
    void paintFins(QPainter &painter, const QColor &color) const;

    bool m_isRunning = false;
    bool m_isDeterminate = false;
    double m_maxValue = 0;
    double m_doubleValue = 0;
    QTimer *m_animationTimer = nullptr;
    int m_fposition = 0;
    std::optional<QColor> m_foreColor;
    float m_fadeDownOpacity = 0;
    int m_numFins = 0;
    mutable std::vector<Fin> m_finLayers;
    mutable QSize m_laidOutSize;
    QElapsedTimer m_clock;
};
