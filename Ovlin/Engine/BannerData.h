#pragma once

// Qt Core only: the reminder engine builds banners without linking the widgets library.

#include <QList>
#include <QString>
#include <QUuid>

#include <functional>

namespace ovlin {

// Every banner of the app is a reminder; the card draws both styles alike.
enum class BannerStyle { reminder, informational };

// One button of a banner. The banner runs `handler` on the main thread and then closes itself.
struct BannerAction
{
    // Decides the button's colours and its side of the button row.
    enum class Role { primary, secondary, destructive };

    QUuid id = QUuid::createUuid();
    QString title;
    Role role = Role::secondary;
    std::function<void()> handler;
};

// The content of one banner. Two banners are the same banner only when their ids match, so a new
// banner with the same texts still counts as a change.
struct BannerData
{
    QUuid id = QUuid::createUuid();
    QString title;
    QString message;
    BannerStyle style = BannerStyle::reminder;
    QList<BannerAction> actions;

    friend bool operator==(const BannerData &a, const BannerData &b) { return a.id == b.id; }
};

} // namespace ovlin
