#pragma once

#include "DesignSystem/AccessibleValue.h"
#include "DesignSystem/AnimatedValue.h"

#include <QColor>
#include <QWidget>

namespace ovlin {

// A fraction drawn as an arc over a faint full circle, from twelve o'clock clockwise; with `animated`
// the arc eases (0.3 s) towards every new value, starting empty when first shown.
//
// The ring is `size` across, measured on the middle of its stroke, so the stroke reaches lineWidth / 2
// beyond it; the widget reserves that margin so nothing is cut off.
class ProgressRing : public QWidget, public AccessibleValueSource
{
    Q_OBJECT
public:
    ProgressRing(double progress, double size, double lineWidth, const QColor &color, const QColor &trackColor,
                 bool animated, QWidget *parent = nullptr);

    double progress() const { return m_progress; }
    void setProgress(double progress);
    double ringSize() const { return m_size; }
    double lineWidth() const { return m_lineWidth; }
    bool isAnimated() const { return m_animated; }

    // The fraction the arc shows right now, limited to 0...1 (a non-finite progress shows as 0).
    double displayedProgress() const;

    // progress x 100 truncated toward zero; NaN gives 0 and values beyond the 64-bit range saturate.
    static qint64 percent(double progress);
    qint64 percent() const { return percent(m_progress); }
    // "Progress: <n> percent" and "<n>%"
    QString accessibilityLabel() const;
    QString accessibilityValue() const;
    QString accessibleValueText() const override { return accessibilityValue(); }
    QAccessible::Role accessibleValueRole() const override { return QAccessible::ProgressBar; }

    static constexpr double trackOpacity = 0.3;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    static double drawable(double progress);

    double m_progress;
    double m_size;
    double m_lineWidth;
    QColor m_color;
    QColor m_trackColor;
    bool m_animated;
    AnimatedValue m_animatedProgress{0.0};
};

} // namespace ovlin
