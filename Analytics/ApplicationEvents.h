#pragma once

#include <QObject>

namespace analytics {

// The application's activity as the client sees it. The library has no GUI, so the host reports
// it: notifyWillBecomeActive() when the user turns to the application, notifyDidResignActive() when
// they leave it, and one of them as soon as it knows the state at start. Until the host reports,
// the application counts as active. Session statistics and duration signals follow these reports.
class ApplicationEvents : public QObject
{
    Q_OBJECT

public:
    static ApplicationEvents *instance();

    static void notifyDidResignActive();
    static void notifyWillBecomeActive();
    // The last state reported; safe from any thread.
    static bool isActive();
    // Back to "active, nothing reported" (tests).
    static void resetForTesting();

Q_SIGNALS:
    void didResignActive();
    void willBecomeActive();

private:
    ApplicationEvents() = default;
};

} // namespace analytics
