#include "Model/Milestone.h"
#include "Model/MilestoneLog.h"
#include "Model/RecordTables.h"
#include "Platform/StoreMapping.h"

namespace ovlin {

class MilestoneLogTable final : public RecordTable<MilestoneLog>
{
public:
    MilestoneLogTable()
        : RecordTable("MilestoneLog", {field("id", &MilestoneLog::m_id), field("date", &MilestoneLog::m_date),
                                       field("completionRate", &MilestoneLog::m_completionRate),
                                       field("didMeetThreshold", &MilestoneLog::m_didMeetThreshold),
                                       owner("milestone", &MilestoneLog::m_owner)})
    {
    }

protected:
    std::shared_ptr<MilestoneLog> make() const override
    {
        return std::make_shared<MilestoneLog>(MilestoneLog::Token{});
    }
};

const StoreTableMapping &milestoneLogTable()
{
    static const MilestoneLogTable table;
    return table;
}

} // namespace ovlin
