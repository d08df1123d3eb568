#pragma once

#include "MenuBar/MenuBarStatusItem.h"

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>

#include <functional>
#include <memory>

class QAction;
class QMenu;
class QPainter;
class QRectF;

namespace ovlin {

class MenuBarPopover;
class StoreContainer;

// The application's item in the desktop's status area: its icon, the popover that a left click opens
// and closes, and the context menu ("Show App", "Quit") that a right click shows. Created once after
// launch; call setup() and then attach() with the store. Main thread only.
//
// The item is set up and shown whether or not a status area host (a tray) runs yet; until one appears
// nothing can be clicked, and the rest of the application is unaffected.
class MenuBarController : public QObject
{
    Q_OBJECT

public:
    // The drawn status icon and whether it is a template (a mask the desktop may tint; only its alpha
    // counts) rather than an image that keeps its colours.
    struct StatusIcon
    {
        QImage image;
        bool isTemplate = false;
    };

    static constexpr double statusIconSide = 18;

    // With a tray icon as the status item.
    explicit MenuBarController(QObject *parent = nullptr);
    // With a status item of the caller's (tests).
    explicit MenuBarController(std::unique_ptr<MenuBarStatusItem> statusItem, QObject *parent = nullptr);
    ~MenuBarController() override;

    // The item's icon, clicks, accessibility label and context menu; the popover's placeholder content.
    void setup();
    // Puts the popover view over the store's main context into the popover. A null container is ignored.
    void attach(StoreContainer *container);
    // Redraws the item's icon: the application icon when there is one, otherwise the progress icon.
    void updateIcon(bool hasOverdue, qint64 overdueCount, double progress);

    // A click on the item: right shows the context menu, left opens or closes the popover.
    void togglePopover(MenuBarStatusItem::Click click = MenuBarStatusItem::Click::left);
    // The context menu's entries.
    void showAppFromContextMenu();
    void quitFromContextMenu();
    // The popover's "Open app": closes the popover, then asks for the main window.
    void openMainWindow();

    MenuBarStatusItem *statusItem() const { return m_statusItem.get(); }
    MenuBarPopover *popover() const { return m_popover.get(); }
    QMenu *contextMenu() const { return m_contextMenu.get(); }
    bool isPopoverShown() const;
    // Whether the outside-click watcher is installed (only while the popover is open).
    bool hasEventMonitor() const { return m_eventMonitor != nullptr; }

    // What "Quit" runs; QCoreApplication::quit unless replaced (tests).
    void setQuitHandler(std::function<void()> handler);

    // The popover's height for a content that fits in `fittingHeight`: at least the popover's minimum,
    // at most its maximum (NaN counts as the minimum).
    static double clampedPopoverHeight(double fittingHeight);
    // The application icon (QGuiApplication::windowIcon) as an 18 x 18 non-template image, or a null
    // icon when the application has none.
    static QIcon appIconImage();
    // The progress icon, 18 x 18 pixels at `devicePixelRatio`.
    static StatusIcon makeStatusIcon(bool hasOverdue, qint64 overdueCount, double progress,
                                     double devicePixelRatio = 2);
    // Draws the progress icon into `rect`: the faint track, the progress arc clockwise from the top, and
    // the overdue dot in the top-right corner.
    static void drawStatusIcon(QPainter &p, const QRectF &rect, bool hasOverdue, qint64 overdueCount, double progress);
    // The colour template parts are drawn in.
    static QColor labelColor();

Q_SIGNALS:
    // "Show App" or "Open app": the shell brings the main window forward.
    void showAppRequested();

private:
    class OutsideClickMonitor;

    void configureStatusItem();
    void buildContextMenu();
    void showContextMenu();
    void showPopover();
    void closePopover();
    void updatePopoverSize();
    void closeOnOutsideClick();
    void popoverPressedOutside(QPoint globalPos, Qt::MouseButton button);
    // Where the item is on the screen, as far as anyone knows; empty when nobody does.
    QRect itemArea() const;
    void removeEventMonitor();
    void applyIcon(bool hasOverdue, qint64 overdueCount, double progress);
    void showApp();
    void quit();

    std::unique_ptr<MenuBarStatusItem> m_statusItem;
    std::unique_ptr<MenuBarPopover> m_popover;
    std::unique_ptr<QMenu> m_contextMenu;
    OutsideClickMonitor *m_eventMonitor = nullptr;
    QRect m_popoverAnchor;
    std::function<void()> m_quitHandler;
};

} // namespace ovlin
