#pragma once

#include "DesignSystem/AnimatedValue.h"
#include "DesignSystem/Motion.h"

#include <QPixmap>
#include <QWidget>

#include <functional>
#include <memory>

namespace ovlin {

class KeyboardHold;
class OvlinConfirmationDialog;

// Puts a confirmation over a whole screen: a faint wash of the text colour that swallows clicks, with the
// dialog centred on it. Both come in and go out together, fading, the dialog also scaling from 96 %; while
// they move a picture of the dialog is drawn in its place, so its buttons take clicks only once it is in.
// Until it is dismissed it holds the keyboard (KeyboardHold): Tab and Shift+Tab go round the dialog's
// buttons, Escape cancels, and nothing on the screen behind it takes focus, keys, clicks or shortcuts.
// Dismissed, it hands the focus back to the widget that had it.
class OvlinConfirmationOverlay : public QWidget
{
    Q_OBJECT
public:
    static MotionCurve transition() { return MotionCurve::easeOut(0.18); }
    static constexpr double scrimOpacity = 0.08;
    static constexpr double startScale = 0.96;

    // Takes `dialog` over and covers `host`, following its size. Hidden until present().
    OvlinConfirmationOverlay(OvlinConfirmationDialog *dialog, QWidget *host);
    ~OvlinConfirmationOverlay() override;
    // Asks before deleting something: the "trash" icon, `title`, `message`, "Cancel" and a destructive
    // "Delete". Hidden until present(). It belongs to `host`, so its handlers never outlive it.
    static OvlinConfirmationOverlay *askToDelete(QWidget *host, const QString &title, const QString &message,
                                                 std::function<void()> onCancel, std::function<void()> onConfirm);

    OvlinConfirmationDialog *dialog() const { return m_dialog; }
    // 0 ... 1: how far the wash and the dialog have come in (their opacity).
    double presence() const { return m_presence.value(); }
    bool isLeaving() const { return m_leaving; }

    void present();
    // Goes out, then hides and deletes itself. Clicks reach the screen under it meanwhile.
    void dismiss();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    void placeDialog();
    void settle();

    OvlinConfirmationDialog *m_dialog;
    std::unique_ptr<KeyboardHold> m_keyboard;
    AnimatedValue m_presence{0.0};
    QPixmap m_snapshot;
    bool m_leaving = false;
    bool m_gone = false;
};

} // namespace ovlin
