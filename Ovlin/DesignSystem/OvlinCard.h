#pragma once

#include "DesignSystem/AnimatedValue.h"

#include <QColor>
#include <QWidget>

#include <functional>

namespace ovlin {

// Something drawn over the card's fill and under its content (clipped to the card's corners).
using OvlinCardBackground = std::function<void(QPainter &painter, const QRectF &rect)>;

// The generic card: `content` padded by `padding` on every edge, on `background` (and the optional
// background drawing) inside a rounded rectangle of radius 14, a 1-pixel inside border (border colour
// with `hasBorder`, the subtle one without), the card shadow with `hasShadow`, and a slight darkening
// while the pointer is over it.
class OvlinCard : public QWidget
{
    Q_OBJECT
public:
    OvlinCard(double padding, const QColor &background, OvlinCardBackground backgroundView, bool hasBorder,
              bool hasShadow, QWidget *content, QWidget *parent = nullptr);

    QWidget *content() const { return m_content; }
    double padding() const { return m_padding; }
    bool hasBorder() const { return m_hasBorder; }
    bool hasShadow() const { return m_hasShadow; }
    bool isHovered() const { return m_isHovered; }
    QColor borderColor() const;
    QColor shadowColor() const;

    static constexpr double hoverBrightness = -0.012;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void childEvent(QChildEvent *event) override;

private:
    double m_padding;
    QColor m_background;
    OvlinCardBackground m_backgroundView;
    bool m_hasBorder;
    bool m_hasShadow;
    QWidget *m_content;
    bool m_isHovered = false;
    AnimatedValue m_hover{0.0};
    QWidget *m_shade = nullptr;
};

} // namespace ovlin
