#include "MenuBar/MenuBarController.h"

#include "Base/MainThread.h"
#include "Copy/CopyEngine.h"
#include "DesignSystem/ActivitySpinner.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/OvlinStyle.h"
#include "DesignSystem/ThemeColors.h"
#include "MenuBar/MenuBarPopover.h"
#include "MenuBar/MenuBarPopoverView.h"
#include "MenuBar/TrayStatusItem.h"
#include "Platform/Store.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QHBoxLayout>
#include <QLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <algorithm>
#include <cmath>

namespace ovlin {

namespace {

constexpr double kTrackDiameter = 15;
constexpr double kTrackWidth = 1.5;
constexpr double kArcWidth = 2;
constexpr double kDotDiameter = 8;

// The popover's content until a store is attached: a busy indicator on the popover's background.
class PlaceholderContent : public QWidget
{
public:
    PlaceholderContent()
    {
        setFixedSize(int(LayoutTokens::popoverWidth), int(LayoutTokens::popoverMinHeight));
        auto *layout = new QHBoxLayout(this);
        layout->addWidget(new ActivitySpinner, 0, Qt::AlignCenter);
    }

protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), ThemeColors::background()); }
};

double sanitizedProgress(double progress)
{
    return std::isnan(progress) ? 0.0 : progress;
}

} // namespace

// Watches the application's mouse presses while the popover is open and closes it on a left or right
// press anywhere outside it. Presses inside the popover are its own business.
class MenuBarController::OutsideClickMonitor : public QObject
{
public:
    explicit OutsideClickMonitor(MenuBarController *controller) : m_controller(controller) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::NonClientAreaMouseButtonPress)
            return QObject::eventFilter(watched, event);
        const auto *press = static_cast<QMouseEvent *>(event);
        if (press->button() != Qt::LeftButton && press->button() != Qt::RightButton)
            return false;
        // Every widget of the press's window sees the same press; act once, on its first delivery.
        if (m_controller && m_controller->m_popover && m_controller->m_eventMonitor == this) {
            const QRect popoverArea = m_controller->m_popover->frameGeometry();
            if (!popoverArea.contains(press->globalPosition().toPoint()))
                m_controller->closeOnOutsideClick();
        }
        return false;
    }

private:
    QPointer<MenuBarController> m_controller;
};

MenuBarController::MenuBarController(QObject *parent) : MenuBarController(std::make_unique<TrayStatusItem>(), parent)
{
}

MenuBarController::MenuBarController(std::unique_ptr<MenuBarStatusItem> statusItem, QObject *parent)
    : QObject(parent), m_statusItem(std::move(statusItem)), m_popover(std::make_unique<MenuBarPopover>()),
      m_contextMenu(std::make_unique<QMenu>())
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!m_statusItem)
        m_statusItem = std::make_unique<TrayStatusItem>();
    m_contextMenu->setObjectName(QStringLiteral("MenuBarContextMenu"));
    OvlinStyle::styleMenu(m_contextMenu.get());
    // However the popover closes (a click on the item, elsewhere, Escape), the watcher goes with it.
    connect(m_popover.get(), &MenuBarPopover::closed, this, &MenuBarController::removeEventMonitor);
    connect(m_popover.get(), &MenuBarPopover::contentLayoutChanged, this, [this] {
        if (isPopoverShown())
            updatePopoverSize();
    });
    connect(m_popover.get(), &MenuBarPopover::pressedOutside, this, &MenuBarController::popoverPressedOutside);
    connect(m_statusItem.get(), &MenuBarStatusItem::clicked, this,
            [this](MenuBarStatusItem::Click click) { togglePopover(click); });
}

MenuBarController::~MenuBarController()
{
    // The popover reports its close while it is torn down; nobody is listening any more.
    m_popover->disconnect(this);
    removeEventMonitor();
}

void MenuBarController::setup()
{
    OVLIN_ASSERT_MAIN_THREAD();
    configureStatusItem();
    m_popover->setContentSize(QSize(int(LayoutTokens::popoverWidth), int(LayoutTokens::popoverMinHeight)));
    m_popover->setContent(new PlaceholderContent);
}

void MenuBarController::configureStatusItem()
{
    // Set up whether or not a status area host runs yet: one that starts after the app (a panel still
    // coming up at login) must find the item ready, or the app stays unreachable once its window is
    // closed. The icon comes before showing, since an item shown without one has nothing to embed.
    applyIcon(false, 0, 0);
    m_statusItem->setAccessibleName(CopyEngine::shared().text(CopyTrigger::menuBarAccessibility, CopyContext{}));
    buildContextMenu();
    m_statusItem->setVisible(true);
}

void MenuBarController::buildContextMenu()
{
    m_contextMenu->clear();
    QAction *showApp = m_contextMenu->addAction(QStringLiteral("Show App"));
    connect(showApp, &QAction::triggered, this, &MenuBarController::showAppFromContextMenu);
    QAction *quit = m_contextMenu->addAction(QStringLiteral("Quit"));
    connect(quit, &QAction::triggered, this, &MenuBarController::quitFromContextMenu);
}

void MenuBarController::attach(StoreContainer *container)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!container || !container->mainContext()) {
        qWarning("MenuBarController::attach: no store to attach");
        return;
    }
    QPointer<MenuBarController> self(this);
    auto *view = new MenuBarPopoverView(container->mainContext(), [self] {
        OVLIN_ASSERT_MAIN_THREAD();
        if (self)
            self->openMainWindow();
    });
    m_popover->setContent(view);
    updatePopoverSize();
}

double MenuBarController::clampedPopoverHeight(double fittingHeight)
{
    if (std::isnan(fittingHeight) || fittingHeight <= LayoutTokens::popoverMinHeight)
        return LayoutTokens::popoverMinHeight;
    return std::min(fittingHeight, LayoutTokens::popoverMaxHeight);
}

void MenuBarController::updatePopoverSize()
{
    QWidget *content = m_popover->content();
    if (!content)
        return;
    const int width = int(LayoutTokens::popoverWidth);
    if (QLayout *layout = content->layout())
        layout->activate();
    int fitting = content->hasHeightForWidth() ? content->heightForWidth(width) : -1;
    if (fitting < 0)
        fitting = content->sizeHint().expandedTo(content->minimumSize()).height();
    const double height = clampedPopoverHeight(double(fitting));
    m_popover->setContentSize(QSize(width, int(std::ceil(height))));
}

bool MenuBarController::isPopoverShown() const
{
    return m_popover->isShown();
}

void MenuBarController::togglePopover(MenuBarStatusItem::Click click)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (click == MenuBarStatusItem::Click::right) {
        showContextMenu();
        return;
    }
    if (isPopoverShown())
        closePopover();
    else
        showPopover();
}

void MenuBarController::showContextMenu()
{
    closePopover();
    if (!m_statusItem->hasButton())
        return;
    // The menu is ours alone and never attached to the item, so the next left click still reaches
    // togglePopover.
    m_contextMenu->popup(QCursor::pos());
}

QRect MenuBarController::itemArea() const
{
    const QRect geometry = m_statusItem->geometry();
    if (geometry.isValid() && !geometry.isEmpty())
        return geometry;
    // A host that keeps the item's place to itself: the item is where the click that opened the
    // popover landed.
    if (!m_popoverAnchor.isValid())
        return {};
    const int reach = int(statusIconSide);
    return m_popoverAnchor.adjusted(-reach, -reach, reach, reach);
}

void MenuBarController::popoverPressedOutside(QPoint globalPos, Qt::MouseButton button)
{
    // The open popup took this press, so the item never saw it: a right click on the item still owes
    // its menu. Once the press has been handled, so the menu is not opened inside the closing popup's
    // own mouse handling. A left click there only closes, as the item's toggle would.
    if (button != Qt::RightButton || !itemArea().contains(globalPos))
        return;
    QMetaObject::invokeMethod(this, &MenuBarController::showContextMenu, Qt::QueuedConnection);
}

void MenuBarController::showPopover()
{
    if (!m_statusItem->hasButton())
        return;
    updatePopoverSize();
    QRect anchor = m_statusItem->geometry();
    if (!anchor.isValid() || anchor.isEmpty())
        anchor = QRect(QCursor::pos(), QSize(1, 1));
    m_popoverAnchor = anchor;
    m_popover->showRelativeTo(anchor);
    // The content draws itself afresh as it comes on screen; fit the popover to that at once.
    updatePopoverSize();
    // A watcher left from a popover that closed by itself is replaced, never stacked.
    removeEventMonitor();
    if (!m_popover->isShown())
        return;
    m_eventMonitor = new OutsideClickMonitor(this);
    qApp->installEventFilter(m_eventMonitor);
}

void MenuBarController::closeOnOutsideClick()
{
    OVLIN_ASSERT_MAIN_THREAD();
    closePopover();
}

void MenuBarController::closePopover()
{
    m_popover->performClose();
    removeEventMonitor();
}

void MenuBarController::removeEventMonitor()
{
    if (!m_eventMonitor)
        return;
    if (qApp)
        qApp->removeEventFilter(m_eventMonitor);
    // It may be the one delivering the press that closes the popover.
    m_eventMonitor->deleteLater();
    m_eventMonitor = nullptr;
}

void MenuBarController::openMainWindow()
{
    OVLIN_ASSERT_MAIN_THREAD();
    closePopover();
    Q_EMIT showAppRequested();
}

void MenuBarController::showAppFromContextMenu()
{
    OVLIN_ASSERT_MAIN_THREAD();
    showApp();
}

void MenuBarController::quitFromContextMenu()
{
    OVLIN_ASSERT_MAIN_THREAD();
    quit();
}

void MenuBarController::showApp()
{
    Q_EMIT showAppRequested();
}

void MenuBarController::quit()
{
    if (m_quitHandler)
        m_quitHandler();
    else
        QCoreApplication::quit();
}

void MenuBarController::setQuitHandler(std::function<void()> handler)
{
    m_quitHandler = std::move(handler);
}

void MenuBarController::updateIcon(bool hasOverdue, qint64 overdueCount, double progress)
{
    OVLIN_ASSERT_MAIN_THREAD();
    // Also without a host: one that appears later shows the current state.
    applyIcon(hasOverdue, overdueCount, progress);
}

void MenuBarController::applyIcon(bool hasOverdue, qint64 overdueCount, double progress)
{
    const QIcon appIcon = appIconImage();
    if (!appIcon.isNull()) {
        m_statusItem->setIcon(appIcon);
        return;
    }
    const StatusIcon drawn = makeStatusIcon(hasOverdue, overdueCount, progress);
    QIcon icon(QPixmap::fromImage(drawn.image));
    icon.setIsMask(drawn.isTemplate);
    m_statusItem->setIcon(icon);
}

QIcon MenuBarController::appIconImage()
{
    const QIcon shared = QGuiApplication::windowIcon();
    if (shared.isNull())
        return {};
    // A fresh copy at the item's size; the application's own icon stays as it is.
    const double ratio = std::max(1.0, qApp ? qApp->devicePixelRatio() : 1.0);
    const int side = int(statusIconSide);
    QPixmap pixmap = shared.pixmap(QSize(side, side), ratio);
    if (pixmap.isNull())
        return {};
    QIcon copy(pixmap);
    copy.setIsMask(false);
    return copy;
}

QColor MenuBarController::labelColor()
{
    return QColor(0, 0, 0);
}

MenuBarController::StatusIcon MenuBarController::makeStatusIcon(bool hasOverdue, qint64 overdueCount, double progress,
                                                                double devicePixelRatio)
{
    const double ratio = std::isfinite(devicePixelRatio) ? std::clamp(devicePixelRatio, 1.0, 8.0) : 1.0;
    const double fraction = sanitizedProgress(progress);
    const int pixels = int(std::ceil(statusIconSide * ratio));
    StatusIcon icon;
    icon.image = QImage(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    icon.image.setDevicePixelRatio(ratio);
    icon.image.fill(Qt::transparent);
    {
        QPainter p(&icon.image);
        drawStatusIcon(p, QRectF(0, 0, statusIconSide, statusIconSide), hasOverdue, overdueCount, fraction);
    }
    icon.isTemplate = !hasOverdue && fraction < 1;
    return icon;
}

void MenuBarController::drawStatusIcon(QPainter &p, const QRectF &rect, bool hasOverdue, qint64 overdueCount,
                                       double progress)
{
    const double fraction = sanitizedProgress(progress);
    const QPointF c = rect.center();
    const double r = kTrackDiameter / 2;
    const QRectF circle(c.x() - r, c.y() - r, kTrackDiameter, kTrackDiameter);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::NoBrush);

    QColor track = labelColor();
    track.setAlphaF(0.25f);
    p.setPen(QPen(track, kTrackWidth));
    p.drawEllipse(circle);

    if (fraction > 0) {
        // Clockwise from twelve o'clock; anything beyond a whole turn is a whole turn.
        const double sweep = fraction > 1 ? -360.0 : -360.0 * fraction;
        QPainterPath arc;
        arc.arcMoveTo(circle, 90);
        arc.arcTo(circle, 90, sweep);
        QColor color;
        if (hasOverdue) {
            color = ThemeColors::destructive();
        } else if (fraction >= 1) {
            color = ThemeColors::primary();
        } else {
            color = labelColor();
            color.setAlphaF(0.85f);
        }
        QPen pen(color, kArcWidth);
        pen.setCapStyle(Qt::RoundCap);
        p.setPen(pen);
        p.drawPath(arc);
    }

    if (overdueCount >= 1) {
        p.setPen(Qt::NoPen);
        p.setBrush(ThemeColors::green900());
        p.drawEllipse(QRectF(rect.right() - kDotDiameter, rect.top(), kDotDiameter, kDotDiameter));
    }
    p.restore();
}

} // namespace ovlin
