#pragma once

#include "DesignSystem/Binding.h"

#include <QWidget>

class QAbstractButton;

namespace ovlin {

// An integer changed in fixed steps between bounds: "minus", a value box ("<value> <suffix>") and "plus".
// A step button is enabled only while the step keeps the value inside the range; the field never
// corrects a value by itself.
class OvlinStepperField : public QWidget
{
    Q_OBJECT
public:
    OvlinStepperField(Binding<qint64> value, qint64 lower, qint64 upper, qint64 step, const QString &suffix,
                      QWidget *parent = nullptr);

    void setValue(Binding<qint64> value);
    void setRange(qint64 lower, qint64 upper);
    void setStep(qint64 step);
    void setSuffix(const QString &suffix);
    // Re-reads the bound value (call when it changed elsewhere).
    void refresh();

    QAbstractButton *decrementButton() const { return m_minus; }
    QAbstractButton *incrementButton() const { return m_plus; }
    bool canDecrement() const;
    bool canIncrement() const;
    QString valueText() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void layoutButtons();

    Binding<qint64> m_value;
    qint64 m_lower;
    qint64 m_upper;
    qint64 m_step;
    QString m_suffix;
    QAbstractButton *m_minus;
    QAbstractButton *m_plus;
};

} // namespace ovlin
