#pragma once

#include "Model/Enums.h"

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>

#include <set>

class QPainter;
class QVBoxLayout;
class QWidget;

namespace ovlin {

// Texts and drawing shared by the editor's steps.
struct ReminderFormParts
{
    // The name field's placeholder for a category ("Lunch", "Hydration check", ...).
    static QString namePlaceholder(ReminderCategory category);
    // A schedule type as the editor offers it.
    static QString scheduleTypeTitle(ScheduleType type);
    static QString scheduleTypeSummary(ScheduleType type);
    static QString scheduleTypeSymbolName(ScheduleType type);
    static QString categoryDisplayName(ReminderCategory category);
    static QString categorySymbolName(ReminderCategory category);
    // "Every day" for all seven days, else the chosen days' letters Monday to Sunday, space separated.
    static QString daysSummary(const std::set<Weekday> &days);

    // A step section's header: the title (heading) over the subtitle (body, secondary), 8 apart.
    static QWidget *makeHeader(const QString &title, const QString &subtitle, QWidget *parent = nullptr);
    // A vertical stack without margins, leading-aligned children added by the caller.
    static QVBoxLayout *makeStack(QWidget *owner, double spacing);
    // A small upper-case caption ("NAME", "REPEAT EVERY") with the given tracking.
    static QWidget *makeCaption(const QString &text, const QColor &color, double tracking, QWidget *parent = nullptr);

    // The selectable option look (category tiles, schedule-type cards): a light fill and a 2-pixel dark
    // outline while selected, white with a 1-pixel light outline otherwise.
    static void paintOption(QPainter &p, const QRectF &rect, bool selected);
    // An option's keyboard ring: inside its outline with a gap, since a selected option's outline already
    // looks like a ring.
    static void paintOptionRing(QPainter &p, const QWidget *option, const QRectF &rect);
    // The 36-pixel icon tile of an option with its symbol.
    static void paintIconTile(QPainter &p, const QRectF &rect, bool selected, const QString &symbol);
    static constexpr double optionRadius = 10;
};

} // namespace ovlin
