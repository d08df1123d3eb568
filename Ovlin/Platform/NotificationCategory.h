#pragma once

#include <QList>
#include <QString>

namespace ovlin {

// One button of a notification.
struct NotificationAction
{
    QString identifier;
    QString title;
    // Choosing it brings Ovlin's main window to the front.
    bool foreground = false;

    friend bool operator==(const NotificationAction &, const NotificationAction &) = default;
};

// The actions offered by every notification whose content names this category, in order.
struct NotificationCategory
{
    QString identifier;
    QList<NotificationAction> actions;
    // The label of a click on the notification itself; empty: "Open".
    QString defaultActionTitle;

    // The action with `identifier`, or null.
    const NotificationAction *action(const QString &actionIdentifier) const
    {
        for (const NotificationAction &a : actions) {
            if (a.identifier == actionIdentifier)
                return &a;
        }
        return nullptr;
    }

    friend bool operator==(const NotificationCategory &, const NotificationCategory &) = default;
};

} // namespace ovlin
