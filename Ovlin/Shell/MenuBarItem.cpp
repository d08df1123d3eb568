#include "Shell/MenuBarItem.h"

#include "Base/MainThread.h"
#include "MenuBar/MenuBarController.h"
#include "Shell/AppDelegate.h"

namespace ovlin {

MenuBarItem::MenuBarItem() : MenuBarItem(std::make_unique<MenuBarController>())
{
}

MenuBarItem::MenuBarItem(std::unique_ptr<MenuBarController> controller) : m_controller(std::move(controller))
{
    QObject::connect(m_controller.get(), &MenuBarController::showAppRequested, m_controller.get(), [] {
        OVLIN_ASSERT_MAIN_THREAD();
        if (AppDelegate *delegate = AppDelegate::current())
            delegate->showMainWindow();
    });
}

MenuBarItem::~MenuBarItem() = default;

void MenuBarItem::setup()
{
    m_controller->setup();
}

void MenuBarItem::attach(StoreContainer &container)
{
    m_controller->attach(&container);
}

void MenuBarItem::updateIcon(bool hasOverdue, int overdueCount, double progress)
{
    m_controller->updateIcon(hasOverdue, overdueCount, progress);
}

} // namespace ovlin
