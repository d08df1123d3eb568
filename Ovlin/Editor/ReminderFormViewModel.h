#pragma once

#include "Model/Enums.h"
#include "Platform/StoreContext.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <set>

namespace ovlin {

class Reminder;

// The editable copy of one reminder while the editor sheet is open: empty for a new habit, or filled from
// the reminder being edited. The sheet's controls read and write the fields; nothing is checked on
// assignment, only in isValid() and save(). The only place where Reminder records are created.
// Main thread only.
class ReminderFormViewModel : public QObject
{
    Q_OBJECT

public:
    using WeekdaySet = std::set<Weekday>;
    // Replaces a saved reminder's pending system notifications.
    using ScheduleReminder = std::function<void(const std::shared_ptr<Reminder> &)>;

    enum class SaveOutcome { skipped, inserted, updated };
    Q_ENUM(SaveOutcome)

    explicit ReminderFormViewModel(std::shared_ptr<Reminder> existingReminder = nullptr,
                                   StoreContext *modelContext = nullptr, QObject *parent = nullptr);
    ~ReminderFormViewModel() override;

    QString title() const { return m_title; }
    void setTitle(const QString &title);
    ReminderCategory category() const { return m_category; }
    void setCategory(ReminderCategory category);
    // A free note; no control edits it, it only carries an edited reminder's note through to the save.
    QString detail() const { return m_detail; }
    void setDetail(const QString &detail);
    ScheduleType scheduleType() const { return m_scheduleType; }
    void setScheduleType(ScheduleType type);
    QDateTime fixedTime() const { return m_fixedTime; }
    void setFixedTime(const QDateTime &time);
    qint64 intervalMinutes() const { return m_intervalMinutes; }
    void setIntervalMinutes(qint64 minutes);
    QDateTime intervalStart() const { return m_intervalStart; }
    void setIntervalStart(const QDateTime &start);
    QDateTime intervalEnd() const { return m_intervalEnd; }
    void setIntervalEnd(const QDateTime &end);
    WeekdaySet selectedDays() const { return m_selectedDays; }
    void setSelectedDays(const WeekdaySet &days);
    bool isActive() const { return m_isActive; }
    void setIsActive(bool active);

    // True exactly when an existing reminder was given at creation.
    bool isEditing() const { return m_isEditing; }
    std::shared_ptr<Reminder> existingReminder() const { return m_existingReminder; }
    // The context save() writes to. A plain assignment: it announces nothing.
    StoreContext *modelContext() const { return m_modelContext.data(); }
    void setModelContext(StoreContext *context);

    // A non-blank title, at least one weekday and, for an interval, a positive step and a window whose
    // end is later than its start.
    bool isValid() const;
    // One of the category's short reminder lines, picked anew on every read.
    QString previewMessage() const;

    // Inserts a new reminder or updates the edited one, has its notifications replaced, then saves the
    // store (a failed store save is logged and otherwise dropped: the changes stay pending in the
    // context). Skips without a store context, with a blank title, and when the edited reminder has been
    // deleted meanwhile.
    SaveOutcome save();
    // Nothing to undo: edits are written to the reminder only by save().
    void cancel();

    // How this view model schedules a saved reminder (tests inject one); null restores the default,
    // SchedulerService::shared().schedule.
    void setScheduleReminder(ScheduleReminder schedule);

    // The date of the present moment at hh:00:00 in the local calendar; the present moment if that
    // cannot be formed.
    static QDateTime todayAt(int hour);
    static bool isBlank(const QString &text);

Q_SIGNALS:
    void titleChanged();
    void categoryChanged();
    void detailChanged();
    void scheduleTypeChanged();
    void fixedTimeChanged();
    void intervalMinutesChanged();
    void intervalStartChanged();
    void intervalEndChanged();
    void selectedDaysChanged();
    void isActiveChanged();
    // After any of the above.
    void changed();

private:
    void scheduleSaved(const std::shared_ptr<Reminder> &reminder) const;

    QString m_title;
    ReminderCategory m_category = ReminderCategory::general;
    QString m_detail;
    ScheduleType m_scheduleType = ScheduleType::fixedTime;
    QDateTime m_fixedTime;
    qint64 m_intervalMinutes = 60;
    QDateTime m_intervalStart;
    QDateTime m_intervalEnd;
    WeekdaySet m_selectedDays;
    bool m_isActive = true;

    bool m_isEditing = false;
    QPointer<StoreContext> m_modelContext;
    std::shared_ptr<Reminder> m_existingReminder;
    ScheduleReminder m_scheduleReminder;
};

} // namespace ovlin
