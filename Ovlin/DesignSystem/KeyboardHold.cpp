#include "DesignSystem/KeyboardHold.h"

#include "Base/MainThread.h"
#include "DesignSystem/FocusOrder.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>

#include <algorithm>

namespace ovlin {

namespace {

// The widget an event's receiver is or belongs to (a shortcut or an action counts as its parent's).
const QWidget *widgetOf(const QObject *object)
{
    for (const QObject *o = object; o; o = o->parent()) {
        if (o->isWidgetType())
            return static_cast<const QWidget *>(o);
    }
    return nullptr;
}

} // namespace

KeyboardHold::KeyboardHold(QWidget *layer, std::function<void()> onEscape)
    : m_layer(layer), m_onEscape(std::move(onEscape))
{
    OVLIN_ASSERT_MAIN_THREAD();
}

KeyboardHold::~KeyboardHold()
{
    if (m_holding)
        if (QCoreApplication *app = QCoreApplication::instance())
            app->removeEventFilter(this);
}

void KeyboardHold::hold()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (m_holding)
        return;
    m_holding = true;
    QWidget *focus = m_layer->window()->focusWidget();
    m_returnFocus = focus && !isInLayer(focus) ? focus : nullptr;
    m_returnPlace = m_returnFocus ? stopsBehind().indexOf(m_returnFocus) : -1;
    // Watches every object: a shortcut or a key may be aimed straight at a widget behind.
    qApp->installEventFilter(this);
    takeFocus();
}

void KeyboardHold::stop()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!m_holding)
        return;
    m_holding = false;
    qApp->removeEventFilter(this);
}

void KeyboardHold::release()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!m_holding)
        return;
    stop();
    QWidget *focus = m_layer->window()->focusWidget();
    if (focus && !isInLayer(focus))
        return; // already moved on
    QWidget *back = m_returnFocus.data();
    if (!back || back->window() != m_layer->window() || !back->isVisible() || !back->isEnabled())
        back = nullptr;
    if (!back && m_returnPlace >= 0) {
        // The control went with a rebuild (a row answered from the keyboard): the one now at its place is
        // the nearest thing to it, as when a list hands the focus on.
        const QList<QWidget *> stops = stopsBehind();
        if (!stops.isEmpty())
            back = stops.at(std::min(m_returnPlace, stops.size() - 1));
    }
    if (back)
        back->setFocus(Qt::TabFocusReason);
    else if (QWidget *host = m_layer->parentWidget())
        host->setFocus(Qt::OtherFocusReason);
}

void KeyboardHold::takeFocus()
{
    // A Tab reason: the ring shows when the layer was opened from the keyboard.
    const QList<QWidget *> controls = stops();
    (controls.isEmpty() ? m_layer : controls.first())->setFocus(Qt::TabFocusReason);
}

QList<QWidget *> KeyboardHold::stops() const
{
    QList<QWidget *> controls;
    for (QWidget *w = m_layer->nextInFocusChain(); w && w != m_layer; w = w->nextInFocusChain()) {
        if (m_layer->isAncestorOf(w) && w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus))
            controls.append(w);
    }
    return controls;
}

QList<QWidget *> KeyboardHold::stopsBehind() const
{
    QList<QWidget *> stops = FocusOrder::stops(m_layer->window());
    stops.removeIf([this](const QWidget *w) { return isInLayer(w); });
    return stops;
}

void KeyboardHold::step(bool next)
{
    const QList<QWidget *> controls = stops();
    const qsizetype count = controls.size();
    if (count == 0)
        return; // nothing to go to yet (the layer is still coming in)
    const qsizetype at = controls.indexOf(QApplication::focusWidget());
    const qsizetype to = at < 0 ? (next ? 0 : count - 1) : (at + (next ? 1 : count - 1)) % count;
    controls.at(to)->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}

bool KeyboardHold::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_holding)
        return false;
    switch (event->type()) {
    case QEvent::KeyPress:
        if (isInLayer(watched)) {
            auto *key = static_cast<QKeyEvent *>(event);
            const bool plain = !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
            if (plain && (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)) {
                step(key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier));
                return true;
            }
            if (plain && key->key() == Qt::Key_Escape) {
                if (!key->isAutoRepeat() && m_onEscape)
                    m_onEscape();
                return true;
            }
            return false;
        }
        return isBehind(watched);
    case QEvent::FocusIn:
        if (isBehind(watched)) {
            takeFocus();
            return true;
        }
        return false;
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TabletPress: return isBehind(watched);
    default: return false;
    }
}

bool KeyboardHold::isInLayer(const QObject *object) const
{
    const QWidget *widget = widgetOf(object);
    return widget && (widget == m_layer || m_layer->isAncestorOf(widget));
}

// Whether `object` is (or belongs to) a widget of the host under the layer.
bool KeyboardHold::isBehind(const QObject *object) const
{
    const QWidget *widget = widgetOf(object);
    const QWidget *host = m_layer->parentWidget();
    if (!widget || !host || isInLayer(widget))
        return false;
    return widget == host || host->isAncestorOf(widget);
}

} // namespace ovlin
