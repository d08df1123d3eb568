#include "Banners/ConfettiCanvas.h"

#include "Base/Clock.h"
#include "Base/MainThread.h"
#include "DesignSystem/ThemeColors.h"

#include <QPainter>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace ovlin {

namespace {

// Seconds from 1970-01-01 to 2001-01-01 UTC.
constexpr double kReferenceDateOffset = 978307200.0;

// Uniform in the closed interval [low, high]: both ends can occur.
double uniform(RandomSource &random, double low, double high)
{
    const double unit = double(random.next64()) / double(std::numeric_limits<quint64>::max());
    return std::clamp(low + (high - low) * unit, low, high);
}

bool coinToss(RandomSource &random)
{
    return (random.next64() >> 63) != 0;
}

// The confetti needs no secure randomness; the global generator is seeded by the system.
class GlobalRandomSource final : public RandomSource
{
public:
    quint64 next64() override { return QRandomGenerator::global()->generate64(); }
};

std::shared_ptr<RandomSource> defaultRandom()
{
    static const std::shared_ptr<RandomSource> source = std::make_shared<GlobalRandomSource>();
    return source;
}

} // namespace

QTransform ConfettiParticle::Appearance::transform() const
{
    QTransform t;
    t.translate(x, y);
    t.rotateRadians(angleDegrees * std::numbers::pi / 180.0);
    t.scale(sizeFactor, sizeFactor);
    return t;
}

std::optional<ConfettiParticle::Appearance> ConfettiParticle::appearanceAt(double time) const
{
    const double age = time - spawnTime;
    if (!(age > 0 && age < lifetime))
        return std::nullopt;
    const double progress = age / lifetime;
    Appearance a;
    a.x = startX + driftX * age;
    a.y = startY + velocityY * age + 120 * age * age;
    a.angleDegrees = age * spin * 360;
    const double fade = (progress - 0.7) / 0.3;
    a.opacity = fade >= 0 ? 1 - fade : 1;
    a.sizeFactor = scale * (1 - 0.3 * progress);
    return a;
}

QRectF ConfettiParticle::shape() const
{
    return isCircle ? QRectF(-4, -4, 8, 8) : QRectF(-5, -2, 10, 4);
}

ConfettiCanvas::ConfettiCanvas(bool isActive, QWidget *parent)
    : QWidget(parent), m_isActive(isActive), m_random(defaultRandom())
{
    OVLIN_ASSERT_MAIN_THREAD();
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    m_frameTimer.setTimerType(Qt::PreciseTimer);
    m_frameTimer.setInterval(frameIntervalMs);
    connect(&m_frameTimer, &QTimer::timeout, this, &ConfettiCanvas::advanceFrame);
}

ConfettiCanvas::~ConfettiCanvas() = default;

const QList<QColor> &ConfettiCanvas::colors()
{
    static const QList<QColor> list{ThemeColors::primary(),  ThemeColors::green300(),   ThemeColors::green200(),
                                    ThemeColors::green500(), ThemeColors::neutral300(), ThemeColors::accent()};
    return list;
}

double ConfettiCanvas::currentTime()
{
    return absoluteTime(Clock::nowMSecs());
}

double ConfettiCanvas::absoluteTime(qint64 msecsSinceEpoch)
{
    return double(msecsSinceEpoch) / 1000.0 - kReferenceDateOffset;
}

ConfettiParticle ConfettiCanvas::makeParticle(double now, RandomSource &random, const QList<QColor> &palette)
{
    ConfettiParticle p;
    p.id = QUuid::createUuid();
    p.spawnTime = now + uniform(random, 0, 0.5);
    p.startX = uniform(random, 0, 800);
    p.startY = uniform(random, -40, 0);
    p.velocityY = uniform(random, 30, 80);
    p.driftX = uniform(random, -30, 30);
    const double turns = uniform(random, 0.5, 2.0);
    p.spin = coinToss(random) ? turns : -turns;
    p.scale = uniform(random, 0.6, 1.2);
    p.lifetime = uniform(random, 2.5, 4.0);
    p.color = palette.isEmpty() ? ThemeColors::primary()
                                : palette.at(qsizetype(uniformIndex(random, quint64(palette.size()))));
    p.isCircle = coinToss(random);
    return p;
}

void ConfettiCanvas::setActive(bool active)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (active == m_isActive)
        return;
    m_isActive = active;
    if (active) {
        spawn();
    } else {
        // Every piece vanishes at once, without a fade.
        m_particles.clear();
        m_burstEnd = 0;
    }
    update();
    updateTicking();
}

void ConfettiCanvas::setRandomSource(std::shared_ptr<RandomSource> random)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_random = random ? std::move(random) : defaultRandom();
}

void ConfettiCanvas::setLayerOpacity(double opacity)
{
    const double o = std::isfinite(opacity) ? std::clamp(opacity, 0.0, 1.0) : 1.0;
    if (o == m_layerOpacity)
        return;
    m_layerOpacity = o;
    update();
}

void ConfettiCanvas::freezeAt(std::optional<double> time)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_frozenTime = time && std::isfinite(*time) ? time : std::nullopt;
    update();
    updateTicking();
}

double ConfettiCanvas::frameTime() const
{
    return m_frozenTime.value_or(currentTime());
}

void ConfettiCanvas::spawn()
{
    const double now = currentTime();
    QList<ConfettiParticle> burst;
    burst.reserve(particleCount);
    double end = now;
    for (int i = 0; i < particleCount; ++i) {
        burst.append(makeParticle(now, *m_random, colors()));
        end = std::max(end, burst.back().spawnTime + burst.back().lifetime);
    }
    m_particles = std::move(burst);
    m_burstStart = now;
    m_burstEnd = end;
}

void ConfettiCanvas::updateTicking()
{
    // A Clock set back before the burst would only redraw nothing; so does one past its end.
    const double now = currentTime();
    const bool run =
        m_isActive && isVisible() && !m_frozenTime && !m_particles.isEmpty() && now >= m_burstStart && now < m_burstEnd;
    if (run && !m_frameTimer.isActive())
        m_frameTimer.start();
    else if (!run && m_frameTimer.isActive())
        m_frameTimer.stop();
}

void ConfettiCanvas::advanceFrame()
{
    OVLIN_ASSERT_MAIN_THREAD();
    update();
    updateTicking();
}

void ConfettiCanvas::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_shownOnce) {
        m_shownOnce = true;
        // A burst thrown by a change before the first show stands.
        if (m_isActive && m_particles.isEmpty())
            spawn();
    }
    updateTicking();
}

void ConfettiCanvas::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    updateTicking();
}

void ConfettiCanvas::paintEvent(QPaintEvent *)
{
    if (m_particles.isEmpty() || m_layerOpacity <= 0)
        return;
    const double t = frameTime();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    // Later pieces are painted over earlier ones.
    for (const ConfettiParticle &particle : std::as_const(m_particles)) {
        const auto look = particle.appearanceAt(t);
        if (!look)
            continue;
        p.setTransform(look->transform());
        p.setOpacity(m_layerOpacity * look->opacity);
        p.setBrush(particle.color);
        if (particle.isCircle)
            p.drawEllipse(particle.shape());
        else
            p.drawRect(particle.shape());
    }
}

} // namespace ovlin
