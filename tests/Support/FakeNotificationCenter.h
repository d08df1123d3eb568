#pragma once

#include "Platform/NotificationCenter.h"
#include "Platform/NotificationSchedule.h"

namespace ovlin {

// A notification centre for tests: the same pending-request rules as the real one, no timer and no server.
// It records what callers did, fires only when told to, and plays the user's answers.
class FakeNotificationCenter : public NotificationCenter
{
    Q_OBJECT

public:
    struct Operation
    {
        enum class Kind { Add, Remove, RemoveAll };
        Kind kind = Kind::Add;
        QStringList identifiers; // the added identifier, or those asked to be removed

        friend bool operator==(const Operation &, const Operation &) = default;
    };

    struct Delivery
    {
        NotificationRequest request;
        QDateTime deliveryDate; // the trigger's fire instant
        PresentationOptions options;
    };

    explicit FakeNotificationCenter(QObject *parent = nullptr);
    ~FakeNotificationCenter() override;

    bool add(const NotificationRequest &request) override;
    QList<NotificationRequest> pendingRequests() const override;
    QStringList pendingRequestIdentifiers(const QString &prefix) const override;
    std::optional<QDateTime> nextFireDate(const QString &identifier) const override;
    void removePendingRequests(const QStringList &identifiers) override;
    void removeAllPendingRequests() override;

    // Answers later on the main thread, like the real centre; granted unless told otherwise.
    void requestAuthorization(std::function<void(bool granted)> completion) override;
    AuthorizationStatus authorizationStatus() const override { return m_authorization; }
    void setAuthorizationGranted(bool granted) { m_grant = granted; }

    // Every accepted add and every removal, in call order.
    QList<Operation> operations() const { return m_operations; }
    QStringList addedIdentifiers() const;
    QStringList removedIdentifiers() const;
    void clearRecords();

    // Fires what is due at Clock::now() by the real centre's rules (the clock may have jumped), asking the
    // delegate as it does; returns what was shown.
    QList<Delivery> fireDueRequests();
    // Fires one pending request now, whatever its trigger; false when none is pending under that identifier.
    bool fire(const QString &identifier);
    // Notifications shown so far.
    QList<Delivery> deliveries() const { return m_deliveries; }

    // The user answers: raises the window for a foreground action and tells the delegate.
    void respond(const NotificationRequest &request, const QString &actionIdentifier, const QDateTime &deliveryDate);
    // Answers the latest delivery of `identifier`; false when it was never shown.
    bool respond(const QString &identifier, const QString &actionIdentifier);

private:
    bool present(const NotificationRequest &request, const QDateTime &fireDate);

    NotificationSchedule m_schedule;
    QList<Operation> m_operations;
    QList<Delivery> m_deliveries;
    AuthorizationStatus m_authorization = AuthorizationStatus::NotDetermined;
    bool m_grant = true;
};

} // namespace ovlin
