#include "Platform/StoreRecord.h"

#include "Platform/StoreContext.h"

#include <atomic>

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

quint64 StoreRecord::nextStamp()
{
    static std::atomic<quint64> counter{0};
    return counter.fetch_add(1, std::memory_order_relaxed) + 1;
}

void StoreRecord::didChange(RecordTypes alsoTouched)
{
    m_changeStamp = nextStamp();
    if (StoreRecord *owner = memberOwner())
        owner->membersDidChange();
    if (m_context)
        m_context->recordDidChange(*this, alsoTouched);
}

} // namespace ovlin
