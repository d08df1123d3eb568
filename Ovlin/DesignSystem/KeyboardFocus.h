#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QWidget>

class QPainter;

namespace ovlin {

// Decides which widget shows a keyboard focus ring: only one that the user reached with the keyboard
// (Tab, Backtab or a shortcut). Qt also reports a Tab reason when it hands focus on by itself (a focused
// widget was hidden, a dialog opened), so the reason alone is not enough: the last user input must have
// been a key press too. A ring hidden while a pop-up or another window had focus comes back with it, and
// a dialog that the keyboard closes hands its window's focus back with a ring. A mouse press hides every
// ring until the keyboard moves the focus again.
class KeyboardFocus : public QObject
{
    Q_OBJECT
public:
    // Watches the application's input; idempotent. The app and the gallery install it at start-up.
    static void install();
    // Whether `widget` has focus and should draw its keyboard ring.
    static bool hasRing(const QWidget *widget);
    // As if the user had just pressed a key (the gallery shows rings this way).
    static void noteKeyboardInput();
    // Draws the design system's ring (2 px of neutral700 inside `rect`) while `widget` shows one.
    static void paintRing(QPainter &p, const QWidget *widget, const QRectF &rect, double radius);
    // Draws again, at full strength, the ring of the control inside `container` that shows one, where
    // paintRing last drew it: a dimming effect over `container` calls this after fading its content, so
    // the ring of a dimmed row stays as clear as any other.
    static void paintRingOver(QPainter &p, const QWidget *container);

    // Gives the focus to `to` in place of a control that a rebuild takes away. With `ring` (the control
    // had its ring) the ring follows, so a keyboard user sees where Space now lands, and `to` is
    // scrolled into view once the rebuilt layout has settled.
    static void handOver(QWidget *to, bool ring);
    // Starts a window that is opening on `control`, with its ring when a key opened the window.
    static void startAt(QWidget *control);
    // Scrolls every scroll area around `widget` so that it shows.
    static void reveal(QWidget *widget);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    KeyboardFocus() = default;
    static KeyboardFocus *instance();

    bool m_keyboard = false;
    QPointer<QWidget> m_ring;
    // Controls whose ring shows again when their window (or the pop-up's owner) gets the focus back.
    QList<QPointer<QWidget>> m_suspended;
    // The window that a dialog closed from the keyboard hands the focus back to.
    QPointer<QWidget> m_handBack;
    // Where paintRing last drew a ring: the widget painted on, the rectangle in its coordinates.
    QPointer<const QWidget> m_ringOn;
    QRectF m_ringRect;
    double m_ringRadius = 0;
};

} // namespace ovlin
