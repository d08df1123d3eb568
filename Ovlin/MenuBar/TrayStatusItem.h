#pragma once

#include "MenuBar/MenuBarStatusItem.h"
#include "MenuBar/TrayHostWatcher.h"

#include <optional>

class QSystemTrayIcon;

namespace ovlin {

// The status item as a system tray icon. A left click (activation) is a left click; the host's context
// request (usually a right click) is a right click. No context menu is attached to the tray icon: the
// controller pops its own up, so a left click always reaches the controller.
//
// Qt settles on a tray protocol (StatusNotifier or XEmbed) once per run, when the first tray icon is
// made, and never looks again. So the tray icon is made only once a tray is there, whichever kind comes
// first; until then the item keeps its icon, name and visibility and hands them over then.
class TrayStatusItem final : public MenuBarStatusItem
{
    Q_OBJECT

public:
    explicit TrayStatusItem(QObject *parent = nullptr);
    ~TrayStatusItem() override;

    bool hasButton() const override;
    void setVisible(bool visible) override;
    bool isVisible() const override;
    void setIcon(const QIcon &icon) override;
    QIcon icon() const override;
    void setAccessibleName(const QString &name) override;
    QString accessibleName() const override;
    QRect geometry() const override;

private:
    void hostAppeared(TrayHostWatcher::Host host);
    void registerWithNewWatcher();

    TrayHostWatcher *m_hosts;
    QSystemTrayIcon *m_tray = nullptr;
    // The kind of tray the icon went to.
    std::optional<TrayHostWatcher::Host> m_host;
    QIcon m_icon;
    QString m_name;
    bool m_visible = false;
};

} // namespace ovlin
