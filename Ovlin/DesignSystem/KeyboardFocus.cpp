#include "DesignSystem/KeyboardFocus.h"

#include <QApplication>
#include <QFocusEvent>

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
