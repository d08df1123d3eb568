#include "MenuBar/TrayHostWatcher.h"

#include "Base/MainThread.h"
#include "DesignSystem/X11Selection.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QtGui/qtguiglobal.h>

#if QT_CONFIG(xcb)
#include <xcb/xcb.h>

#include <cstdlib>
#endif

namespace ovlin {

namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString kWatcherInterface = QStringLiteral("org.kde.StatusNotifierWatcher");

} // namespace

// Sees the MANAGER message an XEmbed tray sends to the root window when it takes the tray selection.
// The message is left for Qt as well, which follows the tray itself once an icon exists.
class TrayHostWatcher::XEmbedFilter : public QAbstractNativeEventFilter
{
public:
    XEmbedFilter(TrayHostWatcher *owner, uint32_t manager, uint32_t selection)
        : m_owner(owner), m_manager(manager), m_selection(selection)
    {
    }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
#if QT_CONFIG(xcb)
        if (eventType != "xcb_generic_event_t" || !message)
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
            return false;
        const auto *client = static_cast<const xcb_client_message_event_t *>(message);
        if (client->type == m_manager && client->format == 32 && client->data.data32[1] == m_selection) {
            // Acted on after Qt has dispatched the message, not from inside its dispatch.
            TrayHostWatcher *owner = m_owner;
            QMetaObject::invokeMethod(
                owner, [owner] { owner->xembedTrayAnnounced(); }, Qt::QueuedConnection);
        }
#else
        Q_UNUSED(eventType)
        Q_UNUSED(message)
#endif
        return false;
    }

private:
    TrayHostWatcher *m_owner;
    uint32_t m_manager;
    uint32_t m_selection;
};

TrayHostWatcher::TrayHostWatcher(QObject *parent) : QObject(parent), m_bus(QDBusConnection::sessionBus())
{
}

TrayHostWatcher::~TrayHostWatcher() = default;

void TrayHostWatcher::start()
{
    OVLIN_ASSERT_MAIN_THREAD();
    watchXEmbed();
    watchStatusNotifier();
}

void TrayHostWatcher::watchXEmbed()
{
#if QT_CONFIG(xcb)
    xcb_connection_t *connection = x11::connection();
    const uint32_t root = x11::rootWindow(connection);
    if (!root)
        return;
    const uint32_t selection = x11::atom(connection, x11::screenSelectionName("_NET_SYSTEM_TRAY_S"));
    const uint32_t manager = x11::atom(connection, QByteArrayLiteral("MANAGER"));
    if (!selection || !manager)
        return;
    // The announcement reaches the clients that listen to the root window's structure; Qt does, but
    // make sure. Asking for the owner afterwards leaves no gap in which a tray could start unseen.
    using AttributesReply = std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)>;
    const AttributesReply attributes(
        xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, root), nullptr), &std::free);
    if (attributes && !(attributes->your_event_mask & XCB_EVENT_MASK_STRUCTURE_NOTIFY)) {
        const uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
    }
    m_xembedFilter = std::make_unique<XEmbedFilter>(this, manager, selection);
    QCoreApplication::instance()->installNativeEventFilter(m_xembedFilter.get());
    const std::optional<uint32_t> owner = x11::selectionOwner(connection, selection);
    if (owner && *owner)
        xembedTrayAnnounced();
#endif
}

void TrayHostWatcher::stopWatchingXEmbed()
{
    OVLIN_ASSERT_MAIN_THREAD();
    // Its destructor takes it out of the event dispatcher.
    m_xembedFilter.reset();
}

void TrayHostWatcher::xembedTrayAnnounced()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (m_xembedFilter)
        Q_EMIT hostAppeared(Host::xembed);
}

void TrayHostWatcher::watchStatusNotifier()
{
    if (!m_bus.isConnected())
        return;
    auto *watcher = new QDBusServiceWatcher(kWatcherService, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &TrayHostWatcher::watcherOwnerChanged);
    m_bus.connect(kWatcherService, kWatcherPath, kWatcherInterface, QStringLiteral("StatusNotifierHostRegistered"),
                  this, SLOT(statusNotifierHostRegistered()));
    m_bus.connect(kWatcherService, kWatcherPath, kWatcherInterface, QStringLiteral("StatusNotifierHostUnregistered"),
                  this, SLOT(statusNotifierHostUnregistered()));
    askWhetherHostRegistered();
}

void TrayHostWatcher::watcherOwnerChanged(const QString &, const QString &oldOwner, const QString &newOwner)
{
    OVLIN_ASSERT_MAIN_THREAD();
    // Whatever the old watcher knew is gone with it.
    ++m_question;
    m_statusNotifierHost = false;
    if (newOwner.isEmpty())
        return;
    if (!oldOwner.isEmpty())
        Q_EMIT statusNotifierWatcherReplaced();
    askWhetherHostRegistered();
}

void TrayHostWatcher::askWhetherHostRegistered()
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        kWatcherService, kWatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << kWatcherInterface << QStringLiteral("IsStatusNotifierHostRegistered");
    const quint64 question = ++m_question;
    auto *call = new QDBusPendingCallWatcher(m_bus.asyncCall(get), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this, question](QDBusPendingCallWatcher *finished) {
        OVLIN_ASSERT_MAIN_THREAD();
        finished->deleteLater();
        // A later question or a signal since has the newer answer. No watcher: no host.
        if (question != m_question)
            return;
        const QDBusPendingReply<QDBusVariant> reply = *finished;
        setStatusNotifierHost(!reply.isError() && reply.value().variant().toBool());
    });
}

void TrayHostWatcher::statusNotifierHostRegistered()
{
    OVLIN_ASSERT_MAIN_THREAD();
    ++m_question;
    setStatusNotifierHost(true);
}

void TrayHostWatcher::statusNotifierHostUnregistered()
{
    OVLIN_ASSERT_MAIN_THREAD();
    // Other hosts may still be registered; the watcher knows.
    askWhetherHostRegistered();
}

void TrayHostWatcher::setStatusNotifierHost(bool registered)
{
    if (registered == m_statusNotifierHost)
        return;
    m_statusNotifierHost = registered;
    if (registered)
        Q_EMIT hostAppeared(Host::statusNotifier);
}

} // namespace ovlin
