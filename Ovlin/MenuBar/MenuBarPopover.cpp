#include "MenuBar/MenuBarPopover.h"

#include "Base/MainThread.h"
#include "DesignSystem/DesktopCompositing.h"
#include "DesignSystem/FocusOrder.h"
#include "DesignSystem/Motion.h"
#include "DesignSystem/ThemeColors.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QVBoxLayout>
#include <QVariantAnimation>

#include <algorithm>

namespace ovlin {

// Drawn over the content, which paints square to its edges: the outline, and on a translucent window
// the corners cleared back to transparent.
class MenuBarPopover::Outline : public QWidget
{
public:
    explicit Outline(QWidget *parent) : QWidget(parent) { setAttribute(Qt::WA_TransparentForMouseEvents); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        if (window()->testAttribute(Qt::WA_TranslucentBackground)) {
            QPainterPath corners;
            corners.addRect(QRectF(rect()));
            QPainterPath shape;
            shape.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
            p.setCompositionMode(QPainter::CompositionMode_Clear);
            p.fillPath(corners.subtracted(shape), Qt::transparent);
            p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        }
        p.setPen(QPen(ThemeColors::border(), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius - 0.5, cornerRadius - 0.5);
    }
};

MenuBarPopover::MenuBarPopover(QWidget *parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint), m_outline(new Outline(this)),
      m_fade(new QVariantAnimation(this))
{
    OVLIN_ASSERT_MAIN_THREAD();
    setObjectName(QStringLiteral("MenuBarPopover"));
    // Decided once, as the window is made; should the desktop stop compositing later, the popover is
    // cut to its shape when it opens.
    if (DesktopCompositing::isActive(QGuiApplication::primaryScreen()))
        setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_DeleteOnClose, false);
    // The press that closes the popup is not handed on by Qt (that would reopen the popover on a left
    // click on the item); pressedOutside reports it instead.
    setAttribute(Qt::WA_NoMouseReplay);
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
    m_outline->raise();
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
    updateShape();
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

void MenuBarPopover::mousePressEvent(QMouseEvent *event)
{
    const bool outside = !rect().contains(event->position().toPoint());
    QWidget::mousePressEvent(event); // a popup closes on a press outside it
    if (outside)
        Q_EMIT pressedOutside(event->globalPosition().toPoint(), event->button());
}

void MenuBarPopover::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_outline->setGeometry(rect());
    if (isVisible())
        updateShape();
}

void MenuBarPopover::updateShape()
{
    QScreen *screen = QGuiApplication::screenAt(m_anchor.center());
    DesktopCompositing::applyRoundedShape(this, screen ? screen : QGuiApplication::primaryScreen(), rect(),
                                          cornerRadius);
}

// Tab follows the screen, not the order in which widgets were made.
bool MenuBarPopover::focusNextPrevChild(bool next)
{
    return FocusOrder::focusNext(this, next) || QWidget::focusNextPrevChild(next);
}

void MenuBarPopover::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (testAttribute(Qt::WA_TranslucentBackground)) {
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
        p.fillPath(shape, ThemeColors::background());
    } else {
        p.fillRect(rect(), ThemeColors::background());
    }
}

} // namespace ovlin
