#pragma once

#include "MenuBar/MenuBarStatusItem.h"

class QSystemTrayIcon;

namespace ovlin {

// The status item as a system tray icon. A left click (activation) is a left click; the host's context
// request (usually a right click) is a right click. No context menu is attached to the tray icon: the
// controller pops its own up, so a left click always reaches the controller.
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
    QSystemTrayIcon *m_tray;
};

} // namespace ovlin
