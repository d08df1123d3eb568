#pragma once

#include "Base/Clock.h"
#include "Copy/RandomSource.h"
#include "Model/Milestone.h"
#include "Model/Reminder.h"

#include <QList>
#include <QUuid>

#include <memory>

inline std::shared_ptr<ovlin::Milestone> makeReward(const QString &reward, qint64 days, const QString &statusRaw)
{
    auto m = ovlin::Milestone::create(QUuid::createUuid(), reward + QStringLiteral(" goal"), reward, days, 0.8,
                                      std::nullopt, ovlin::Clock::now(), ovlin::MilestoneStatus::active);
    m->setStatusRaw(statusRaw);
    return m;
}

inline std::shared_ptr<ovlin::Reminder> makeReminder(const QString &title, const QList<ovlin::Weekday> &days,
                                                     bool active = true)
{
    return ovlin::Reminder::create(QUuid::createUuid(), title, ovlin::ReminderCategory::general, std::nullopt,
                                   ovlin::ScheduleType::fixedTime, ovlin::Clock::now(), std::nullopt, std::nullopt,
                                   std::nullopt, days, active, ovlin::Clock::now());
}

inline const QList<ovlin::Weekday> &everyDay()
{
    using ovlin::Weekday;
    static const QList<Weekday> days{Weekday::monday, Weekday::tuesday,  Weekday::wednesday, Weekday::thursday,
                                     Weekday::friday, Weekday::saturday, Weekday::sunday};
    return days;
}
