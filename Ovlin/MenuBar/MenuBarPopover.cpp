#include "MenuBar/MenuBarPopover.h"

#include "DesignSystem/Motion.h"
#include "DesignSystem/ThemeColors.h"
#include "Platform/MainThread.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>
#include <QVariantAnimation>

#include <algorithm>

namespace ovlin {

MenuBarPopover::MenuBarPopover(QWidget *parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint), m_fade(new QVariantAnimation(this))
{
    OVLIN_ASSERT_MAIN_THREAD();
    setObjectName(QStringLiteral("MenuBarPopover"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    m_fade->setStartValue(0.0);
    m_fade->setEndValue(1.0);
    m_fade->setEasingCurve(Motion::easeOutCurve());
    connect(m_fade, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &value) { setWindowOpacity(value.toDouble()); });
}

MenuBarPopover::~MenuBarPopover() = default;

void MenuBarPopover::setContent(QWidget *content)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (content == m_content)
        return;
    if (m_content) {
        m_content->removeEventFilter(this);
        layout()->removeWidget(m_content);
        m_content->hide();
        m_content->deleteLater();
    }
    m_content = content;
    if (content) {
        content->setParent(this);
        layout()->addWidget(content);
        content->installEventFilter(this);
        content->show();
    }
}

void MenuBarPopover::setContentSize(const QSize &size)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (size == m_contentSize && this->size() == size)
        return;
    m_contentSize = size;
    setFixedSize(size);
    // Open at a place chosen for another height: choose again (above a bottom bar it must grow upwards).
    if (isVisible() && m_anchor.isValid())
        move(placement(m_anchor, size, availableArea(m_anchor)));
}

QRect MenuBarPopover::availableArea(const QRect &anchor)
{
    QScreen *screen = QGuiApplication::screenAt(anchor.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

void MenuBarPopover::showRelativeTo(const QRect &anchor)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_anchor = anchor;
    move(placement(anchor, size(), availableArea(anchor)));
    const int ms = Motion::durationMs(MotionCurve::easeOut(0.15));
    if (ms > 0) {
        m_fade->stop();
        m_fade->setDuration(ms);
        setWindowOpacity(0.0);
        show();
        m_fade->start();
    } else {
        show();
    }
    raise();
    activateWindow();
}

void MenuBarPopover::performClose()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (isVisible())
        hide();
}

QPoint MenuBarPopover::placement(const QRect &anchor, const QSize &size, const QRect &available)
{
    int x = anchor.x() + anchor.width() / 2 - size.width() / 2;
    int y = anchor.y() + anchor.height() + anchorGap;
    if (!available.isEmpty()) {
        const bool fitsBelow = y + size.height() <= available.bottom() + 1;
        const int above = anchor.top() - anchorGap - size.height();
        if (!fitsBelow && above >= available.top())
            y = above;
        // Keep the whole popover on the screen; a popover larger than the area keeps its top-left in it.
        x = std::max(available.left(), std::min(x, available.right() + 1 - size.width()));
        y = std::max(available.top(), std::min(y, available.bottom() + 1 - size.height()));
    }
    return {x, y};
}

bool MenuBarPopover::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_content && event->type() == QEvent::LayoutRequest)
        Q_EMIT contentLayoutChanged();
    return QWidget::eventFilter(watched, event);
}

bool MenuBarPopover::event(QEvent *event)
{
    // A content that changes its size hint asks its parent (this window) to lay out again.
    if (event->type() == QEvent::LayoutRequest)
        Q_EMIT contentLayoutChanged();
    return QWidget::event(event);
}

void MenuBarPopover::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_fade->stop();
    Q_EMIT closed();
}

void MenuBarPopover::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), ThemeColors::background());
}

} // namespace ovlin
