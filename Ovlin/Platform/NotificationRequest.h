#pragma once

#include <QDateTime>
#include <QString>
#include <QVariantMap>

#include <optional>
#include <variant>

namespace ovlin {

// A sound played with a notification, named after the freedesktop sound theme.
struct NotificationSound
{
    QString name;

    // The sound of an ordinary notification.
    static NotificationSound defaultSound();

    friend bool operator==(const NotificationSound &, const NotificationSound &) = default;
};

struct NotificationContent
{
    QString title;
    QString body;
    std::optional<NotificationSound> sound; // none: the notification is silent
    QString categoryIdentifier;             // empty: no category, so no actions
    QVariantMap userInfo;
    // One-shot requests of one group that are missed together (asleep, clock set forward) are delivered as the
    // latest of them only. Empty: no group.
    QString collapseGroup;

    friend bool operator==(const NotificationContent &, const NotificationContent &) = default;
};

// Fires at hour:minute, on one calendar weekday (1 Sunday ... 7 Saturday) or, without one, every day.
// A time that does not exist on a day (daylight-saving gap) fires at the next existing time; a time that
// occurs twice fires at its first occurrence only.
struct CalendarTrigger
{
    int hour = 0;
    int minute = 0;
    std::optional<int> weekday;
    bool repeats = false;

    bool isValid() const;
    // The first moment strictly after `after` that matches, or an invalid date-time when the trigger is invalid.
    QDateTime nextFireDate(const QDateTime &after) const;
    // The last moment at or before `atOrBefore` that matches, or an invalid date-time when the trigger is invalid.
    QDateTime previousFireDate(const QDateTime &atOrBefore) const;

    friend bool operator==(const CalendarTrigger &, const CalendarTrigger &) = default;
};

// Fires once, `seconds` after the request is added.
struct TimeIntervalTrigger
{
    double seconds = 0;

    // Positive, finite and at most ten years.
    bool isValid() const;
    QDateTime fireDate(const QDateTime &addedAt) const;

    friend bool operator==(const TimeIntervalTrigger &, const TimeIntervalTrigger &) = default;
};

using NotificationTrigger = std::variant<CalendarTrigger, TimeIntervalTrigger>;

struct NotificationRequest
{
    QString identifier;
    NotificationContent content;
    NotificationTrigger trigger;

    // A non-empty identifier and a valid trigger.
    bool isValid() const;
    bool repeats() const;

    friend bool operator==(const NotificationRequest &, const NotificationRequest &) = default;
};

} // namespace ovlin
