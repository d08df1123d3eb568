#include "Support/FakeNotificationCenter.h"

#include "Base/Clock.h"
#include "Base/MainThread.h"

namespace ovlin {

FakeNotificationCenter::FakeNotificationCenter(QObject *parent) : NotificationCenter(parent)
{
}

FakeNotificationCenter::~FakeNotificationCenter() = default;

bool FakeNotificationCenter::add(const NotificationRequest &request)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!m_schedule.add(request, Clock::now()))
        return false;
    m_operations.append(Operation{Operation::Kind::Add, {request.identifier}});
    return true;
}

QList<NotificationRequest> FakeNotificationCenter::pendingRequests() const
{
    return m_schedule.requests();
}

QStringList FakeNotificationCenter::pendingRequestIdentifiers(const QString &prefix) const
{
    return m_schedule.identifiers(prefix);
}

std::optional<QDateTime> FakeNotificationCenter::nextFireDate(const QString &identifier) const
{
    return m_schedule.nextFireDate(identifier);
}

void FakeNotificationCenter::removePendingRequests(const QStringList &identifiers)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_schedule.remove(identifiers);
    m_operations.append(Operation{Operation::Kind::Remove, identifiers});
}

void FakeNotificationCenter::removeAllPendingRequests()
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_schedule.clear();
    m_operations.append(Operation{Operation::Kind::RemoveAll, {}});
}

void FakeNotificationCenter::requestAuthorization(std::function<void(bool granted)> completion)
{
    OVLIN_ASSERT_MAIN_THREAD();
    const bool granted = m_grant;
    QMetaObject::invokeMethod(
        this,
        [this, granted, completion = std::move(completion)] {
            m_authorization = granted ? AuthorizationStatus::Authorized : AuthorizationStatus::Denied;
            if (completion)
                completion(granted);
        },
        Qt::QueuedConnection);
}

QStringList FakeNotificationCenter::addedIdentifiers() const
{
    QStringList result;
    for (const Operation &op : m_operations) {
        if (op.kind == Operation::Kind::Add)
            result += op.identifiers;
    }
    return result;
}

QStringList FakeNotificationCenter::removedIdentifiers() const
{
    QStringList result;
    for (const Operation &op : m_operations) {
        if (op.kind == Operation::Kind::Remove)
            result += op.identifiers;
    }
    return result;
}

void FakeNotificationCenter::clearRecords()
{
    m_operations.clear();
    m_deliveries.clear();
}

QList<FakeNotificationCenter::Delivery> FakeNotificationCenter::fireDueRequests()
{
    OVLIN_ASSERT_MAIN_THREAD();
    const QDateTime now = Clock::now();
    const QList<NotificationSchedule::Due> due = m_schedule.takeDue(now);
    m_schedule.recomputeCalendarTriggers(now);
    const qsizetype before = m_deliveries.size();
    for (const NotificationSchedule::Due &d : due)
        present(d.request, d.fireDate);
    return m_deliveries.mid(before);
}

bool FakeNotificationCenter::fire(const QString &identifier)
{
    OVLIN_ASSERT_MAIN_THREAD();
    const std::optional<NotificationRequest> request = m_schedule.request(identifier);
    if (!request)
        return false;
    if (!request->repeats())
        m_schedule.remove({identifier});
    present(*request, Clock::now());
    return true;
}

bool FakeNotificationCenter::present(const NotificationRequest &request, const QDateTime &fireDate)
{
    const PresentationOptions options = presentationOptions(request);
    if (!isShown(options))
        return false;
    m_deliveries.append(Delivery{request, fireDate, options});
    return true;
}

void FakeNotificationCenter::respond(const NotificationRequest &request, const QString &actionIdentifier,
                                     const QDateTime &deliveryDate)
{
    dispatchResponse(NotificationResponse{actionIdentifier, request, deliveryDate});
}

bool FakeNotificationCenter::respond(const QString &identifier, const QString &actionIdentifier)
{
    for (qsizetype i = m_deliveries.size() - 1; i >= 0; --i) {
        if (m_deliveries.at(i).request.identifier == identifier) {
            const Delivery delivery = m_deliveries.at(i);
            respond(delivery.request, actionIdentifier, delivery.deliveryDate);
            return true;
        }
    }
    return false;
}

} // namespace ovlin
