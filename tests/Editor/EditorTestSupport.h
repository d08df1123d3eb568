#pragma once

#include "Base/Clock.h"
#include "Base/Days.h"
#include "Copy/RandomSource.h"
#include "Model/Enums.h"
#include "Model/Reminder.h"
#include "Model/ReminderLog.h"
#include "Platform/Store.h"

#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>
#include <set>

Q_DECLARE_METATYPE(ovlin::ScheduleType)
Q_DECLARE_METATYPE(ovlin::ReminderCategory)

// Shared helpers of the editor tests. They run under TZ=Europe/Berlin.
namespace editortest {

using namespace ovlin;

inline std::unique_ptr<StoreContainer> openStore()
{
    QString error;
    auto store = StoreContainer::openInMemory(&error);
    if (!store)
        qFatal("Cannot open an in-memory store: %s", qPrintable(error));
    return store;
}

// Every reminder the scheduler was asked to schedule, in order.
struct ScheduleRecorder
{
    QList<std::shared_ptr<Reminder>> scheduled;
    // Whether the reminder was still unsaved in its context when it was scheduled.
    QList<bool> hadPendingChanges;

    std::function<void(const std::shared_ptr<Reminder> &)> function()
    {
        return [this](const std::shared_ptr<Reminder> &reminder) {
            scheduled.append(reminder);
            hadPendingChanges.append(reminder->hasChanges());
        };
    }
};

// Hands out the given draws in turn, then repeats the last one.
class ScriptedRandom final : public RandomSource
{
public:
    explicit ScriptedRandom(QList<quint64> draws) : m_draws(std::move(draws)) {}
    quint64 next64() override
    {
        if (m_draws.isEmpty())
            return 0;
        const quint64 draw = m_draws.first();
        if (m_draws.size() > 1)
            m_draws.removeFirst();
        return draw;
    }

private:
    QList<quint64> m_draws;
};

// A stored reminder: a movement habit, combined, Monday Wednesday Friday, created in January.
inline std::shared_ptr<Reminder> storedReminder(StoreContext *context, ScheduleType type = ScheduleType::combined,
                                                const std::optional<QString> &detail = std::nullopt)
{
    const QDate day(2026, 1, 5);
    const bool fixed = type != ScheduleType::interval;
    const bool interval = type != ScheduleType::fixedTime;
    auto reminder =
        Reminder::create(QUuid::createUuid(), QStringLiteral("Stretch break"), ReminderCategory::movement, detail, type,
                         fixed ? std::optional<QDateTime>(Days::atTime(day, 7, 30)) : std::nullopt,
                         interval ? std::optional<qint64>(45) : std::nullopt,
                         interval ? std::optional<QDateTime>(Days::atTime(day, 9, 0)) : std::nullopt,
                         interval ? std::optional<QDateTime>(Days::atTime(day, 17, 30)) : std::nullopt,
                         {Weekday::monday, Weekday::wednesday, Weekday::friday}, true, Days::atTime(day, 6, 0));
    if (context) {
        context->insert(reminder);
        context->save();
    }
    return reminder;
}

inline std::set<Weekday> days(std::initializer_list<Weekday> list)
{
    return std::set<Weekday>(list);
}

inline std::set<Weekday> everyDay()
{
    return std::set<Weekday>(allWeekdays.begin(), allWeekdays.end());
}

// The moment the editor is opened in every test.
inline const QDateTime openedAt = QDateTime(QDate(2026, 6, 10), QTime(14, 23, 45));

// A fresh in-memory store and scheduler record per test, with the clock pinned to `openedAt`.
struct EditorFixture
{
    std::unique_ptr<StoreContainer> m_store;
    ScheduleRecorder m_recorder;

    StoreContext *context() const { return m_store->mainContext(); }
    void begin()
    {
        Clock::setNow(openedAt);
        m_store = openStore();
        m_recorder = {};
    }
    void end()
    {
        m_store.reset();
        Clock::useSystemTime();
    }
};

} // namespace editortest
