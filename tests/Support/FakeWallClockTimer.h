#pragma once

#include "Platform/WallClockTimer.h"

namespace ovlin {

// A wall-clock timer for tests: it never wakes by itself. Tests move the clock and call fireIfDue(), or play a
// clock change.
class FakeWallClockTimer : public WallClockTimer
{
    Q_OBJECT

public:
    using WallClockTimer::WallClockTimer;

    void start(const QDateTime &due) override;
    void stop() override;
    std::optional<QDateTime> deadline() const override { return m_deadline; }

    // Times armed so far (a disarm does not count).
    int startCount() const { return m_starts; }

    // Emits timeout() when armed and Clock::now() has reached the deadline; true when it did.
    bool fireIfDue();
    // Emits clockChanged(), as the real timer does when the clock is set under it.
    void reportClockChanged();

private:
    std::optional<QDateTime> m_deadline;
    int m_starts = 0;
};

} // namespace ovlin
