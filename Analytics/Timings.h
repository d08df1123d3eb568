#pragma once

#include <algorithm>
#include <chrono>
#include <climits>

namespace analytics {

// Every delay and interval of the client in one place, so tests can shorten them. Moments are
// compared on ovlin::Clock; these durations drive the real timers.
struct Timings
{
    // Delay between initialisation and the first session start.
    std::chrono::milliseconds firstSessionDelay{500};
    // Period of the batch send timer.
    std::chrono::milliseconds sendInterval{10000};
    // Delay of a granted immediate sync.
    std::chrono::milliseconds immediateSyncDelay{50};
    // An immediate sync is granted only when more than this has passed since the last one.
    std::chrono::milliseconds immediateSyncMinimumInterval{10000};
    // While the application stays active, the session list is saved at most this often.
    std::chrono::milliseconds sessionTimerInterval{60000};
    // Background time after which entering the foreground starts a new session.
    std::chrono::seconds backgroundSessionTimeout{300};
    // Time-out of one ingest request.
    std::chrono::milliseconds requestTimeout{60000};
    // The cache file is rewritten at most this often (plus once at termination).
    std::chrono::milliseconds cacheWriteInterval{1000};

    // The process-wide set; safe from any thread. Changes apply to timers started afterwards.
    static Timings current();
    static void setCurrent(const Timings &timings);
};

// A duration as whole milliseconds for Qt's int-based timers, kept within 0 .. INT_MAX.
inline int timerMSecs(std::chrono::milliseconds duration)
{
    return int(std::clamp<std::chrono::milliseconds::rep>(duration.count(), 0, INT_MAX));
}

} // namespace analytics
