#include "Model/Milestone.h"
#include "Model/RecordTables.h"
#include "Platform/StoreMapping.h"

namespace ovlin {

class MilestoneTable final : public RecordTable<Milestone>
{
public:
    MilestoneTable()
        : RecordTable(
              "Milestone",
              {field("id", &Milestone::m_id), field("name", &Milestone::m_name), field("reward", &Milestone::m_reward),
               field("requireDays", &Milestone::m_requireDays), field("requirePercent", &Milestone::m_requirePercent),
               field("linkedCategoryRaw", &Milestone::m_linkedCategoryRaw), field("startDate", &Milestone::m_startDate),
               namedCase("statusRaw", &Milestone::m_statusRaw, caseNames(allMilestoneStatuses)),
               field("thumbnailData", &Milestone::m_thumbnailData)})
    {
    }

protected:
    std::shared_ptr<Milestone> make() const override { return std::make_shared<Milestone>(Milestone::Token{}); }
};

const StoreTableMapping &milestoneTable()
{
    static const MilestoneTable table;
    return table;
}

} // namespace ovlin
