#include "MenuBar/TrayStatusItem.h"

#include "Base/MainThread.h"

#include <QSystemTrayIcon>

namespace ovlin {

TrayStatusItem::TrayStatusItem(QObject *parent) : MenuBarStatusItem(parent), m_hosts(new TrayHostWatcher(this))
{
    OVLIN_ASSERT_MAIN_THREAD();
    connect(m_hosts, &TrayHostWatcher::hostAppeared, this, &TrayStatusItem::hostAppeared);
    connect(m_hosts, &TrayHostWatcher::statusNotifierWatcherReplaced, this, &TrayStatusItem::registerWithNewWatcher);
    m_hosts->start();
}

TrayStatusItem::~TrayStatusItem() = default;

void TrayStatusItem::hostAppeared(TrayHostWatcher::Host host)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (m_tray)
        return;
    // Qt prefers a StatusNotifier host that is registered when the icon is made.
    m_host = m_hosts->hasStatusNotifierHost() ? TrayHostWatcher::Host::statusNotifier : host;
    m_hosts->stopWatchingXEmbed();
    m_tray = new QSystemTrayIcon(this);
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        switch (reason) {
        case QSystemTrayIcon::Trigger: Q_EMIT clicked(Click::left); break;
        case QSystemTrayIcon::Context: Q_EMIT clicked(Click::right); break;
        case QSystemTrayIcon::DoubleClick:
        case QSystemTrayIcon::MiddleClick:
        case QSystemTrayIcon::Unknown:
            // Only plain left and right clicks act on the item.
            break;
        }
    });
    m_tray->setIcon(m_icon);
    m_tray->setToolTip(m_name);
    m_tray->setVisible(m_visible);
}

void TrayStatusItem::registerWithNewWatcher()
{
    OVLIN_ASSERT_MAIN_THREAD();
    // Qt registers its item again when the watcher's name comes back after being free, not when another
    // watcher takes it over directly. Hiding unregisters the item; showing registers it with whoever
    // holds the name now.
    if (!m_tray || m_host != TrayHostWatcher::Host::statusNotifier || !m_visible)
        return;
    m_tray->setVisible(false);
    m_tray->setVisible(true);
}

bool TrayStatusItem::hasButton() const
{
    if (!m_tray)
        return false;
    // On the StatusNotifier path Qt would ask the panel over the bus, blocking, each time; the watcher
    // here already knows.
    if (m_host == TrayHostWatcher::Host::statusNotifier)
        return m_hosts->hasStatusNotifierHost();
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayStatusItem::setVisible(bool visible)
{
    m_visible = visible;
    if (m_tray)
        m_tray->setVisible(visible);
}

bool TrayStatusItem::isVisible() const
{
    return m_visible;
}

void TrayStatusItem::setIcon(const QIcon &icon)
{
    m_icon = icon;
    if (m_tray)
        m_tray->setIcon(icon);
}

QIcon TrayStatusItem::icon() const
{
    return m_icon;
}

void TrayStatusItem::setAccessibleName(const QString &name)
{
    // The tooltip is what hosts read out for a tray icon.
    m_name = name;
    if (m_tray)
        m_tray->setToolTip(name);
}

QString TrayStatusItem::accessibleName() const
{
    return m_name;
}

QRect TrayStatusItem::geometry() const
{
    return m_tray ? m_tray->geometry() : QRect();
}

} // namespace ovlin
