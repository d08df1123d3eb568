// A desktop panel's tray in miniature, for the tray tests and for trying Ovlin by hand on a bare X server:
//   tray_host_standin statusnotifier [--host-later]
//                                      holds org.kde.StatusNotifierWatcher (taking it over from whoever
//                                      has it) with a host registered (or only once "host" is read from
//                                      stdin), and reads registered items back
//   tray_host_standin xembed           holds the X screen's _NET_SYSTEM_TRAY_S<n> selection in a small
//                                      window at the top right and embeds the icons that ask to dock
// One line on stdout per event: "ready", "registered <service>", "item <service> icon|no-icon <tooltip title>",
// "docked <window>", "host", "lost" (another program took over; the stand-in then exits), and after each
// registration or dock "after <ms>", the time since "ready" (or "host").
// Lines on stdin click the last registered item as a host would: "activate", "context".
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QStringList>

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <unistd.h>

namespace {

QElapsedTimer &sinceReady()
{
    static QElapsedTimer timer;
    return timer;
}

void say(const QString &line)
{
    if (line == QLatin1String("ready") || line == QLatin1String("host"))
        sinceReady().start();
    std::printf("%s\n", qPrintable(line));
    if (line.startsWith(QLatin1String("registered ")) || line.startsWith(QLatin1String("docked ")))
        std::printf("after %lld\n", qint64(sinceReady().elapsed()));
    std::fflush(stdout);
}

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kItemInterface = QStringLiteral("org.kde.StatusNotifierItem");

class Watcher : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isStatusNotifierHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredStatusNotifierItems)

public:
    Watcher(QDBusConnection bus, bool hostRegistered)
        : m_bus(std::move(bus)), m_items(QString(), m_bus), m_hostRegistered(hostRegistered)
    {
    }

    bool start()
    {
        if (!m_bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                                  QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                                      QDBusConnection::ExportAllProperties))
            return false;
        m_bus.connect(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                      QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameLost"), this,
                      SLOT(nameLost(QString)));
        const auto reply =
            m_bus.interface()->registerService(kWatcherService, QDBusConnectionInterface::ReplaceExistingService,
                                               QDBusConnectionInterface::AllowReplacement);
        if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered)
            return false;
        connect(&m_items, &QDBusServiceWatcher::serviceUnregistered, this, [this](const QString &service) {
            m_registered.removeAll(service);
            m_items.removeWatchedService(service);
            Q_EMIT StatusNotifierItemUnregistered(service);
        });
        say(QStringLiteral("ready"));
        if (m_hostRegistered)
            Q_EMIT StatusNotifierHostRegistered();
        return true;
    }

    // The panel's host comes up after its watcher.
    void registerHost()
    {
        if (m_hostRegistered)
            return;
        m_hostRegistered = true;
        say(QStringLiteral("host"));
        Q_EMIT StatusNotifierHostRegistered();
    }

    bool isStatusNotifierHostRegistered() const { return m_hostRegistered; }
    int protocolVersion() const { return 0; }
    QStringList registeredStatusNotifierItems() const { return m_registered; }

    void click(const QString &method)
    {
        if (m_registered.isEmpty())
            return;
        QDBusMessage call = QDBusMessage::createMethodCall(m_registered.last(), QStringLiteral("/StatusNotifierItem"),
                                                           kItemInterface, method);
        call << 0 << 0;
        m_bus.call(call, QDBus::NoBlock);
    }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString &serviceOrPath)
    {
        // Items name their bus name or, in some toolkits, only their object path.
        const QString service = serviceOrPath.startsWith(QLatin1Char('/')) ? message().service() : serviceOrPath;
        say(QStringLiteral("registered ") + service);
        if (!m_registered.contains(service)) {
            m_registered.append(service);
            m_items.addWatchedService(service);
        }
        Q_EMIT StatusNotifierItemRegistered(service);
        readItem(service);
    }

    void RegisterStatusNotifierHost(const QString &) { Q_EMIT StatusNotifierHostRegistered(); }

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString &service);
    void StatusNotifierItemUnregistered(const QString &service);
    void StatusNotifierHostRegistered();
    void StatusNotifierHostUnregistered();

private Q_SLOTS:
    void nameLost(const QString &name)
    {
        if (name != kWatcherService)
            return;
        say(QStringLiteral("lost"));
        QCoreApplication::quit();
    }

private:
    // What a panel does next: read the item's icon and tooltip to show them.
    void readItem(const QString &service)
    {
        QDBusMessage getAll =
            QDBusMessage::createMethodCall(service, QStringLiteral("/StatusNotifierItem"),
                                           QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
        getAll << kItemInterface;
        auto *call = new QDBusPendingCallWatcher(m_bus.asyncCall(getAll), this);
        connect(call, &QDBusPendingCallWatcher::finished, this, [service](QDBusPendingCallWatcher *finished) {
            finished->deleteLater();
            const QDBusPendingReply<QVariantMap> reply = *finished;
            if (reply.isError()) {
                say(QStringLiteral("item ") + service + QStringLiteral(" ?"));
                return;
            }
            const QVariantMap properties = reply.value();
            // (icon name, icon pixmaps, title, text); pixmaps are (width, height, bytes).
            QString title;
            const QDBusArgument tip = properties.value(QStringLiteral("ToolTip")).value<QDBusArgument>();
            QString iconName;
            QString text;
            tip.beginStructure();
            tip >> iconName;
            readPixmaps(tip);
            tip >> title >> text;
            tip.endStructure();
            const int pixmaps = readPixmaps(properties.value(QStringLiteral("IconPixmap")).value<QDBusArgument>());
            say(QStringLiteral("item ") + service +
                (pixmaps > 0 ? QStringLiteral(" icon ") : QStringLiteral(" no-icon ")) + title);
        });
    }

    // Reads an array of pixmaps; how many had pixels.
    static int readPixmaps(const QDBusArgument &array)
    {
        int count = 0;
        array.beginArray();
        while (!array.atEnd()) {
            int width = 0;
            int height = 0;
            QByteArray bytes;
            array.beginStructure();
            array >> width >> height >> bytes;
            array.endStructure();
            if (width > 0 && height > 0 && !bytes.isEmpty())
                ++count;
        }
        array.endArray();
        return count;
    }

    QDBusConnection m_bus;
    QDBusServiceWatcher m_items;
    QStringList m_registered;
    bool m_hostRegistered;
};

// A minimal XEmbed system tray: owns the selection, announces itself, and reparents docking icons into
// its window.
class XEmbedTray : public QObject
{
public:
    ~XEmbedTray() override
    {
        if (m_connection)
            xcb_disconnect(m_connection);
    }

    bool start()
    {
        int screenNumber = 0;
        m_connection = xcb_connect(nullptr, &screenNumber);
        if (xcb_connection_has_error(m_connection))
            return false;
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
        for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
            xcb_screen_next(&screens);
        if (screens.rem <= 0)
            return false;
        xcb_screen_t *screen = screens.data;
        m_selection = atom("_NET_SYSTEM_TRAY_S" + QByteArray::number(screenNumber));
        m_opcode = atom("_NET_SYSTEM_TRAY_OPCODE");
        m_xembed = atom("_XEMBED");

        m_window = xcb_generate_id(m_connection);
        const uint32_t values[] = {screen->white_pixel, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, screen->root,
                          int16_t(screen->width_in_pixels - 160), 0, 160, 32, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          screen->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
        const QByteArray title = "Tray";
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, m_window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                            uint32_t(title.size()), title.constData());
        xcb_map_window(m_connection, m_window);

        xcb_set_selection_owner(m_connection, m_window, m_selection, XCB_CURRENT_TIME);
        std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
            xcb_get_selection_owner_reply(m_connection, xcb_get_selection_owner(m_connection, m_selection), nullptr),
            &std::free);
        if (!owner || owner->owner != m_window)
            return false;
        // The tray's announcement: a MANAGER message to every client watching the root window.
        xcb_client_message_event_t manager{};
        manager.response_type = XCB_CLIENT_MESSAGE;
        manager.format = 32;
        manager.window = screen->root;
        manager.type = atom("MANAGER");
        manager.data.data32[0] = XCB_CURRENT_TIME;
        manager.data.data32[1] = m_selection;
        manager.data.data32[2] = m_window;
        xcb_send_event(m_connection, 0, screen->root, XCB_EVENT_MASK_STRUCTURE_NOTIFY,
                       reinterpret_cast<const char *>(&manager));
        xcb_flush(m_connection);

        m_notifier = new QSocketNotifier(xcb_get_file_descriptor(m_connection), QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &XEmbedTray::readEvents);
        say(QStringLiteral("ready"));
        readEvents();
        return true;
    }

private:
    xcb_atom_t atom(const QByteArray &name)
    {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(m_connection,
                                  xcb_intern_atom(m_connection, 0, uint16_t(name.size()), name.constData()), nullptr),
            &std::free);
        return reply ? reply->atom : XCB_NONE;
    }

    void readEvents()
    {
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
            const uint8_t type = event->response_type & 0x7f;
            if (type == XCB_CLIENT_MESSAGE) {
                const auto *message = reinterpret_cast<xcb_client_message_event_t *>(event);
                // SYSTEM_TRAY_REQUEST_DOCK is opcode 0.
                if (message->type == m_opcode && message->data.data32[1] == 0)
                    dock(message->data.data32[2]);
            } else if (type == XCB_SELECTION_CLEAR) {
                say(QStringLiteral("lost"));
                QCoreApplication::quit();
            }
            std::free(event);
        }
        if (xcb_connection_has_error(m_connection))
            QCoreApplication::exit(1);
    }

    void dock(xcb_window_t icon)
    {
        say(QStringLiteral("docked ") + QString::number(icon));
        xcb_reparent_window(m_connection, icon, m_window, int16_t(4 + 28 * m_docked++), 4);
        const uint32_t size[] = {24, 24};
        xcb_configure_window(m_connection, icon, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
        xcb_map_window(m_connection, icon);
        // XEMBED_EMBEDDED_NOTIFY (0), protocol version 0.
        xcb_client_message_event_t notify{};
        notify.response_type = XCB_CLIENT_MESSAGE;
        notify.format = 32;
        notify.window = icon;
        notify.type = m_xembed;
        notify.data.data32[0] = XCB_CURRENT_TIME;
        notify.data.data32[2] = m_window;
        xcb_send_event(m_connection, 0, icon, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&notify));
        xcb_flush(m_connection);
    }

    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_window = XCB_NONE;
    xcb_atom_t m_selection = XCB_NONE;
    xcb_atom_t m_opcode = XCB_NONE;
    xcb_atom_t m_xembed = XCB_NONE;
    QSocketNotifier *m_notifier = nullptr;
    int m_docked = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString mode = args.value(1);
    std::unique_ptr<Watcher> watcher;
    std::unique_ptr<XEmbedTray> tray;
    if (mode == QLatin1String("statusnotifier")) {
        const bool hostLater = args.contains(QStringLiteral("--host-later"));
        watcher = std::make_unique<Watcher>(QDBusConnection::sessionBus(), !hostLater);
        if (!watcher->start())
            return 1;
    } else if (mode == QLatin1String("xembed")) {
        tray = std::make_unique<XEmbedTray>();
        if (!tray->start())
            return 1;
    } else {
        std::fprintf(stderr, "usage: tray_host_standin statusnotifier [--host-later] | xembed\n");
        return 2;
    }

    QSocketNotifier commands(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&commands, &QSocketNotifier::activated, &app, [&] {
        char buffer[256];
        const ssize_t read = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (read <= 0) {
            commands.setEnabled(false);
            return;
        }
        for (const QByteArray &command : QByteArray(buffer, read).split('\n')) {
            if (!watcher)
                break;
            if (command.trimmed() == "activate")
                watcher->click(QStringLiteral("Activate"));
            else if (command.trimmed() == "context")
                watcher->click(QStringLiteral("ContextMenu"));
            else if (command.trimmed() == "host")
                watcher->registerHost();
        }
    });
    return app.exec();
}

#include "tray_host_standin.moc"
