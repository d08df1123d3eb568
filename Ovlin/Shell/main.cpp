#include "Base/Defaults.h"
#include "Base/Log.h"
#include "Base/UserFolders.h"
#include "DesignSystem/DesignResources.h"
#include "DesignSystem/ImageAssets.h"
#include "DesignSystem/ThemeFonts.h"
#include "Platform/TimeZoneEnvironment.h"
#include "Shell/OvlinApp.h"
#include "Shell/SingleInstance.h"

#include <QApplication>
#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};
// Set by the first termination signal; the run ends once, however many signals follow, in whatever order.
// (An atomic_flag is always lock-free, so the handler may use it.)
std::atomic_flag g_terminationRequested;

void onTerminationSignal(int)
{
    if (g_terminationRequested.test_and_set())
        return;
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[0], &byte, 1);
    errno = savedErrno;
}

// SIGTERM and SIGHUP (logout sends both at once; closing a terminal sends SIGHUP) and SIGINT end the run
// like the quit command, so that what is kept at exit (changes waiting for a locked store, the analytics
// cache) is written. Installed before anything else, so that a signal that comes while Ovlin is still
// starting is kept and ends the run cleanly instead of killing it. A signal that whoever started Ovlin
// chose to ignore (nohup, a background job) stays ignored.
void catchTerminationSignals()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return;
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : {SIGTERM, SIGHUP, SIGINT}) {
        struct sigaction inherited = {};
        if (number != SIGTERM && ::sigaction(number, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN)
            continue;
        ::sigaction(number, &action, nullptr);
    }
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
    return g_terminationRequested.test();
}

} // namespace

int main(int argc, char *argv[])
{
    catchTerminationSignals();
    // Files a first start creates wait until the window is on screen (released by the application).
    ovlin::Defaults::holdWrites();
    ovlin::pinSystemTimeZone();
    // Qt looks some folders up while it starts and would create a relative one in the working folder.
    ovlin::forgetRelativeUserFolders();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ovlin"));
    QApplication::setApplicationVersion(QStringLiteral(OVLIN_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral(OVLIN_APP_ID));
    // Closing the last window leaves Ovlin running with its menu-bar item.
    QApplication::setQuitOnLastWindowClosed(false);

    // One instance per user and per store, taken before the store is opened: a second launch only brings
    // the running one's window back.
    ovlin::SingleInstance instance;
    switch (instance.start()) {
    case ovlin::SingleInstance::Role::primary: break;
    case ovlin::SingleInstance::Role::secondary: return 0;
    case ovlin::SingleInstance::Role::unreachable:
        qCWarning(ovlin::lcApp).noquote() << instance.errorString();
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
    // Every way out (Quit, Ctrl+Q, the signals above) ends here: settings changes still waiting for
    // their file are written now, whatever that file has become.
    ovlin::Defaults::writeBeforeExit();
    return status;
}
