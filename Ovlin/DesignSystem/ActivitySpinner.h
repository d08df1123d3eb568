#pragma once

#include <QColor>
#include <QWidget>

class QVariantAnimation;

namespace ovlin {

// The design system's indeterminate activity indicator on its own (the spinner of a loading button):
// twelve fading spokes that turn while the spinner is shown and animations are on.
class ActivitySpinner : public QWidget
{
    Q_OBJECT
public:
    explicit ActivitySpinner(double side = regularSide, QWidget *parent = nullptr);

    static constexpr double regularSide = 32;

    bool isSpinning() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void updateAnimation();

    double m_side;
    double m_phase = 0;
    QVariantAnimation *m_spin = nullptr;
};

} // namespace ovlin
