#pragma once

#include "Support/EngineTestSupport.h"

#include "Base/Clock.h"
#include "Model/Milestone.h"
#include "ScreenParts/ReminderListViewModel.h"

#include <QCoreApplication>
#include <QLayout>
#include <QStringList>
#include <QWidget>

// Shared helpers of the today-screen tests (TZ=Europe/Berlin). 2026-06-10 is a Wednesday.
namespace todaytest {

using namespace ovlin;
using namespace enginetest;

inline const QDate kWednesday{2026, 6, 10};

inline QStringList titles(const QList<std::shared_ptr<Reminder>> &reminders)
{
    QStringList out;
    for (const auto &reminder : reminders)
        out << reminder->title();
    return out;
}

inline ReminderSpec fixedAt(const QString &title, int hour, int minute,
                            ReminderCategory category = ReminderCategory::general)
{
    ReminderSpec spec;
    spec.title = title;
    spec.category = category;
    spec.fixedTime = QTime(hour, minute);
    return spec;
}

inline ReminderSpec intervalFrom(const QString &title, QTime start, QTime end, qint64 minutes)
{
    ReminderSpec spec;
    spec.title = title;
    spec.scheduleType = ScheduleType::interval;
    spec.fixedTime = std::nullopt;
    spec.intervalMinutes = minutes;
    spec.intervalStart = start;
    spec.intervalEnd = end;
    return spec;
}

inline std::shared_ptr<Milestone> makeMilestone(StoreContext *context, const QString &name, qint64 days,
                                                MilestoneStatus status, const QDateTime &start, double percent = 0.8)
{
    auto milestone = Milestone::create(QUuid::createUuid(), name, name + QStringLiteral(" reward"), days, percent,
                                       std::nullopt, start, status);
    if (context)
        context->insert(milestone);
    return milestone;
}

// Pushes everything the store holds into the view model, as the today screen does.
inline void pushAll(ReminderListViewModel &model, StoreContext &context)
{
    model.setReminders(context.fetch<Reminder>(
        {}, [](const Reminder &a, const Reminder &b) { return a.createdAt() < b.createdAt(); }));
    model.setAllLogs(context.fetch<ReminderLog>());
    model.setMilestones(context.fetch<Milestone>());
}

// Records what the scheduler hooks were asked to do and restores the defaults afterwards.
struct RecordingHooks
{
    QStringList calls;

    RecordingHooks()
    {
        ReminderListViewModel::setSchedulerHooks(
            {[this](const ReminderListViewModel::ReminderPtr &r) {
                 calls << QStringLiteral("schedule ") + r->title() + (r->isActive() ? " active" : " paused");
             },
             [this](const ReminderListViewModel::ReminderPtr &r) {
                 calls << QStringLiteral("cancel ") + r->title() + (r->isDeleted() ? " deleted" : " present");
             }});
    }
    ~RecordingHooks() { ReminderListViewModel::setSchedulerHooks(ReminderListViewModel::defaultSchedulerHooks()); }
    RecordingHooks(const RecordingHooks &) = delete;
    RecordingHooks &operator=(const RecordingHooks &) = delete;
};

// Store notifications, queued rebuilds and the showing of new rows all travel as posted events.
template <class Screen> void settle(Screen &view)
{
    for (int i = 0; i < 4; ++i)
        QCoreApplication::processEvents();
    view.flushPendingRebuild();
    QCoreApplication::processEvents();
}

// The widgets a layout holds now, in order (rows that were replaced are no longer in it).
inline QList<QWidget *> layoutWidgets(const QWidget *owner)
{
    QList<QWidget *> widgets;
    if (!owner || !owner->layout())
        return widgets;
    for (int i = 0; i < owner->layout()->count(); ++i) {
        if (QWidget *w = owner->layout()->itemAt(i)->widget())
            widgets.append(w);
    }
    return widgets;
}

} // namespace todaytest
