#include "Platform/SystemClockEvents.h"

#include "Base/Log.h"
#include "Base/MainThread.h"

#include <QCoreApplication>
#include <QPointer>

namespace ovlin {

namespace {

QPointer<SystemClockEvents> g_shared;

// Far enough never to be reached, near enough for every clock type.
QDateTime farFuture()
{
    return QDateTime::fromMSecsSinceEpoch(253'402'214'400'000LL, Qt::UTC); // 9999-12-31
}

} // namespace

SystemClockEvents::SystemClockEvents(QObject *parent) : QObject(parent)
{
}

SystemClockEvents::~SystemClockEvents() = default;

SystemClockEvents &SystemClockEvents::shared()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!g_shared) {
        g_shared = new SystemClockEvents(QCoreApplication::instance());
        g_shared->watchClock(WallClockTimer::create());
        if (!g_shared->watchSleep(QDBusConnection::systemBus()))
            qCDebug(lcNotify) << "No system bus: a resume is noticed through the clock only";
    }
    return *g_shared;
}

void SystemClockEvents::watchClock(std::unique_ptr<WallClockTimer> timer)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_clockWatch = std::move(timer);
    if (!m_clockWatch)
        return;
    connect(m_clockWatch.get(), &WallClockTimer::clockChanged, this, &SystemClockEvents::reportClockChanged);
    m_clockWatch->start(farFuture());
}

bool SystemClockEvents::watchSleep(const QDBusConnection &bus)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!bus.isConnected())
        return false;
    // Only the owner of the name is listened to.
    return QDBusConnection(bus).connect(QStringLiteral("org.freedesktop.login1"),
                                        QStringLiteral("/org/freedesktop/login1"),
                                        QStringLiteral("org.freedesktop.login1.Manager"),
                                        QStringLiteral("PrepareForSleep"), this, SLOT(onPrepareForSleep(bool)));
}

void SystemClockEvents::reportClockChanged()
{
    OVLIN_ASSERT_MAIN_THREAD();
    qCDebug(lcNotify) << "The wall clock was set";
    Q_EMIT clockChanged();
}

void SystemClockEvents::reportResumed()
{
    OVLIN_ASSERT_MAIN_THREAD();
    qCDebug(lcNotify) << "Resumed from sleep";
    Q_EMIT resumed();
}

void SystemClockEvents::onPrepareForSleep(bool sleeping)
{
    if (!sleeping)
        reportResumed();
}

} // namespace ovlin
