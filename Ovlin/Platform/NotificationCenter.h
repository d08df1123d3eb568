#pragma once

#include "Platform/NotificationCategory.h"
#include "Platform/NotificationRequest.h"

#include <QDateTime>
#include <QFlags>
#include <QList>
#include <QObject>
#include <QStringList>

#include <functional>
#include <optional>

namespace ovlin {

enum class PresentationOption {
    Banner = 0x1,
    List = 0x2,
    Sound = 0x4,
    Badge = 0x8,
};
Q_DECLARE_FLAGS(PresentationOptions, PresentationOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(PresentationOptions)

enum class AuthorizationStatus {
    NotDetermined,
    Authorized,
    Denied,
};

// The user's answer to a delivered notification.
struct NotificationResponse
{
    // The action of a plain click on the notification itself.
    static inline const QString defaultActionIdentifier = QStringLiteral("default");

    QString actionIdentifier;
    NotificationRequest request;
    QDateTime deliveryDate;

    friend bool operator==(const NotificationResponse &, const NotificationResponse &) = default;
};

// Told about every notification before it is shown and about every answer. Called on the main thread.
class NotificationCenterDelegate
{
public:
    virtual ~NotificationCenterDelegate() = default;
    // How a due notification is shown; no option (Banner or List) shows nothing, and without Sound it is silent.
    virtual PresentationOptions willPresent(const NotificationRequest &request) = 0;
    virtual void didReceive(const NotificationResponse &response) = 0;
};

// Ovlin's notification centre: categories, pending requests with calendar and time-interval triggers, and a
// delegate. Adding and removing are synchronous, so a removal always takes effect before the adds that follow
// it. Requests fire only while Ovlin runs. Main thread only.
class NotificationCenter : public QObject
{
    Q_OBJECT

public:
    // What is shown when there is no delegate.
    static constexpr PresentationOptions defaultPresentation{PresentationOption::Banner | PresentationOption::List |
                                                             PresentationOption::Sound};

    explicit NotificationCenter(QObject *parent = nullptr);
    ~NotificationCenter() override;

    // The process's centre: the one installed with setCurrent(), else a D-Bus centre on the session bus created on
    // first use.
    static NotificationCenter *current();
    // Installs `center` as the current one (tests); null returns to the default. Not owned.
    static void setCurrent(NotificationCenter *center);

    // Replaces every earlier set of categories.
    void setCategories(const QList<NotificationCategory> &categories);
    QList<NotificationCategory> categories() const { return m_categories; }
    std::optional<NotificationCategory> category(const QString &identifier) const;

    // Not owned; it must outlive the centre or be cleared with setDelegate(nullptr).
    void setDelegate(NotificationCenterDelegate *delegate);
    NotificationCenterDelegate *delegate() const { return m_delegate; }

    // Adds the request, replacing a pending one with the same identifier. False (and nothing changed) when the
    // identifier is empty or the trigger invalid.
    virtual bool add(const NotificationRequest &request) = 0;
    // Pending requests in the order they were added.
    virtual QList<NotificationRequest> pendingRequests() const = 0;
    // Identifiers of the pending requests that begin with `prefix`, in identifier order; found through an index,
    // without listing every pending request.
    virtual QStringList pendingRequestIdentifiers(const QString &prefix) const = 0;
    virtual std::optional<QDateTime> nextFireDate(const QString &identifier) const = 0;
    virtual void removePendingRequests(const QStringList &identifiers) = 0;
    virtual void removeAllPendingRequests() = 0;

    // Asks whether notifications can be shown; `completion` runs later on the main thread with the answer.
    virtual void requestAuthorization(std::function<void(bool granted)> completion) = 0;
    virtual AuthorizationStatus authorizationStatus() const = 0;

Q_SIGNALS:
    // The user chose a foreground action or clicked a notification: the main window should come to the front.
    // The token, when the notification server sent one, lets the window take focus (XDG activation).
    void activationRequested(const QString &activationToken);

protected:
    // The delegate's answer, or the default without a delegate.
    PresentationOptions presentationOptions(const NotificationRequest &request);
    static bool isShown(PresentationOptions options);
    // Whether choosing `actionIdentifier` on `request` brings the application to the front.
    bool isForegroundAction(const NotificationRequest &request, const QString &actionIdentifier) const;
    // Raises the window when the action asks for it, then hands the response to the delegate.
    void dispatchResponse(const NotificationResponse &response, const QString &activationToken = {});

private:
    QList<NotificationCategory> m_categories;
    NotificationCenterDelegate *m_delegate = nullptr;
};

} // namespace ovlin
