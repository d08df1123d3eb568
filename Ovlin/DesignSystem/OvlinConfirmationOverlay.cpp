#include "DesignSystem/OvlinConfirmationOverlay.h"

#include "DesignSystem/KeyboardHold.h"
#include "DesignSystem/OvlinConfirmationDialog.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/ThemeColors.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>

namespace ovlin {

OvlinConfirmationOverlay::OvlinConfirmationOverlay(OvlinConfirmationDialog *dialog, QWidget *host)
    : QWidget(host), m_dialog(dialog),
      m_keyboard(std::make_unique<KeyboardHold>(this, [this] { m_dialog->cancelButton()->click(); }))
{
    setAttribute(Qt::WA_NoSystemBackground);
    m_dialog->setParent(this);
    m_dialog->hide();
    connect(&m_presence, &AnimatedValue::valueChanged, this, [this] { settle(); });
    setGeometry(host->rect());
    host->installEventFilter(this);
    hide();
}

OvlinConfirmationOverlay::~OvlinConfirmationOverlay() = default;

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
    m_keyboard->hold();
    m_presence.animateTo(1, transition());
    settle();
}

void OvlinConfirmationOverlay::dismiss()
{
    if (m_leaving)
        return;
    m_leaving = true;
    setAttribute(Qt::WA_TransparentForMouseEvents, true);
    m_keyboard->release();
    if (m_dialog->isVisible())
        m_snapshot = m_dialog->grab();
    m_dialog->hide();
    m_presence.animateTo(0, transition());
    settle();
}

bool OvlinConfirmationOverlay::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize && watched == parent())
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
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
        if (m_keyboard->isHolding() && window()->focusWidget() == this)
            m_keyboard->takeFocus();
    }
    if (m_leaving && presence <= 0 && !m_gone) {
        m_gone = true;
        hide();
        deleteLater();
    }
    update();
}

} // namespace ovlin
