#pragma once

#include "Banners/CelebrationTimerSource.h"

#include <QList>
#include <QPointer>

namespace ovlin {

// A timer source in virtual time for tests and previews: nothing fires on its own. `advance` moves the
// (fake) Clock forward, stopping at each deadline on the way to run its handlers in deadline order;
// handlers that start new waits due within the same advance run too. Main thread only.
class VirtualTimerSource final : public CelebrationTimerSource
{
public:
    void start(qint64 delayMs, QObject *context, std::function<void()> handler) override;

    // Moves the Clock forward by `msecs`, running every wait that falls due on the way.
    void advance(qint64 msecs);
    // Runs the waits whose deadline the Clock has reached, without moving it.
    void runDue();
    // Waits not yet run (those whose context is gone included).
    int pendingCount() const { return int(m_pending.size()); }

private:
    struct Pending
    {
        qint64 deadline = 0;
        quint64 order = 0;
        QPointer<QObject> context;
        std::function<void()> handler;
    };
    bool runNextDue(qint64 upTo);

    QList<Pending> m_pending;
    quint64 m_nextOrder = 0;
};

} // namespace ovlin
