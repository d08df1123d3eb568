#include "DesignSystem/CategoryBadge.h"

#include "Base/MainThread.h"
#include "DesignSystem/IconRegistry.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace ovlin {

namespace {

double lineHeight(const QFont &font)
{
    const QFontMetricsF fm(font);
    return fm.ascent() + fm.descent();
}

} // namespace

CategoryBadge::CategoryBadge(ReminderCategory category, BadgeSize size, bool showLabel, QWidget *parent)
    : QWidget(parent), m_category(category), m_size(size), m_showLabel(showLabel)
{
    OVLIN_ASSERT_MAIN_THREAD();
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    refresh();
}

void CategoryBadge::setCategory(ReminderCategory category)
{
    if (category == m_category)
        return;
    m_category = category;
    refresh();
}

void CategoryBadge::setBadgeSize(BadgeSize size)
{
    if (size == m_size)
        return;
    m_size = size;
    refresh();
}

void CategoryBadge::setShowLabel(bool show)
{
    if (show == m_showLabel)
        return;
    m_showLabel = show;
    refresh();
}

void CategoryBadge::refresh()
{
    // The name is spoken whether or not it is shown.
    setAccessibleName(accessibilityLabel(m_category));
    updateGeometry();
    update();
}

QString CategoryBadge::iconName(ReminderCategory category)
{
    switch (category) {
    case ReminderCategory::meal: return QStringLiteral("fork.knife.circle.fill");
    case ReminderCategory::snack: return QStringLiteral("carrot.fill");
    case ReminderCategory::water: return QStringLiteral("drop.fill");
    case ReminderCategory::movement: return QStringLiteral("figure.run.circle.fill");
    case ReminderCategory::meditation: return QStringLiteral("brain.head.profile.fill");
    case ReminderCategory::general: return QStringLiteral("bell.fill");
    }
    return QStringLiteral("bell.fill");
}

QString CategoryBadge::displayName(ReminderCategory category)
{
    switch (category) {
    case ReminderCategory::meal: return QStringLiteral("Meal");
    case ReminderCategory::snack: return QStringLiteral("Snack");
    case ReminderCategory::water: return QStringLiteral("Water");
    case ReminderCategory::movement: return QStringLiteral("Movement");
    case ReminderCategory::meditation: return QStringLiteral("Meditation");
    case ReminderCategory::general: return QStringLiteral("General");
    }
    return QStringLiteral("General");
}

QString CategoryBadge::accessibilityLabel(ReminderCategory category)
{
    return QStringLiteral("%1 category").arg(displayName(category));
}

CategoryBadge::Metrics CategoryBadge::metrics(BadgeSize size)
{
    switch (size) {
    case BadgeSize::small:
        return {ThemeFonts::captionEmphasis(), LayoutTokens::badgeIconSmall, LayoutTokens::spacingXS,
                LayoutTokens::spacingSM};
    case BadgeSize::medium:
        return {ThemeFonts::callout(), LayoutTokens::badgeIconMedium, LayoutTokens::spacingXS, LayoutTokens::spacingLG};
    case BadgeSize::large:
        return {ThemeFonts::body(), LayoutTokens::badgeIconLarge, LayoutTokens::spacingSM, LayoutTokens::spacingXL};
    }
    return metrics(BadgeSize::small);
}

QSizeF CategoryBadge::badgeSizeF() const
{
    const Metrics m = metrics(m_size);
    double width = m.iconFrame;
    double height = m.iconFrame;
    if (m_showLabel) {
        width += LayoutTokens::spacingXS + QFontMetricsF(m.font).horizontalAdvance(displayName(m_category));
        height = std::max(height, lineHeight(m.font));
    }
    return QSizeF(width + 2 * m.horizontalPadding, height + 2 * m.verticalPadding);
}

QSize CategoryBadge::sizeHint() const
{
    const QSizeF s = badgeSizeF();
    return QSize(int(std::ceil(s.width())), int(std::ceil(s.height())));
}

QSize CategoryBadge::minimumSizeHint() const
{
    return sizeHint();
}

void CategoryBadge::paintEvent(QPaintEvent *)
{
    const Metrics m = metrics(m_size);
    const QSizeF own = badgeSizeF();
    const QRectF pill(QPointF((width() - own.width()) / 2, (height() - own.height()) / 2), own);

    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPainterPath capsule = Painting::capsule(pill);
    p.save();
    p.setClipPath(capsule);
    p.fillPath(capsule, ThemeColors::neutral200());

    const QRectF content =
        pill.adjusted(m.horizontalPadding, m.verticalPadding, -m.horizontalPadding, -m.verticalPadding);
    const QRectF iconFrame(content.left(), content.center().y() - m.iconFrame / 2, m.iconFrame, m.iconFrame);
    // The symbol follows the font's size; its frame only places it.
    const double glyph = IconRegistry::symbolSize(m.font);
    const QRectF glyphRect(iconFrame.center().x() - glyph / 2, iconFrame.center().y() - glyph / 2, glyph, glyph);
    IconRegistry::paint(p, glyphRect, iconName(m_category), ThemeColors::textPrimary());

    if (m_showLabel) {
        const QFontMetricsF fm(m.font);
        const double x = iconFrame.right() + LayoutTokens::spacingXS;
        const QString text = fm.elidedText(displayName(m_category), Qt::ElideRight, content.right() - x + 0.5);
        const double baseline = content.center().y() - lineHeight(m.font) / 2 + fm.ascent();
        p.setFont(m.font);
        p.setPen(ThemeColors::textPrimary());
        p.drawText(QPointF(x, baseline), text);
    }
    p.restore();
    Painting::strokeInside(p, pill, pill.height() / 2, ThemeColors::neutral300(), 1);
}

} // namespace ovlin
