#pragma once

#include "DesignSystem/ThemeColors.h"

#include <QColor>
#include <QWidget>

namespace ovlin {

// A one-pixel line across the width it is given, optionally kept clear of either edge.
class DividerLine : public QWidget
{
public:
    explicit DividerLine(QWidget *parent = nullptr);
    DividerLine(const QColor &color, double leadingInset, double trailingInset, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_color;
    double m_leadingInset;
    double m_trailingInset;
};

} // namespace ovlin
