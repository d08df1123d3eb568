#pragma once

#include <QDateTime>

namespace ovlin {

// The program's one source of the current time. Nothing else reads the system clock,
// so tests can pin and advance time without sleeping. Safe to call from any thread.
class Clock
{
public:
    static QDateTime now();
    static qint64 nowMSecs();

    // Test control: pin the clock to a moment, move it, or return to the system time.
    static void setNow(const QDateTime &moment);
    static void advance(qint64 seconds);
    static void advanceMSecs(qint64 msecs);
    static void useSystemTime();
    static bool isFake();
};

// Pins the clock for the lifetime of a test scope.
class ScopedFakeClock
{
public:
    explicit ScopedFakeClock(const QDateTime &moment) { Clock::setNow(moment); }
    ~ScopedFakeClock() { Clock::useSystemTime(); }
    ScopedFakeClock(const ScopedFakeClock &) = delete;
    ScopedFakeClock &operator=(const ScopedFakeClock &) = delete;
};

} // namespace ovlin
