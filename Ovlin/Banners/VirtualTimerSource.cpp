#include "Banners/VirtualTimerSource.h"

#include "Base/Clock.h"

#include <algorithm>

namespace ovlin {

void VirtualTimerSource::start(qint64 delayMs, QObject *context, std::function<void()> handler)
{
    if (!context || !handler)
        return;
    m_pending.append({Clock::nowMSecs() + std::max<qint64>(0, delayMs), m_nextOrder++, context, std::move(handler)});
}

bool VirtualTimerSource::runNextDue(qint64 upTo)
{
    auto next = m_pending.end();
    for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
        if (it->deadline > upTo)
            continue;
        if (next == m_pending.end() || it->deadline < next->deadline ||
            (it->deadline == next->deadline && it->order < next->order))
            next = it;
    }
    if (next == m_pending.end())
        return false;
    Pending due = std::move(*next);
    m_pending.erase(next);
    if (due.deadline > Clock::nowMSecs())
        Clock::advanceMSecs(due.deadline - Clock::nowMSecs());
    if (due.context)
        due.handler();
    return true;
}

void VirtualTimerSource::advance(qint64 msecs)
{
    const qint64 target = Clock::nowMSecs() + std::max<qint64>(0, msecs);
    while (runNextDue(target)) {
    }
    if (target > Clock::nowMSecs())
        Clock::advanceMSecs(target - Clock::nowMSecs());
}

void VirtualTimerSource::runDue()
{
    const qint64 now = Clock::nowMSecs();
    while (runNextDue(now)) {
    }
}

} // namespace ovlin
