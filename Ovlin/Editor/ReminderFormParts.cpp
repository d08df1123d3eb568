#include "Editor/ReminderFormParts.h"

#include "DesignSystem/CategoryBadge.h"
#include "DesignSystem/IconRegistry.h"
#include "DesignSystem/KeyboardFocus.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/OvlinText.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"

#include <QPainter>
#include <QStringList>
#include <QVBoxLayout>

namespace ovlin {

QString ReminderFormParts::namePlaceholder(ReminderCategory category)
{
    switch (category) {
    case ReminderCategory::meal: return QStringLiteral("Lunch");
    case ReminderCategory::snack: return QStringLiteral("Afternoon snack");
    case ReminderCategory::water: return QStringLiteral("Hydration check");
    case ReminderCategory::movement: return QStringLiteral("Walk");
    case ReminderCategory::meditation: return QStringLiteral("Morning meditation");
    case ReminderCategory::general: return QStringLiteral("My habit");
    }
    return QStringLiteral("My habit");
}

QString ReminderFormParts::scheduleTypeTitle(ScheduleType type)
{
    switch (type) {
    case ScheduleType::fixedTime: return QStringLiteral("Fixed time");
    case ScheduleType::interval: return QStringLiteral("Interval");
    case ScheduleType::combined: return QStringLiteral("Fixed + interval");
    }
    return QStringLiteral("Fixed time");
}

QString ReminderFormParts::scheduleTypeSummary(ScheduleType type)
{
    switch (type) {
    case ScheduleType::fixedTime: return QStringLiteral("One nudge at a specific time.");
    case ScheduleType::interval: return QStringLiteral("Repeats every N minutes inside a time window.");
    case ScheduleType::combined: return QStringLiteral("A set time, then repeated nudges.");
    }
    return {};
}

QString ReminderFormParts::scheduleTypeSymbolName(ScheduleType type)
{
    switch (type) {
    case ScheduleType::fixedTime: return QStringLiteral("clock");
    case ScheduleType::interval: return QStringLiteral("arrow.clockwise");
    case ScheduleType::combined: return QStringLiteral("clock.arrow.2.circlepath");
    }
    return QStringLiteral("clock");
}

QString ReminderFormParts::categoryDisplayName(ReminderCategory category)
{
    return CategoryBadge::displayName(category);
}

QString ReminderFormParts::categorySymbolName(ReminderCategory category)
{
    return CategoryBadge::iconName(category);
}

QString ReminderFormParts::daysSummary(const std::set<Weekday> &days)
{
    bool all = true;
    for (const Weekday day : allWeekdays)
        all = all && days.contains(day);
    if (all)
        return QStringLiteral("Every day");
    static const char *const letters[] = {"M", "T", "W", "T", "F", "S", "S"};
    QStringList chosen;
    for (const Weekday day : allWeekdays) {
        if (days.contains(day))
            chosen << QString::fromLatin1(letters[rawValue(day) - 1]);
    }
    return chosen.join(QLatin1Char(' '));
}

QVBoxLayout *ReminderFormParts::makeStack(QWidget *owner, double spacing)
{
    auto *stack = new QVBoxLayout(owner);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(int(spacing));
    return stack;
}

QWidget *ReminderFormParts::makeHeader(const QString &title, const QString &subtitle, QWidget *parent)
{
    auto *header = new QWidget(parent);
    QVBoxLayout *stack = makeStack(header, LayoutTokens::stackTight);
    stack->addWidget(new OvlinText(title, ThemeFonts::heading(), ThemeColors::textPrimary(), header));
    stack->addWidget(new OvlinText(subtitle, ThemeFonts::body(), ThemeColors::textSecondary(), header));
    return header;
}

QWidget *ReminderFormParts::makeCaption(const QString &text, const QColor &color, double tracking, QWidget *parent)
{
    QFont font = ThemeFonts::captionEmphasis();
    font.setLetterSpacing(QFont::AbsoluteSpacing, tracking);
    auto *caption = new OvlinText(text, font, color, parent);
    caption->setSingleLine(true);
    return caption;
}

void ReminderFormParts::paintOption(QPainter &p, const QRectF &rect, bool selected)
{
    Painting::fillRounded(p, rect, optionRadius, selected ? ThemeColors::neutral50() : ThemeColors::surface());
    if (selected)
        Painting::strokeInside(p, rect, optionRadius, ThemeColors::neutral700(), 2);
    else
        Painting::strokeInside(p, rect, optionRadius, ThemeColors::neutral200(), 1);
}

void ReminderFormParts::paintOptionRing(QPainter &p, const QWidget *option, const QRectF &rect)
{
    constexpr double inset = 4;
    KeyboardFocus::paintRing(p, option, rect.adjusted(inset, inset, -inset, -inset), optionRadius - inset);
}

void ReminderFormParts::paintIconTile(QPainter &p, const QRectF &rect, bool selected, const QString &symbol)
{
    Painting::fillRounded(p, rect, LayoutTokens::radiusSM,
                          selected ? ThemeColors::neutral200() : ThemeColors::surfaceMuted());
    const double side = IconRegistry::symbolSize(ThemeFonts::body());
    const QRectF iconRect(rect.center().x() - side / 2, rect.center().y() - side / 2, side, side);
    IconRegistry::paint(p, iconRect, symbol, ThemeColors::textPrimary());
}

} // namespace ovlin
