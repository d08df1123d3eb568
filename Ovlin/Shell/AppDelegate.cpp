#include "Shell/AppDelegate.h"

#include "Base/Log.h"
#include "Base/MainThread.h"
#include "Base/UserFiles.h"
#include "Base/UserFolders.h"
#include "Model/AppSettings.h"
#include "Model/Reminder.h"
#include "Shell/ShellServices.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <QWidget>
#include <QtGlobal>

namespace ovlin {

namespace {

AppDelegate *g_current = nullptr;

} // namespace

AppDelegate::AppDelegate(QObject *parent) : AppDelegate(makeContainer(), ShellServices::live(), parent)
{
    m_storeNotice = storeNoticeFor(*m_sharedContainer, dataFolder());
}

AppDelegate::AppDelegate(std::unique_ptr<StoreContainer> container, std::shared_ptr<ShellServices> services,
                         QObject *parent)
    : QObject(parent), m_sharedContainer(std::move(container)), m_services(std::move(services))
{
    OVLIN_ASSERT_MAIN_THREAD();
    Q_ASSERT(m_sharedContainer);
    Q_ASSERT(m_services);
    if (!g_current)
        g_current = this;
    // A store file that another program removed or replaced takes no more changes: the window says so.
    connect(m_sharedContainer->mainContext(), &StoreContext::fileLostChanged, this, [this](bool lost) {
        const QString before = storeNotice();
        m_storeLost = lost;
        if (storeNotice() != before)
            Q_EMIT storeNoticeChanged(storeNotice());
    });
    // Every way out (the menu, Ctrl+Q, SIGTERM, SIGHUP) ends the event loop, which announces it here.
    if (QCoreApplication *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, [this] { applicationWillTerminate(); });
}

AppDelegate::~AppDelegate()
{
    if (g_current == this)
        g_current = nullptr;
}

AppDelegate *AppDelegate::current()
{
    return g_current;
}

void AppDelegate::applicationDidFinishLaunching()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (m_launched)
        return;
    m_launched = true;

    // Linux has no activation policy: an application with a window is an ordinary one already.
    applyAppearance();

    if (m_services->initializeAnalytics)
        m_services->initializeAnalytics();
    if (m_services->sendSignal)
        m_services->sendSignal(QStringLiteral("app.launched"));

    if (NotificationCenter *center = m_services->notificationCenter ? m_services->notificationCenter() : nullptr) {
        m_responder = new NotificationResponder(m_sharedContainer->mainContext(), this);
        m_responder->setAppActiveQuery(m_services->isApplicationActive);
        m_responder->attach(center);
        // A click on a notification or a foreground action brings the window back.
        connect(center, &NotificationCenter::activationRequested, this, [this] { showMainWindow(); });
    }

    if (m_services->makeMenuBarController)
        m_menuBarController = m_services->makeMenuBarController();
    if (m_menuBarController) {
        m_menuBarController->setup();
        m_menuBarController->attach(*m_sharedContainer);
    }

    if (m_services->startPresentation)
        m_services->startPresentation(*m_sharedContainer);

    // The settings screen starts no rescheduling itself, yet notifications planned under the old quiet
    // hours would keep them until the next launch: a mute letting them through, or a lifted one keeping
    // them silent. So they are planned again here, as at launch.
    connect(&AppSettings::shared(), &AppSettings::changed, this, &AppDelegate::quietHoursChanged);
}

void AppDelegate::quietHoursChanged(const QString &key)
{
    OVLIN_ASSERT_MAIN_THREAD();
    const bool enabledChanged = key == AppSettings::quietHoursEnabledKey;
    const bool windowChanged = key == AppSettings::quietStartKey || key == AppSettings::quietEndKey;
    // The window of a mute that is off decides nothing.
    if (!enabledChanged && !(windowChanged && AppSettings::shared().quietHoursEnabled()))
        return;
    if (!m_services->scheduleReminders || std::exchange(m_quietHoursPlanPending, true))
        return;
    // A burst of changes (the switch with its two times, a time typed digit by digit) plans once.
    QTimer::singleShot(0, this, [this] {
        m_quietHoursPlanPending = false;
        m_services->scheduleReminders(m_sharedContainer->mainContext()->fetch<Reminder>());
    });
}

void AppDelegate::applicationWillTerminate(std::chrono::milliseconds budget)
{
    OVLIN_ASSERT_MAIN_THREAD();
    // A save that failed while another program held the store keeps its changes in memory only; they
    // are written now, waiting a while for the lock, or named in the log.
    m_sharedContainer->saveBeforeClosing(budget);
}

void AppDelegate::applyAppearance()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (std::exchange(m_appearanceApplied, true))
        return;
    if (m_services->applyLightAppearance)
        m_services->applyLightAppearance();
}

bool AppDelegate::applicationShouldHandleReopen(bool hasVisibleWindows)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!hasVisibleWindows)
        showMainWindow();
    return true;
}

void AppDelegate::showMainWindow()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!m_scene)
        return;
    QList<QWidget *> windows = m_scene->windows();
    // A closed window is gone for good; bring back a new one rather than nothing.
    if (windows.isEmpty()) {
        if (QWidget *opened = m_scene->openWindow())
            windows.append(opened);
    }
    for (QWidget *window : std::as_const(windows)) {
        if (window->isMinimized())
            window->showNormal();
        else
            window->show();
        bringToFront(window);
    }
}

void AppDelegate::bringToFront(QWidget *window)
{
    window->raise();
    QWidget *active = window;
    // A sheet stays above the window it belongs to.
    for (QWidget *child : window->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow() && child->isVisible()) {
            child->raise();
            active = child;
        }
    }
    active->activateWindow();
}

QString AppDelegate::dataFolder()
{
    return userFolder(UserFolder::data);
}

QStringList AppDelegate::storeCandidates(const QStringList &locations, QSet<QString> &seenPaths)
{
    QStringList candidates;
    for (const QString &location : locations) {
        if (seenPaths.contains(location))
            continue;
        seenPaths.insert(location);
        candidates.append(location);
    }
    return candidates;
}

std::unique_ptr<StoreContainer> AppDelegate::makeContainer()
{
    return makeContainer(dataFolder());
}

namespace {

struct StorePaths
{
    QString product;
    QString recovery;
    QString legacy;
};

StorePaths storePaths(const QString &applicationSupport)
{
    const QDir support(applicationSupport);
    const QDir product(support.filePath(QStringLiteral("Ovlin")));
    return {product.filePath(QStringLiteral("Ovlin.store")), product.filePath(QStringLiteral("Ovlin-Recovery.store")),
            QDir(support.filePath(QStringLiteral("Tamsi"))).filePath(QStringLiteral("Tamsi.store"))};
}

// Opens `candidate`, trying again while another program holds it locked (a backup, a second copy
// during an upgrade) until `budget` has passed; any other failure is final at once.
std::unique_ptr<StoreContainer> openCandidate(const QString &candidate, std::chrono::milliseconds budget,
                                              QString *error)
{
    std::unique_ptr<StoreContainer> container;
    StoreContainer::retryWhileLocked(budget, error, [&](int waitMs, QString *attemptError) {
        container = StoreContainer::open(candidate, attemptError, waitMs);
        return container != nullptr;
    });
    return container;
}

} // namespace

QString AppDelegate::storeNotice() const
{
    return m_storeLost ? lostStoreNoticeFor(*m_sharedContainer) : m_storeNotice;
}

void AppDelegate::setStoreNotice(const QString &notice)
{
    const QString before = storeNotice();
    m_storeNotice = notice;
    if (storeNotice() != before)
        Q_EMIT storeNoticeChanged(storeNotice());
}

QString AppDelegate::lostStoreNoticeFor(const StoreContainer &store)
{
    // A log cannot be put back: what was saved before is in the store file, which is untouched.
    if (const QString changed = store.changedFilePath(); !changed.isEmpty() && changed != store.filePath())
        return QStringLiteral("The store's write-ahead log %1 was removed or replaced by another program: nothing "
                              "you change now is saved. What was saved before is kept in %2; Ovlin lists what was "
                              "not saved in its log when it quits.")
            .arg(QDir::toNativeSeparators(changed), QDir::toNativeSeparators(store.filePath()));
    return QStringLiteral("%1 was moved, removed or replaced by another program: nothing you change now is saved. "
                          "Put the file back to save it; otherwise Ovlin lists what was not saved in its log when "
                          "it quits.")
        .arg(QDir::toNativeSeparators(store.filePath()));
}

QString AppDelegate::storeNoticeFor(const StoreContainer &store, const QString &applicationSupport)
{
    const StorePaths paths = storePaths(applicationSupport);
    // The file the user's data lives in: the legacy store while no product store was ever made.
    const QString usual =
        !QFileInfo::exists(paths.product) && QFileInfo::exists(paths.legacy) ? paths.legacy : paths.product;
    if (store.isInMemory())
        return QStringLiteral("Ovlin could not open %1 or a recovery file: nothing you enter now will be kept after "
                              "Ovlin quits.")
            .arg(QDir::toNativeSeparators(usual));
    if (store.filePath() == QFileInfo(paths.recovery).absoluteFilePath())
        return QStringLiteral("Ovlin could not open %1 and is using %2 instead: your usual habits and history are "
                              "not shown.")
            .arg(QDir::toNativeSeparators(usual), QDir::toNativeSeparators(paths.recovery));
    return QString();
}

std::unique_ptr<StoreContainer> AppDelegate::makeContainer(const QString &applicationSupport,
                                                           std::chrono::milliseconds lockedRetryBudget)
{
    OVLIN_ASSERT_MAIN_THREAD();
    const QDir support(applicationSupport);
    const QString productFolder = support.filePath(QStringLiteral("Ovlin"));
    const QString productStore = QDir(productFolder).filePath(QStringLiteral("Ovlin.store"));
    const QString recoveryStore = QDir(productFolder).filePath(QStringLiteral("Ovlin-Recovery.store"));
    const QString legacyFolder = support.filePath(QStringLiteral("Tamsi"));
    const QString legacyStore = QDir(legacyFolder).filePath(QStringLiteral("Tamsi.store"));

    // Both answers are taken once, before any store is opened.
    const bool productExists = QFileInfo::exists(productStore);
    const bool legacyExists = QFileInfo::exists(legacyStore);

    QStringList locations;
    if (productExists)
        locations.append(productStore);
    if (legacyExists)
        locations.append(legacyStore);
    locations.append(productStore);
    locations.append(recoveryStore);
    QSet<QString> seen;
    const QStringList candidates = storeCandidates(locations, seen);

    for (const QString &candidate : candidates) {
        QString error;
        // Only the folder of the candidate being tried is created.
        if (!makePrivateFolder(QFileInfo(candidate).path(), &error)) {
            qWarning("[AppDelegate] Failed to open store at %s: %s", qUtf8Printable(candidate), qUtf8Printable(error));
            continue;
        }
        if (auto container = openCandidate(candidate, lockedRetryBudget, &error)) {
            if (const QString notice = storeNoticeFor(*container, applicationSupport); !notice.isEmpty())
                qCWarning(lcStore).noquote() << notice;
            return container;
        }
        qWarning("[AppDelegate] Failed to open store at %s: %s", qUtf8Printable(candidate), qUtf8Printable(error));
    }

    qWarning("[AppDelegate] Falling back to in-memory store after persistent store setup failed.");
    QString error;
    if (auto container = StoreContainer::openInMemory(&error)) {
        qCWarning(lcStore).noquote() << storeNoticeFor(*container, applicationSupport);
        return container;
    }
    qFatal("[AppDelegate] Failed to create even the in-memory ModelContainer: %s", qUtf8Printable(error));
}

} // namespace ovlin
