#include "DesignSystem/SheetCloseButton.h"

#include "DesignSystem/IconRegistry.h"
#include "DesignSystem/KeyboardFocus.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/ThemeColors.h"

#include <QPainter>

namespace ovlin {

SheetCloseButton::SheetCloseButton(const QFont &symbolFont, QWidget *parent)
    : QAbstractButton(parent), m_symbolFont(symbolFont)
{
    const int side = int(LayoutTokens::iconTileMedium);
    setFixedSize(side, side);
    setFocusPolicy(Qt::TabFocus);
    setAccessibleName(QStringLiteral("Close"));
}

void SheetCloseButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(rect());
    Painting::fillRounded(p, r, LayoutTokens::radiusSM, ThemeColors::surfaceMuted());
    const double side = IconRegistry::symbolSize(m_symbolFont);
    IconRegistry::paint(p, QRectF(r.center().x() - side / 2, r.center().y() - side / 2, side, side),
                        QStringLiteral("xmark"), ThemeColors::textSecondary());
    if (m_showsFocusRing && KeyboardFocus::hasRing(this))
        Painting::strokeInside(p, r, LayoutTokens::radiusSM, ThemeColors::neutral700(), 1.5);
}

} // namespace ovlin
