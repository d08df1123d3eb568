#include "DesignSystem/OvlinSliderControl.h"

#include "Base/MainThread.h"
#include "DesignSystem/KeyboardFocus.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPointer>
#include <QStyleOptionSlider>

#include <algorithm>
#include <cmath>

namespace ovlin {

namespace {

// The slider's layout slot (large control size) and its drawing, stretched 1.45 times vertically.
constexpr double kSlotHeight = 24;
constexpr double kTrack = 4;
constexpr double kKnob = 20;
constexpr double kVerticalScale = 1.45;
constexpr int kContinuousSteps = 1000;

class SliderTrack : public QSlider
{
public:
    explicit SliderTrack(QWidget *parent) : QSlider(Qt::Horizontal, parent)
    {
        // Taller than its slot: the stretched knob overhangs into the box's padding.
        setFixedHeight(int(std::ceil(kKnob * kVerticalScale)) + 2);
        setFocusPolicy(Qt::TabFocus);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r(rect());
        const double knobW = kKnob;
        const double knobH = kKnob * kVerticalScale;
        const double track = kTrack * kVerticalScale;
        const double left = r.left() + knobW / 2;
        const double right = r.right() - knobW / 2;
        const double span = std::max(1, maximum() - minimum());
        const double fraction = std::clamp(double(sliderPosition() - minimum()) / span, 0.0, 1.0);
        const double x = left + (right - left) * fraction;
        const double cy = r.center().y();
        const QRectF full(left - track / 2, cy - track / 2, right - left + track, track);
        p.setPen(Qt::NoPen);
        p.setBrush(ThemeColors::neutral200());
        p.drawPath(Painting::capsule(full));
        p.setBrush(isEnabled() ? ThemeColors::primary() : ThemeColors::neutral300());
        p.drawPath(Painting::capsule(QRectF(full.left(), full.top(), x - full.left(), track)));
        // The knob: white, a hairline edge and a faint shadow, stretched like the track.
        const QRectF knob(x - knobW / 2, cy - knobH / 2, knobW, knobH);
        p.setBrush(Painting::withOpacity(ThemeColors::neutral900(), 0.12));
        p.drawEllipse(knob.translated(0, 0.75));
        p.setBrush(Qt::white);
        p.setPen(QPen(Painting::withOpacity(ThemeColors::neutral900(), 0.10), 0.75));
        p.drawEllipse(knob.adjusted(0.375, 0.375, -0.375, -0.375));
        if (KeyboardFocus::hasRing(this)) {
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(ThemeColors::neutral700(), 2));
            p.drawEllipse(knob.adjusted(1, 1, -1, -1));
        }
    }
};

double finiteOr(double v, double fallback)
{
    return std::isfinite(v) ? v : fallback;
}

} // namespace

OvlinSliderControl::OvlinSliderControl(Binding<double> value, double lower, double upper, double step,
                                       const QString &minLabel, const QString &maxLabel, const QString &valueLabel,
                                       QWidget *parent)
    : QWidget(parent), m_value(std::move(value)), m_minLabel(minLabel), m_maxLabel(maxLabel), m_valueLabel(valueLabel)
{
    m_slider = new SliderTrack(this);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(sizeHint().height());
    setRange(lower, upper, step);
    connect(m_slider, &QSlider::valueChanged, this, [this](int position) {
        OVLIN_ASSERT_MAIN_THREAD();
        const double v = valueAtPosition(position);
        if (v != m_value.value())
            m_value.write(v);
    });
    refresh();
}

void OvlinSliderControl::setValue(Binding<double> value)
{
    m_value = std::move(value);
    refresh();
}

void OvlinSliderControl::setRange(double lower, double upper, double step)
{
    m_lower = finiteOr(lower, 0);
    m_upper = std::max(m_lower, finiteOr(upper, m_lower));
    m_step = finiteOr(step, 0) > 0 ? step : 0;
    const QSignalBlocker block(m_slider);
    m_slider->setRange(0, stepCount());
    m_slider->setSingleStep(1);
    m_slider->setPageStep(std::max(1, stepCount() / 10));
    refresh();
}

void OvlinSliderControl::setLabels(const QString &minLabel, const QString &maxLabel)
{
    m_minLabel = minLabel;
    m_maxLabel = maxLabel;
    update();
}

void OvlinSliderControl::setValueLabel(const QString &valueLabel)
{
    m_valueLabel = valueLabel;
    update();
}

int OvlinSliderControl::stepCount() const
{
    const double span = m_upper - m_lower;
    if (span <= 0)
        return 0;
    if (m_step <= 0)
        return kContinuousSteps;
    // Whole steps only, as a stepped slider does; a huge count falls back to a fine continuous scale.
    const double steps = std::floor(span / m_step + 1e-9);
    return steps > 100000 ? kContinuousSteps : int(steps);
}

double OvlinSliderControl::valueAtPosition(int position) const
{
    const int steps = stepCount();
    if (steps <= 0)
        return m_lower;
    const int pos = std::clamp(position, 0, steps);
    const double unit = (m_step > 0 && steps != kContinuousSteps) ? m_step : (m_upper - m_lower) / steps;
    return std::min(m_upper, m_lower + pos * unit);
}

int OvlinSliderControl::positionForValue(double value) const
{
    const int steps = stepCount();
    if (steps <= 0 || !std::isfinite(value))
        return 0;
    const double unit = (m_step > 0 && steps != kContinuousSteps) ? m_step : (m_upper - m_lower) / steps;
    const double pos = std::round((std::clamp(value, m_lower, m_upper) - m_lower) / unit);
    return std::clamp(int(pos), 0, steps);
}

void OvlinSliderControl::refresh()
{
    const QSignalBlocker block(m_slider);
    m_slider->setValue(positionForValue(m_value.value()));
    update();
}

double OvlinSliderControl::labelRowHeight() const
{
    const QFontMetricsF chip(ThemeFonts::label());
    return std::ceil(chip.ascent() + chip.descent() + 2 * LayoutTokens::spacingSM);
}

QRectF OvlinSliderControl::chipRect() const
{
    // Centred between the two end labels (equal flexible gaps on both sides).
    const QFontMetricsF fm(ThemeFonts::label());
    const QFontMetricsF efm(ThemeFonts::subheadline());
    const double w = fm.horizontalAdvance(m_valueLabel) + 2 * LayoutTokens::spacingLG;
    const double minW = efm.horizontalAdvance(m_minLabel);
    const double maxW = efm.horizontalAdvance(m_maxLabel);
    const double free = width() - minW - maxW - w;
    const double x = free > 0 ? minW + free / 2 : (width() - w) / 2;
    return QRectF(x, 0, w, labelRowHeight());
}

QRectF OvlinSliderControl::boxRect() const
{
    const double top = labelRowHeight() + LayoutTokens::spacingSM;
    const double h = kSlotHeight + 2 * LayoutTokens::spacingXS + 2 * LayoutTokens::spacingSM;
    return QRectF(0, top, width(), h);
}

QSize OvlinSliderControl::sizeHint() const
{
    const double h = labelRowHeight() + LayoutTokens::spacingSM + kSlotHeight + 2 * LayoutTokens::spacingXS +
                     2 * LayoutTokens::spacingSM;
    return QSize(280, int(std::ceil(h)));
}

void OvlinSliderControl::resizeEvent(QResizeEvent *event)
{
    const QRectF box = boxRect();
    const double padX = LayoutTokens::spacingLG + LayoutTokens::spacingXS;
    const double padY = LayoutTokens::spacingSM + LayoutTokens::spacingXS;
    const double slotCentre = box.top() + padY + kSlotHeight / 2;
    m_slider->setGeometry(QRectF(box.left() + padX, slotCentre - m_slider->height() / 2.0,
                                 std::max(0.0, box.width() - 2 * padX), m_slider->height())
                              .toRect());
    QWidget::resizeEvent(event);
}

void OvlinSliderControl::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    const double rowH = labelRowHeight();
    const QFont &endFont = ThemeFonts::subheadline();
    const QFontMetricsF efm(endFont);
    const double endBaseline = rowH / 2 + (efm.ascent() - efm.descent()) / 2;
    p.setFont(endFont);
    p.setPen(ThemeColors::textSecondary());
    const QRectF chip = chipRect();
    const double endSpace = std::max(0.0, chip.left() - LayoutTokens::spacingSM);
    p.drawText(QPointF(0, endBaseline), efm.elidedText(m_minLabel, Qt::ElideRight, endSpace));
    const QString maxText = efm.elidedText(m_maxLabel, Qt::ElideRight, endSpace);
    p.drawText(QPointF(width() - efm.horizontalAdvance(maxText), endBaseline), maxText);

    p.setPen(Qt::NoPen);
    p.setBrush(ThemeColors::green200());
    p.drawPath(Painting::capsule(chip));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(ThemeColors::border(), 1));
    p.drawPath(Painting::capsule(chip.adjusted(0.5, 0.5, -0.5, -0.5)));
    const QFontMetricsF cfm(ThemeFonts::label());
    p.setFont(ThemeFonts::label());
    p.setPen(ThemeColors::primaryDark());
    p.drawText(QPointF(chip.left() + LayoutTokens::spacingLG, chip.center().y() + (cfm.ascent() - cfm.descent()) / 2),
               m_valueLabel);

    const QRectF box = boxRect();
    Painting::fillRounded(p, box, LayoutTokens::radiusLG, ThemeColors::surfaceMuted());
    Painting::strokeInside(p, box, LayoutTokens::radiusLG, ThemeColors::borderSubtle(), 1);
}

} // namespace ovlin
