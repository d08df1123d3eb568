#include "Model/RecordTables.h"
#include "Platform/StoreMapping.h"

namespace ovlin {

const StoreSchema &storeSchema()
{
    // A new or changed column needs a version step, and a migration from every earlier version.
    static const StoreSchema schema{1,
                                    {&reminderTable(), &reminderLogTable(), &milestoneTable(), &milestoneLogTable()}};
    return schema;
}

} // namespace ovlin
