#pragma once

#include <QDateTime>
#include <QObject>

#include <memory>
#include <optional>

namespace ovlin {

// Wakes once at an instant of the wall clock (read through Clock), however long the machine sleeps or however
// the clock is set meanwhile, and says when the clock was set while it is armed. No polling: the owner re-arms
// after each wakeup. Main thread only.
class WallClockTimer : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~WallClockTimer() override;

    // The program's timer: a timerfd on CLOCK_REALTIME (absolute, cancelled when the clock is set).
    static std::unique_ptr<WallClockTimer> create(QObject *parent = nullptr);

    // Arms for `due`, replacing an earlier instant; a passed instant wakes at once. An invalid one disarms.
    virtual void start(const QDateTime &due) = 0;
    virtual void stop() = 0;
    virtual std::optional<QDateTime> deadline() const = 0;
    bool isActive() const { return deadline().has_value(); }

Q_SIGNALS:
    // The clock has reached the deadline; the timer is disarmed.
    void timeout();
    // The wall clock was set while the timer was armed (also after a resume); the deadline stays armed.
    void clockChanged();
};

} // namespace ovlin
