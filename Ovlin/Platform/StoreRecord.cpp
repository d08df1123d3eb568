#include "Platform/StoreRecord.h"

#include "Platform/StoreContext.h"

#include <algorithm>
#include <atomic>
#include <bit>

namespace ovlin {

int recordTypeIndex(RecordType type)
{
    const auto bits = unsigned(type);
    Q_ASSERT(bits != 0 && (bits & (bits - 1)) == 0);
    return std::min(std::countr_zero(bits), recordTypeCount - 1);
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
