#include "Banners/CelebrationTimerSource.h"

#include "Base/Clock.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <algorithm>

namespace ovlin {

namespace {

void arm(qint64 waitMs, qint64 deadline, qint64 delayMs, QPointer<QObject> context,
         std::shared_ptr<std::function<void()>> handler)
{
    QTimer::singleShot(std::chrono::milliseconds(std::max<qint64>(0, waitMs)), Qt::PreciseTimer, context.data(),
                       [deadline, delayMs, context, handler] {
                           if (!context)
                               return;
                           const qint64 remaining = deadline - Clock::nowMSecs();
                           // A remainder longer than the whole delay means the Clock went backwards: stop waiting.
                           if (remaining > 0 && remaining <= delayMs) {
                               arm(remaining, deadline, delayMs, context, handler);
                               return;
                           }
                           (*handler)();
                       });
}

} // namespace

void ClockTimerSource::start(qint64 delayMs, QObject *context, std::function<void()> handler)
{
    if (!context || !handler)
        return;
    const qint64 delay = std::max<qint64>(0, delayMs);
    arm(delay, Clock::nowMSecs() + delay, delay, context, std::make_shared<std::function<void()>>(std::move(handler)));
}

std::shared_ptr<CelebrationTimerSource> ClockTimerSource::shared()
{
    static const std::shared_ptr<CelebrationTimerSource> source = std::make_shared<ClockTimerSource>();
    return source;
}

} // namespace ovlin
