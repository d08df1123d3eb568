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
        else
            tracker->m_suspended = to;
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
    case QEvent::TabletPress: m_keyboard = false; break;
    case QEvent::FocusIn:
        if (auto *widget = qobject_cast<QWidget *>(watched)) {
            const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
            const bool byKey =
                reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
            const bool returning =
                (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason) && m_suspended == widget;
            m_ring = (byKey && m_keyboard) || returning ? widget : nullptr;
            m_suspended = nullptr;
        }
        break;
    case QEvent::FocusOut:
        if (watched == m_ring) {
            const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
            if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason)
                m_suspended = m_ring;
            m_ring = nullptr;
        }
        break;
    default: break;
    }
    return false;
}

} // namespace ovlin
