#include "DesignSystem/OvlinConfirmationOverlay.h"

#include "DesignSystem/OvlinConfirmationDialog.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/ThemeColors.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>

namespace ovlin {

OvlinConfirmationOverlay::OvlinConfirmationOverlay(OvlinConfirmationDialog *dialog, QWidget *host)
    : QWidget(host), m_dialog(dialog)
{
    setAttribute(Qt::WA_NoSystemBackground);
    m_dialog->setParent(this);
    m_dialog->hide();
    connect(&m_presence, &AnimatedValue::valueChanged, this, [this] { settle(); });
    setGeometry(host->rect());
    host->installEventFilter(this);
    hide();
}

OvlinConfirmationOverlay::~OvlinConfirmationOverlay()
{
    if (m_holding)
        qApp->removeEventFilter(this);
}

OvlinConfirmationOverlay *OvlinConfirmationOverlay::askToDelete(QWidget *host, const QString &title,
                                                                const QString &message, std::function<void()> onCancel,
                                                                std::function<void()> onConfirm)
{
    return new OvlinConfirmationOverlay(
        new OvlinConfirmationDialog(QStringLiteral("trash"), title, message, QStringLiteral("Delete"),
                                    OvlinButtonStyle::destructive, QStringLiteral("Cancel"), std::move(onCancel),
                                    std::move(onConfirm)),
        host);
}

void OvlinConfirmationOverlay::present()
{
    m_leaving = false;
    setAttribute(Qt::WA_TransparentForMouseEvents, false);
    show();
    raise();
    placeDialog();
    m_snapshot = m_dialog->grab();
    if (!m_holding) {
        m_holding = true;
        QWidget *focus = window()->focusWidget();
        m_returnFocus = focus && focus != this && !isAncestorOf(focus) ? focus : nullptr;
        // Watches every object: a shortcut or a key may be aimed straight at a widget behind.
        qApp->installEventFilter(this);
        takeFocus();
    }
    m_presence.animateTo(1, transition());
    settle();
}

void OvlinConfirmationOverlay::dismiss()
{
    if (m_leaving)
        return;
    m_leaving = true;
    setAttribute(Qt::WA_TransparentForMouseEvents, true);
    letGo();
    if (m_dialog->isVisible())
        m_snapshot = m_dialog->grab();
    m_dialog->hide();
    m_presence.animateTo(0, transition());
    settle();
}

bool OvlinConfirmationOverlay::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Resize:
        if (watched == parent())
            setGeometry(parentWidget()->rect());
        break;
    case QEvent::FocusIn:
        if (m_holding && isBehind(watched)) {
            takeFocus();
            return true;
        }
        break;
    case QEvent::KeyPress:
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
    case QEvent::TabletPress:
        if (m_holding && isBehind(watched))
            return true;
        break;
    default: break;
    }
    return QWidget::eventFilter(watched, event);
}

bool OvlinConfirmationOverlay::focusNextPrevChild(bool next)
{
    if (!m_holding)
        return QWidget::focusNextPrevChild(next);
    const QList<QWidget *> stops = focusStops();
    const qsizetype count = stops.size();
    if (count == 0)
        return true; // the dialog is still coming in
    const qsizetype at = stops.indexOf(QApplication::focusWidget());
    const qsizetype to = at < 0 ? (next ? 0 : count - 1) : (at + (next ? 1 : count - 1)) % count;
    stops.at(to)->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

void OvlinConfirmationOverlay::keyPressEvent(QKeyEvent *event)
{
    if (m_holding && event->key() == Qt::Key_Escape) {
        m_dialog->cancelButton()->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void OvlinConfirmationOverlay::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeDialog();
}

void OvlinConfirmationOverlay::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const double presence = std::clamp(m_presence.value(), 0.0, 1.0);
    p.fillRect(rect(), Painting::withOpacity(ThemeColors::textPrimary(), scrimOpacity * presence));
    if (m_snapshot.isNull() || m_dialog->isVisible())
        return;
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF target(m_dialog->geometry());
    const double scale = startScale + (1 - startScale) * presence;
    p.setOpacity(presence);
    p.translate(target.center());
    p.scale(scale, scale);
    p.translate(-target.center());
    p.drawPixmap(target, m_snapshot, QRectF(m_snapshot.rect()));
}

void OvlinConfirmationOverlay::mousePressEvent(QMouseEvent *event)
{
    event->accept();
}

void OvlinConfirmationOverlay::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
}

void OvlinConfirmationOverlay::wheelEvent(QWheelEvent *event)
{
    event->accept();
}

void OvlinConfirmationOverlay::placeDialog()
{
    const QSize size = m_dialog->size();
    m_dialog->move((width() - size.width()) / 2, (height() - size.height()) / 2);
}

void OvlinConfirmationOverlay::settle()
{
    const double presence = m_presence.value();
    if (!m_leaving && presence >= 1 && !m_dialog->isVisible()) {
        m_dialog->show();
        m_snapshot = QPixmap();
        if (m_holding && window()->focusWidget() == this)
            takeFocus();
    }
    if (m_leaving && presence <= 0 && !m_gone) {
        m_gone = true;
        hide();
        deleteLater();
    }
    update();
}

void OvlinConfirmationOverlay::takeFocus()
{
    // A Tab reason: the ring shows when the confirmation was opened from the keyboard.
    const QList<QWidget *> stops = focusStops();
    (stops.isEmpty() ? this : stops.first())->setFocus(Qt::TabFocusReason);
}

void OvlinConfirmationOverlay::letGo()
{
    if (!m_holding)
        return;
    m_holding = false;
    qApp->removeEventFilter(this);
    QWidget *focus = window()->focusWidget();
    if (focus && focus != this && !isAncestorOf(focus))
        return; // already moved on
    QWidget *back = m_returnFocus.data();
    if (back && back->window() == window() && back->isVisible() && back->isEnabled())
        back->setFocus(Qt::TabFocusReason);
    else if (QWidget *host = parentWidget())
        host->setFocus(Qt::OtherFocusReason);
}

// The dialog's controls that take Tab focus, in focus-chain order.
QList<QWidget *> OvlinConfirmationOverlay::focusStops() const
{
    QList<QWidget *> stops;
    for (QWidget *w = m_dialog->nextInFocusChain(); w && w != m_dialog; w = w->nextInFocusChain()) {
        if (m_dialog->isAncestorOf(w) && w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus))
            stops.append(w);
    }
    return stops;
}

// Whether `object` is (or belongs to) a widget of the screen under the overlay.
bool OvlinConfirmationOverlay::isBehind(const QObject *object) const
{
    const QWidget *widget = nullptr;
    for (const QObject *o = object; o && !widget; o = o->parent())
        widget = o->isWidgetType() ? static_cast<const QWidget *>(o) : nullptr;
    const QWidget *host = parentWidget();
    if (!widget || !host || widget == this || isAncestorOf(widget))
        return false;
    return widget == host || host->isAncestorOf(widget);
}

} // namespace ovlin
