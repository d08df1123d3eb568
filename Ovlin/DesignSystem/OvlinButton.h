#pragma once

#include "DesignSystem/AnimatedValue.h"

#include <QAbstractButton>
#include <QColor>

#include <functional>

class QVariantAnimation;

namespace ovlin {

class OvlinButtonPressStyle;

enum class OvlinButtonStyle { primary, accent, secondary, ghost, destructive };
enum class OvlinButtonSize { small, default_, large, icon };

// The design system's push button: five looks, four sizes, a spinner while loading, a dimmed look while
// `isDisabled`, a slight darkening under the pointer and a small shrink while pressed. It fills the
// width it is offered (screens size it from outside); the icon size is a 52 x 52 square showing the
// symbol named by `title`. While `isDisabled` or `isLoading` it switches itself off for the platform
// (out of the Tab order, reported disabled) yet keeps its own look. Disabling it with setEnabled(false)
// blocks presses and, instead of the dimming, draws the muted look every disabled control has (grey fill,
// border and text, no shadow).
class OvlinButton : public QAbstractButton
{
    Q_OBJECT
public:
    OvlinButton(const QString &title, OvlinButtonStyle style, OvlinButtonSize size, bool isLoading, bool isDisabled,
                std::function<void()> action, QWidget *parent = nullptr);

    QString title() const { return m_title; }
    void setTitle(const QString &title);
    OvlinButtonStyle buttonStyle() const { return m_style; }
    void setButtonStyle(OvlinButtonStyle style);
    OvlinButtonSize buttonSize() const { return m_size; }
    void setButtonSize(OvlinButtonSize size);
    bool isLoading() const { return m_isLoading; }
    void setIsLoading(bool loading);
    bool isDisabled() const { return m_isDisabled; }
    void setIsDisabled(bool disabled);
    void setAction(std::function<void()> action);
    bool isHovered() const { return m_isHovered; }
    // Disabled from outside (itself or an ancestor) rather than through `isDisabled`.
    bool showsMutedLook() const;

    // Runs the action unless the button is disabled or loading.
    void performAction();

    static QColor backgroundColor(OvlinButtonStyle style);
    static QColor foregroundColor(OvlinButtonStyle style);
    static QColor borderColor(OvlinButtonStyle style);
    static bool hasBorder(OvlinButtonStyle style);
    static QColor shadowColor(OvlinButtonStyle style);
    static double heightFor(OvlinButtonSize size);

    static constexpr double disabledOpacity = 0.45;
    static constexpr double hoverBrightness = -0.03;
    static constexpr double spinnerSide = 24; // the regular spinner (32) at 0.75

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

public Q_SLOTS:
    // Hide QWidget's: the owner's wish is kept apart from the button's own switching off, so the
    // button comes back in the state its owner asked for once it is neither disabled nor loading.
    void setEnabled(bool enabled);
    void setDisabled(bool disabled) { setEnabled(!disabled); }

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    bool blocked() const { return m_isDisabled || m_isLoading; }
    void applyEnabled();
    void updateAccessibility();
    void updateGeometryPolicy();
    void updateSpinner();

    QString m_title;
    OvlinButtonStyle m_style;
    OvlinButtonSize m_size;
    bool m_isLoading;
    bool m_isDisabled;
    std::function<void()> m_action;
    bool m_ownerEnabled = true;
    bool m_applyingEnabled = false;
    bool m_isHovered = false;
    AnimatedValue m_hover{0.0};
    OvlinButtonPressStyle *m_press = nullptr;
    QVariantAnimation *m_spin = nullptr;
    double m_spinPhase = 0;
};

// Draws the circular activity spinner (twelve fading spokes) in `color`, centred in `rect`; `phase`
// (0..1) turns it.
void paintSpinner(QPainter &p, const QRectF &rect, const QColor &color, double phase);

} // namespace ovlin
