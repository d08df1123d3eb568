#pragma once

#include <QtGlobal>

#include <functional>
#include <memory>

class QObject;

namespace ovlin {

// Where the celebration manager's one-shot waits come from. Deadlines are measured on the program's
// Clock; a handler never runs once its context object has been destroyed. Main thread only.
class CelebrationTimerSource
{
public:
    virtual ~CelebrationTimerSource() = default;
    // Runs `handler` on the main thread once `delayMs` have passed on the Clock.
    virtual void start(qint64 delayMs, QObject *context, std::function<void()> handler) = 0;
};

// The running application's source: an event-loop timer that checks the Clock when it fires and waits
// for the rest if the Clock has not reached the deadline yet. A Clock set backwards by more than the
// delay does not hold the handler back longer than one further delay.
class ClockTimerSource final : public CelebrationTimerSource
{
public:
    void start(qint64 delayMs, QObject *context, std::function<void()> handler) override;

    static std::shared_ptr<CelebrationTimerSource> shared();
};

} // namespace ovlin
