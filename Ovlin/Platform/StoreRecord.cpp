#include "Platform/StoreRecord.h"

#include "Platform/StoreContext.h"

namespace ovlin {

int recordTypeIndex(RecordType type)
{
    switch (type) {
    case RecordType::reminder: return 0;
    case RecordType::reminderLog: return 1;
    case RecordType::milestone: return 2;
    case RecordType::milestoneLog: return 3;
    }
    return 0;
}

StoreRecord::~StoreRecord() = default;

void StoreRecord::didChange(RecordTypes alsoTouched)
{
    if (m_context)
        m_context->recordDidChange(*this, alsoTouched);
}

} // namespace ovlin
