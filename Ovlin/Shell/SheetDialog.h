#pragma once

#include <QDialog>
#include <QPointer>

namespace ovlin {

// A sheet: a window-modal dialog over the main window that shows one content widget. A content of fixed
// width sets the sheet's size (its width, and its height for that width); any other starts at the size
// it was given, or its preferred size, and can be resized down to its minimum. Only its owner closes it: Escape and the
// window manager's close do nothing unless it is dismissible (a content may still take Escape as its own way
// out, as the reminder editor does). Quitting the application closes it.
// It opens centred over its window once the window manager has placed that window, and follows the
// window until it is drawn itself.
class SheetDialog : public QDialog
{
    Q_OBJECT

public:
    SheetDialog(QWidget *content, QWidget *parentWindow, bool dismissible = false);
    ~SheetDialog() override;

    QWidget *content() const { return m_content; }
    bool isDismissible() const { return m_dismissible; }

    // Shows the sheet without blocking; over a window that is not on screen yet, as soon as it is.
    void present();
    // Closes it for good (it deletes itself later).
    void closeSheet();
    // Re-fits the dialog to its content.
    void fitToContent();

    void reject() override;

Q_SIGNALS:
    // The sheet went away, by closeSheet() or, when dismissible, by the user.
    void dismissed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    bool hasFixedWidth() const;
    void openOverParent();
    void centreOverParent();
    void stopFollowingParent();

    QPointer<QWidget> m_content;
    bool m_dismissible;
    bool m_closing = false;
    QPointer<QWidget> m_parentWindow;
    bool m_waitingForParent = false;
};

} // namespace ovlin
