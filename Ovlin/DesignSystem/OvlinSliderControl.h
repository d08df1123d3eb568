#pragma once

#include "DesignSystem/Binding.h"

#include <QSlider>
#include <QWidget>

namespace ovlin {

class OvlinText;

// A number on a continuous scale: a label row (minimum label, value chip, maximum label) over a slider
// box. The slider moves in steps of `step` between the range's bounds and writes through `value`.
class OvlinSliderControl : public QWidget
{
    Q_OBJECT
public:
    OvlinSliderControl(Binding<double> value, double lower, double upper, double step, const QString &minLabel,
                       const QString &maxLabel, const QString &valueLabel, QWidget *parent = nullptr);

    void setValue(Binding<double> value);
    void setRange(double lower, double upper, double step);
    void setLabels(const QString &minLabel, const QString &maxLabel);
    void setValueLabel(const QString &valueLabel);
    // Re-reads the bound value (call when it changed elsewhere).
    void refresh();

    QSlider *slider() const { return m_slider; }
    // The value the slider stands for at a position (bounds and steps applied).
    double valueAtPosition(int position) const;
    int positionForValue(double value) const;
    int stepCount() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QRectF chipRect() const;
    QRectF boxRect() const;
    double labelRowHeight() const;

    Binding<double> m_value;
    double m_lower;
    double m_upper;
    double m_step;
    QString m_minLabel;
    QString m_maxLabel;
    QString m_valueLabel;
    QSlider *m_slider;
};

} // namespace ovlin
