#include "Shell/SheetDialog.h"

#include "Base/MainThread.h"
#include "DesignSystem/FocusOrder.h"
#include "DesignSystem/ThemeColors.h"

#include <QCloseEvent>
#include <QEvent>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

namespace ovlin {

SheetDialog::SheetDialog(QWidget *content, QWidget *parentWindow, bool dismissible)
    : QDialog(parentWindow, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_content(content),
      m_dismissible(dismissible)
{
    OVLIN_ASSERT_MAIN_THREAD();
    setWindowModality(Qt::WindowModal);
    setWindowTitle(QStringLiteral("Ovlin"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ThemeColors::background());
    setPalette(pal);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    if (content) {
        if (!content->windowTitle().isEmpty())
            setWindowTitle(content->windowTitle());
        // A content that was given a size keeps it as the sheet's first size.
        const QSize given = content->testAttribute(Qt::WA_Resized) ? content->size() : QSize();
        layout->addWidget(content);
        content->installEventFilter(this);
        if (!hasFixedWidth()) {
            setMinimumSize(content->minimumSize());
            resize(given.isValid() ? given : content->sizeHint().expandedTo(content->minimumSize()));
        }
    }
    fitToContent();
}

SheetDialog::~SheetDialog() = default;

void SheetDialog::present()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (m_closing || isVisible() || m_waitingForParent)
        return;
    fitToContent();
    QWidget *parent = parentWidget() ? parentWidget()->window() : nullptr;
    QWindow *parentHandle = parent ? parent->windowHandle() : nullptr;
    if (!parent || !parentHandle) {
        open();
        return;
    }
    // Until the window manager has put the window where it belongs, its position is only a guess
    // (usually the screen's corner): wait for it to be drawn, and keep following it until this sheet is.
    m_parentWindow = parent;
    parent->installEventFilter(this);
    parentHandle->installEventFilter(this);
    if (parentHandle->isExposed()) {
        openOverParent();
        return;
    }
    m_waitingForParent = true;
}

void SheetDialog::openOverParent()
{
    m_waitingForParent = false;
    centreOverParent();
    open();
    QWindow *handle = windowHandle();
    if (!handle || handle->isExposed())
        stopFollowingParent();
    else
        handle->installEventFilter(this);
}

void SheetDialog::centreOverParent()
{
    if (!m_parentWindow)
        return;
    // Content on content: both windows carry the same decorations, whose size is not known before
    // this one is mapped.
    const QRect parentRect = m_parentWindow->geometry();
    QRect rect(QPoint(), size());
    rect.moveCenter(parentRect.center());
    if (const QScreen *screen = m_parentWindow->screen()) {
        const QRect available = screen->availableGeometry();
        if (rect.right() > available.right())
            rect.moveRight(available.right());
        if (rect.bottom() > available.bottom())
            rect.moveBottom(available.bottom());
        if (rect.left() < available.left())
            rect.moveLeft(available.left());
        if (rect.top() < available.top())
            rect.moveTop(available.top());
    }
    setGeometry(rect);
}

void SheetDialog::stopFollowingParent()
{
    m_waitingForParent = false;
    if (!m_parentWindow)
        return;
    m_parentWindow->removeEventFilter(this);
    if (QWindow *handle = m_parentWindow->windowHandle())
        handle->removeEventFilter(this);
    if (QWindow *own = windowHandle())
        own->removeEventFilter(this);
    m_parentWindow.clear();
}

void SheetDialog::closeSheet()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (m_closing)
        return;
    m_closing = true;
    stopFollowingParent();
    if (m_content)
        m_content->removeEventFilter(this);
    hide();
    setResult(QDialog::Accepted);
    Q_EMIT dismissed();
    // Later: this may run inside a click handler of the content.
    deleteLater();
}

bool SheetDialog::hasFixedWidth() const
{
    return m_content && m_content->minimumWidth() == m_content->maximumWidth();
}

void SheetDialog::fitToContent()
{
    // Only a content of fixed width sets the sheet's size; any other is resizable from its first size.
    if (!m_content || m_closing || !hasFixedWidth())
        return;
    const int width = m_content->minimumWidth();
    const int height =
        m_content->hasHeightForWidth() ? m_content->heightForWidth(width) : m_content->sizeHint().height();
    setFixedSize(width, std::max(height, 1));
}

void SheetDialog::reject()
{
    if (m_dismissible)
        closeSheet();
}

bool SheetDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_content && event->type() == QEvent::LayoutRequest)
        fitToContent();
    if (m_parentWindow && watched == windowHandle() && event->type() == QEvent::Expose && windowHandle()->isExposed()) {
        // Drawn where it is: from here on the sheet is the user's to move.
        stopFollowingParent();
    } else if (m_parentWindow) {
        QWindow *parentHandle = m_parentWindow->windowHandle();
        if (m_waitingForParent && watched == parentHandle && event->type() == QEvent::Expose &&
            parentHandle->isExposed()) {
            // After the exposure itself, so the window's geometry is the placed one.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (m_waitingForParent && !m_closing)
                        openOverParent();
                },
                Qt::QueuedConnection);
        } else if (!m_waitingForParent && watched == m_parentWindow &&
                   (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
            centreOverParent();
        }
    }
    return QDialog::eventFilter(watched, event);
}

// Tab follows the screen, not the order in which widgets were made.
bool SheetDialog::focusNextPrevChild(bool next)
{
    return FocusOrder::focusNext(this, next) || QDialog::focusNextPrevChild(next);
}

void SheetDialog::closeEvent(QCloseEvent *event)
{
    // Only the window manager's close button is refused; the application quitting closes every window.
    if (m_closing || !event->spontaneous()) {
        event->accept();
        return;
    }
    event->ignore();
    if (m_dismissible)
        closeSheet();
}

} // namespace ovlin
