#include "Shell/SheetDialog.h"

#include "DesignSystem/ThemeColors.h"
#include "Platform/MainThread.h"

#include <QCloseEvent>
#include <QEvent>
#include <QVBoxLayout>

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
    fitToContent();
    open();
}

void SheetDialog::closeSheet()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (m_closing)
        return;
    m_closing = true;
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
    return QDialog::eventFilter(watched, event);
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
