#include "MenuBar/TrayStatusItem.h"

#include "Base/MainThread.h"

#include <QGuiApplication>
#include <QSystemTrayIcon>

namespace ovlin {

TrayStatusItem::TrayStatusItem(QObject *parent) : MenuBarStatusItem(parent), m_tray(new QSystemTrayIcon(this))
{
    OVLIN_ASSERT_MAIN_THREAD();
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
}

TrayStatusItem::~TrayStatusItem() = default;

bool TrayStatusItem::hasButton() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayStatusItem::setVisible(bool visible)
{
    // On X11 the icon is shown even while no tray runs: Qt embeds it as soon as one appears (a panel
    // that starts after the app). Elsewhere Qt only uses a tray that is there already, so an icon shown
    // without one would wait for nothing.
    if (visible && !hasButton() && QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    m_tray->setVisible(visible);
}

bool TrayStatusItem::isVisible() const
{
    return m_tray->isVisible();
}

void TrayStatusItem::setIcon(const QIcon &icon)
{
    m_tray->setIcon(icon);
}

QIcon TrayStatusItem::icon() const
{
    return m_tray->icon();
}

void TrayStatusItem::setAccessibleName(const QString &name)
{
    // The tooltip is what hosts read out for a tray icon.
    m_tray->setToolTip(name);
}

QString TrayStatusItem::accessibleName() const
{
    return m_tray->toolTip();
}

QRect TrayStatusItem::geometry() const
{
    return m_tray->geometry();
}

} // namespace ovlin
