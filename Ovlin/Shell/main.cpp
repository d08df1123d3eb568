#include "Base/Defaults.h"
#include "Base/Log.h"
#include "DesignSystem/DesignResources.h"
#include "DesignSystem/ImageAssets.h"
#include "DesignSystem/ThemeFonts.h"
#include "Platform/TimeZoneEnvironment.h"
#include "Shell/OvlinApp.h"
#include "Shell/SingleInstance.h"

#include <QApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};
volatile std::sig_atomic_t g_terminationRequested = 0;

void onTerminationSignal(int)
{
    g_terminationRequested = 1;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[0], &byte, 1);
}

// SIGTERM (logout, shutdown) and SIGINT end the run like the quit command, so that what is kept at exit
// (the analytics cache) is written. Installed before anything else, so that a signal that comes while
// Ovlin is still starting is kept and ends the run cleanly instead of killing it.
void catchTerminationSignals()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return;
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

// From the event loop on, a signal (also one that came earlier) quits the application.
void quitOnTerminationSignals()
{
    if (g_signalPipe[1] < 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalPipe[1], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
        char byte = 0;
        [[maybe_unused]] const ssize_t read = ::read(g_signalPipe[1], &byte, 1);
        QCoreApplication::quit();
    });
}

bool terminationRequested()
{
    return g_terminationRequested != 0;
}

} // namespace

int main(int argc, char *argv[])
{
    catchTerminationSignals();
    // Files a first start creates wait until the window is on screen (released by the application).
    ovlin::Defaults::holdWrites();
    ovlin::pinSystemTimeZone();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ovlin"));
    QApplication::setApplicationVersion(QStringLiteral(OVLIN_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral(OVLIN_APP_ID));
    // Closing the last window leaves Ovlin running with its menu-bar item.
    QApplication::setQuitOnLastWindowClosed(false);

    // One instance per user: a second launch only brings the running one's window back.
    ovlin::SingleInstance instance;
    switch (instance.start()) {
    case ovlin::SingleInstance::Role::primary: break;
    case ovlin::SingleInstance::Role::secondary: return 0;
    case ovlin::SingleInstance::Role::unreachable:
        qCWarning(ovlin::lcApp) << "Ovlin is already running but does not answer; not starting a second one.";
        return 1;
    case ovlin::SingleInstance::Role::refused:
        qCCritical(ovlin::lcApp).noquote() << instance.errorString() << "Not starting.";
        return 1;
    }
    quitOnTerminationSignals();
    // Stopped while starting: nothing of the run needs keeping yet.
    if (terminationRequested())
        return 0;

    ovlin::initDesignResources();
    ovlin::ThemeFonts::ensureLoaded();
    QApplication::setWindowIcon(ovlin::ImageAssets::appIcon());
    if (terminationRequested())
        return 0;

    ovlin::OvlinApp ovlinApp;
    const ovlin::StoreContainer *store = ovlinApp.appDelegate()->sharedContainer();
    if (store->isInMemory())
        qCInfo(ovlin::lcApp) << "Using in-memory store";
    else
        qCInfo(ovlin::lcApp).noquote() << "Using store at" << store->filePath();
    QObject::connect(&instance, &ovlin::SingleInstance::reopenRequested, &ovlinApp, &ovlin::OvlinApp::handleReopen);
    if (terminationRequested())
        return 0;
    ovlinApp.start();
    const int status = app.exec();
    ovlin::Defaults::releaseWrites();
    return status;
}
