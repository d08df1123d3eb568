#include "Support/FakeWallClockTimer.h"

#include "Base/Clock.h"

namespace ovlin {

void FakeWallClockTimer::start(const QDateTime &due)
{
    if (!due.isValid()) {
        stop();
        return;
    }
    m_deadline = due;
    ++m_starts;
}

void FakeWallClockTimer::stop()
{
    m_deadline.reset();
}

bool FakeWallClockTimer::fireIfDue()
{
    if (!m_deadline || Clock::now() < *m_deadline)
        return false;
    m_deadline.reset();
    Q_EMIT timeout();
    return true;
}

void FakeWallClockTimer::reportClockChanged()
{
    Q_EMIT clockChanged();
}

} // namespace ovlin
