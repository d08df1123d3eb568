#pragma once

#include <QObject>

namespace analytics {

// The application's activity as the client sees it. The library has no GUI, so the host reports
// it: connect QGuiApplication::applicationStateChanged so that Qt::ApplicationActive calls
// notifyWillBecomeActive() and any other state calls notifyDidResignActive().
// Session statistics and duration signals follow these notifications.
class ApplicationEvents : public QObject
{
    Q_OBJECT

public:
    static ApplicationEvents *instance();

    static void notifyDidResignActive();
    static void notifyWillBecomeActive();

Q_SIGNALS:
    void didResignActive();
    void willBecomeActive();

private:
    ApplicationEvents() = default;
};

} // namespace analytics
