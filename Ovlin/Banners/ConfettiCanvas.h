#pragma once

#include "Copy/RandomSource.h"

#include <QColor>
#include <QList>
#include <QRectF>
#include <QTimer>
#include <QTransform>
#include <QUuid>
#include <QWidget>

#include <memory>
#include <optional>

namespace ovlin {

// One piece of confetti. Every field is drawn once at birth; where the piece is, how it is turned,
// how opaque and how large it is follow from its age alone.
struct ConfettiParticle
{
    QUuid id;
    double spawnTime = 0; // absolute seconds (since 1 January 2001 UTC) at which it starts to be drawn
    double startX = 0;    // pixels from the canvas's left edge
    double startY = 0;    // pixels from the top edge; negative is above it
    double velocityY = 0; // initial downward speed, pixels per second
    double driftX = 0;    // constant sideways speed, pixels per second
    double spin = 0;      // turns per second, signed
    double scale = 1;     // size factor at birth
    double lifetime = 0;  // seconds after spawnTime until it is no longer drawn
    QColor color;
    bool isCircle = false;

    struct Appearance
    {
        double x = 0;
        double y = 0;
        double angleDegrees = 0;
        double opacity = 1;
        double sizeFactor = 1;

        // Scales a shape centred on the origin, turns it about its centre and places the centre at (x, y).
        QTransform transform() const;
    };

    // How the piece looks at `time` (absolute seconds); nothing unless 0 < age < lifetime.
    std::optional<Appearance> appearanceAt(double time) const;
    // The untransformed shape: an 8-pixel dot or a 10 by 4 strip, centred on the origin.
    QRectF shape() const;
};

// One burst of 60 pieces of confetti falling from just above the top edge, drifting, spinning, fading
// and shrinking. `isActive` turning true throws a fresh burst; turning false clears it at once. Redraws
// at most 60 times a second, only while visible and active and while the burst lasts.
class ConfettiCanvas final : public QWidget
{
    Q_OBJECT
public:
    static constexpr int particleCount = 60;
    // 17 ms keeps the redraw rate at or below 60 frames a second.
    static constexpr int frameIntervalMs = 17;

    explicit ConfettiCanvas(bool isActive = false, QWidget *parent = nullptr);
    ~ConfettiCanvas() override;

    // The six colours a piece is drawn in.
    static const QList<QColor> &colors();
    // The Clock's time as absolute seconds since 1 January 2001 UTC, the time base of the particles.
    static double currentTime();
    // A Clock reading (milliseconds since 1970) in the same time base.
    static double absoluteTime(qint64 msecsSinceEpoch);
    // One random piece of a burst started at `now`; an empty colour list gives ThemeColors::primary().
    static ConfettiParticle makeParticle(double now, RandomSource &random, const QList<QColor> &colors);

    bool isActive() const { return m_isActive; }
    void setActive(bool active);

    const QList<ConfettiParticle> &particles() const { return m_particles; }
    // Null restores the default source.
    void setRandomSource(std::shared_ptr<RandomSource> random);

    // Opacity of the whole layer, for a host that fades it out with itself.
    void setLayerOpacity(double opacity);
    double layerOpacity() const { return m_layerOpacity; }

    // Draws the burst as it stands at `time` (absolute seconds) and stops redrawing; none returns to the
    // Clock. For previews.
    void freezeAt(std::optional<double> time);

    bool isTicking() const { return m_frameTimer.isActive(); }
    // The frame timer's handler: redraws and stops once the burst is over.
    void advanceFrame();

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void spawn();
    void updateTicking();
    double frameTime() const;

    bool m_isActive = false;
    bool m_shownOnce = false;
    QList<ConfettiParticle> m_particles;
    double m_burstStart = 0;
    double m_burstEnd = 0;
    double m_layerOpacity = 1;
    std::optional<double> m_frozenTime;
    std::shared_ptr<RandomSource> m_random;
    QTimer m_frameTimer;
};

} // namespace ovlin
