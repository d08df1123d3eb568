#include "Platform/WallClockTimer.h"

#include "Base/Clock.h"
#include "Base/Log.h"
#include "Base/MainThread.h"

#include <QSocketNotifier>
#include <QTimer>

#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace ovlin {

namespace {

timespec toTimespec(qint64 msecs)
{
    timespec ts{};
    ts.tv_sec = time_t(msecs / 1000);
    ts.tv_nsec = long(msecs % 1000) * 1'000'000L;
    return ts;
}

// A timerfd on CLOCK_REALTIME watched by the event loop. Armed absolutely with TFD_TIMER_CANCEL_ON_SET, it wakes
// at the wall-clock instant even after a suspend, and its read fails with ECANCELED when the clock is set. Without
// a timerfd (out of descriptors) a plain timer stands in and clock changes go unnoticed.
class TimerFdWallClockTimer final : public WallClockTimer
{
public:
    explicit TimerFdWallClockTimer(QObject *parent) : WallClockTimer(parent)
    {
        m_fd = ::timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
        if (m_fd < 0) {
            qCWarning(lcNotify).noquote()
                << "No wall-clock timer, clock changes go unnoticed:" << qt_error_string(errno);
            m_fallback.setSingleShot(true);
            m_fallback.setTimerType(Qt::PreciseTimer);
            connect(&m_fallback, &QTimer::timeout, this, &TimerFdWallClockTimer::onWake);
            return;
        }
        m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &TimerFdWallClockTimer::onReadable);
    }

    ~TimerFdWallClockTimer() override
    {
        // The notifier must go before the descriptor it watches.
        delete m_notifier;
        if (m_fd >= 0)
            ::close(m_fd);
    }

    void start(const QDateTime &due) override
    {
        OVLIN_ASSERT_MAIN_THREAD();
        if (!due.isValid()) {
            stop();
            return;
        }
        m_deadline = due;
        arm();
    }

    void stop() override
    {
        OVLIN_ASSERT_MAIN_THREAD();
        m_deadline.reset();
        arm();
    }

    std::optional<QDateTime> deadline() const override { return m_deadline; }

private:
    void arm()
    {
        if (m_fd < 0) {
            armFallback();
            return;
        }
        itimerspec when{};
        int flags = 0;
        if (m_deadline) {
            const qint64 due = m_deadline->toMSecsSinceEpoch();
            if (Clock::isFake()) {
                // A pinned clock (tests): wait its distance in real time; the real clock is not ours to watch.
                when.it_value = toTimespec(std::max<qint64>(1, due - Clock::nowMSecs()));
            } else {
                flags = TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET;
                // A zero value would disarm: an instant at or before 1970 just wakes at once.
                when.it_value = toTimespec(std::max<qint64>(1, due));
            }
        }
        if (::timerfd_settime(m_fd, flags, &when, nullptr) != 0)
            qCWarning(lcNotify).noquote() << "Arming the wall-clock timer failed:" << qt_error_string(errno);
    }

    void armFallback()
    {
        if (!m_deadline) {
            m_fallback.stop();
            return;
        }
        const qint64 wait = std::clamp<qint64>(m_deadline->toMSecsSinceEpoch() - Clock::nowMSecs(), 0, INT_MAX);
        m_fallback.start(int(wait));
    }

    void onReadable()
    {
        quint64 expirations = 0;
        if (::read(m_fd, &expirations, sizeof expirations) < 0) {
            if (errno == ECANCELED) {
                // Set again on the new clock before telling anyone.
                arm();
                Q_EMIT clockChanged();
            }
            return;
        }
        onWake();
    }

    void onWake()
    {
        if (!m_deadline)
            return;
        if (Clock::nowMSecs() < m_deadline->toMSecsSinceEpoch()) {
            arm();
            return;
        }
        m_deadline.reset();
        Q_EMIT timeout();
    }

    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
    QTimer m_fallback;
    std::optional<QDateTime> m_deadline;
};

} // namespace

WallClockTimer::~WallClockTimer() = default;

std::unique_ptr<WallClockTimer> WallClockTimer::create(QObject *parent)
{
    return std::make_unique<TimerFdWallClockTimer>(parent);
}

} // namespace ovlin
