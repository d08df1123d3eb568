#include "Model/RecordTables.h"
#include "Model/Reminder.h"
#include "Model/ReminderLog.h"
#include "Platform/StoreMapping.h"

namespace ovlin {

class ReminderTable final : public RecordTable<Reminder>
{
public:
    ReminderTable()
        : RecordTable(
              "Reminder",
              {field("id", &Reminder::m_id), field("title", &Reminder::m_title),
               namedCase("category", &Reminder::m_category, caseNames(allReminderCategories)),
               field("detail", &Reminder::m_detail),
               namedCase("scheduleType", &Reminder::m_scheduleType, caseNames(allScheduleTypes)),
               field("fixedTime", &Reminder::m_fixedTime), field("intervalMinutes", &Reminder::m_intervalMinutes),
               field("intervalStart", &Reminder::m_intervalStart), field("intervalEnd", &Reminder::m_intervalEnd),
               field("activeDaysRaw", &Reminder::m_activeDaysRaw), field("isActive", &Reminder::m_isActive),
               field("createdAt", &Reminder::m_createdAt)})
    {
    }

    void finishLoad(StoreLoad &load) const override
    {
        // Appending grew the log lists by doubling; a long history would keep up to half as much again.
        for (const auto &record : load.records(Reminder::staticRecordType))
            detail::OneToMany<Reminder, ReminderLog>::squeezeMembers(static_cast<Reminder &>(*record));
    }

protected:
    std::shared_ptr<Reminder> make() const override { return std::make_shared<Reminder>(Reminder::Token{}); }
};

const StoreTableMapping &reminderTable()
{
    static const ReminderTable table;
    return table;
}

} // namespace ovlin
