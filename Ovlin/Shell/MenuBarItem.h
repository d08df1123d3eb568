#pragma once

#include "Shell/ShellServices.h"

#include <memory>

namespace ovlin {

class MenuBarController;

// The menu-bar item as the application delegate owns it: the status-item controller, whose "Show App"
// and "Open app" bring the main window back through the application's delegate.
class MenuBarItem final : public StatusItemController
{
public:
    MenuBarItem();
    explicit MenuBarItem(std::unique_ptr<MenuBarController> controller);
    ~MenuBarItem() override;

    MenuBarController *controller() const { return m_controller.get(); }

    void setup() override;
    void attach(StoreContainer &container) override;
    void updateIcon(bool hasOverdue, int overdueCount, double progress) override;

private:
    std::unique_ptr<MenuBarController> m_controller;
};

} // namespace ovlin
