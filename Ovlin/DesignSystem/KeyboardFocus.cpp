#include "DesignSystem/KeyboardFocus.h"

#include "DesignSystem/Painting.h"
#include "DesignSystem/ThemeColors.h"

#include <QApplication>
#include <QFocusEvent>
#include <QPainter>
#include <QScrollArea>

namespace ovlin {

KeyboardFocus *KeyboardFocus::instance()
{
    static QPointer<KeyboardFocus> tracker;
    if (!tracker && qApp) {
        tracker = new KeyboardFocus;
        tracker->setParent(qApp);
        qApp->installEventFilter(tracker);
    }
    return tracker;
}

void KeyboardFocus::install()
{
    instance();
}

void KeyboardFocus::noteKeyboardInput()
{
    if (KeyboardFocus *tracker = instance())
        tracker->m_keyboard = true;
}

void KeyboardFocus::paintRing(QPainter &p, const QWidget *widget, const QRectF &rect, double radius)
{
    if (!hasRing(widget))
        return;
    Painting::strokeInside(p, rect, radius, ThemeColors::neutral700(), 2);
    KeyboardFocus *tracker = instance();
    const auto *on = dynamic_cast<const QWidget *>(p.device());
    tracker->m_ringOn = on ? on : widget;
    tracker->m_ringRect = p.worldTransform().mapRect(rect);
    tracker->m_ringRadius = radius * p.worldTransform().m11();
}

void KeyboardFocus::paintRingOver(QPainter &p, const QWidget *container)
{
    const KeyboardFocus *tracker = instance();
    const QWidget *ring = tracker ? tracker->m_ring.data() : nullptr;
    const QWidget *on = tracker ? tracker->m_ringOn.data() : nullptr;
    if (!container || !hasRing(ring) || !container->isAncestorOf(ring) || !on ||
        (on != container && !container->isAncestorOf(on)) || (on != ring && !on->isAncestorOf(ring)))
        return;
    const QRectF rect = tracker->m_ringRect.translated(on->mapTo(container, QPoint(0, 0)));
    p.save();
    p.setOpacity(1);
    Painting::strokeInside(p, rect, tracker->m_ringRadius, ThemeColors::neutral700(), 2);
    p.restore();
}

void KeyboardFocus::handOver(QWidget *to, bool ring)
{
    if (!to)
        return;
    to->setFocus(ring ? Qt::TabFocusReason : Qt::OtherFocusReason);
    if (!ring)
        return;
    if (KeyboardFocus *tracker = instance()) {
        // Whatever the last input was: the ring belongs to the control the keyboard had.
        if (to->hasFocus())
            tracker->m_ring = to;
        else if (!tracker->m_suspended.contains(to))
            tracker->m_suspended.append(to);
        to->update();
    }
    // New rows are laid out on a queued request: reveal once that has run.
    QPointer<QWidget> target(to);
    QMetaObject::invokeMethod(
        to,
        [target] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            if (target)
                reveal(target);
        },
        Qt::QueuedConnection);
}

void KeyboardFocus::startAt(QWidget *control)
{
    const KeyboardFocus *tracker = instance();
    handOver(control, tracker && tracker->m_keyboard);
}

void KeyboardFocus::reveal(QWidget *widget)
{
    if (!widget)
        return;
    for (QWidget *w = widget->parentWidget(); w && !w->isWindow(); w = w->parentWidget()) {
        if (auto *area = qobject_cast<QScrollArea *>(w))
            area->ensureWidgetVisible(widget);
    }
}

bool KeyboardFocus::hasRing(const QWidget *widget)
{
    const KeyboardFocus *tracker = instance();
    return widget && widget->hasFocus() && tracker && tracker->m_ring == widget;
}

bool KeyboardFocus::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride: m_keyboard = true; break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::TouchBegin:
    case QEvent::TabletPress:
        m_keyboard = false;
        m_handBack = nullptr;
        // The pointer is in use: a ring shown, or waiting to come back with its window, goes, also where
        // the press moves no focus (the page, a control that takes no focus by click).
        m_suspended.clear();
        if (QWidget *ring = m_ring) {
            m_ring = nullptr;
            ring->update();
        }
        break;
    case QEvent::ApplicationDeactivate: m_handBack = nullptr; break;
    case QEvent::Hide:
        // A sheet or dialog closed from the keyboard: the control its window gives the focus back to shows
        // where the keyboard now is.
        if (auto *widget = qobject_cast<QWidget *>(watched);
            widget && widget->isWindow() && m_keyboard && widget->parentWidget() &&
            (widget->windowType() == Qt::Dialog || widget->windowType() == Qt::Sheet))
            m_handBack = widget->parentWidget()->window();
        break;
    case QEvent::FocusIn:
        // Only a real focus change counts: a dialog that opens tells its chosen widget so before its window
        // has the focus.
        if (auto *widget = qobject_cast<QWidget *>(watched); widget && widget->hasFocus()) {
            const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
            const bool byKey =
                reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
            const bool returning =
                (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason) &&
                (m_suspended.contains(widget) || (m_keyboard && m_handBack && m_handBack == widget->window()));
            m_ring = (byKey && m_keyboard) || returning ? widget : nullptr;
            // The focus of this window is settled; what waited for it elsewhere keeps waiting.
            const QWidget *window = widget->window();
            m_suspended.removeIf([window](const QPointer<QWidget> &w) { return !w || w->window() == window; });
            if (m_handBack == window)
                m_handBack = nullptr;
        }
        break;
    case QEvent::FocusOut:
        if (watched == m_ring) {
            const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
            if ((reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason) &&
                !m_suspended.contains(m_ring))
                m_suspended.append(m_ring);
            m_ring = nullptr;
        }
        break;
    default: break;
    }
    return false;
}

} // namespace ovlin
