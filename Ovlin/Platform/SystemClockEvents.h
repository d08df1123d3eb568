#pragma once

#include "Platform/WallClockTimer.h"

#include <QDBusConnection>
#include <QObject>

#include <memory>

namespace ovlin {

// Tells when the time of day moved under the program: the wall clock was set (by the user, NTP or a time
// zone daemon), or the machine woke from sleep (logind's PrepareForSleep(false)). Whoever keeps time-of-day
// work re-reads the clock then, instead of polling. Main thread only.
class SystemClockEvents : public QObject
{
    Q_OBJECT

public:
    // Watches nothing by itself (tests report the events).
    explicit SystemClockEvents(QObject *parent = nullptr);
    ~SystemClockEvents() override;

    // The program's events: watches the clock and logind on the system bus from the first use.
    static SystemClockEvents &shared();

    // Reports the clock changes that `timer` sees; it is kept armed far ahead and never times out.
    void watchClock(std::unique_ptr<WallClockTimer> timer);
    // Listens for PrepareForSleep of org.freedesktop.login1 on `bus`; false when the bus cannot be used.
    bool watchSleep(const QDBusConnection &bus);

public Q_SLOTS:
    void reportClockChanged();
    void reportResumed();

Q_SIGNALS:
    void clockChanged();
    void resumed();

private Q_SLOTS:
    void onPrepareForSleep(bool sleeping);

private:
    std::unique_ptr<WallClockTimer> m_clockWatch;
};

} // namespace ovlin
