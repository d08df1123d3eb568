#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QPoint>
#include <QTest>
#include <QWidget>
#include <QWindow>

// Pointer input stamped with times of the test's choosing, for code that tells a double-click from two
// separate clicks. Widgets only.
namespace pointertest {

// The clock the input below is stamped with, in milliseconds. It starts well ahead of QTest's own input
// clock and, when it goes, moves that one past itself, so QTest input afterwards stays in order.
class EventTime
{
public:
    EventTime() : m_now(QTest::lastMouseTimestamp + 100000) {}
    ~EventTime() { QTest::lastMouseTimestamp = m_now + 100000; }
    EventTime(const EventTime &) = delete;
    EventTime &operator=(const EventTime &) = delete;

    int now() const { return m_now; }
    void advance(int ms) { m_now += ms; }

private:
    int m_now;
};

// A left-button press at `time`, released 40 ms later, at `global`, delivered as the window system
// delivers it: Qt itself turns a press soon after another one at the same place into a double-click.
inline void clickThroughWindow(QWidget *window, const QPoint &global, EventTime &time)
{
    QWindow *handle = window->window()->windowHandle();
    const QPointF local = handle->mapFromGlobal(global);
    qt_handleMouseEvent(handle, local, global, Qt::LeftButton, Qt::LeftButton, QEvent::MouseButtonPress, {},
                        time.now());
    time.advance(40);
    qt_handleMouseEvent(handle, local, global, Qt::NoButton, Qt::LeftButton, QEvent::MouseButtonRelease, {},
                        time.now());
}

// The same, sent straight to the widget under `global` (and on to its parents, as Qt does), never flagged
// as a double-click: what a press looks like that the platform did not pair with the one before.
inline void clickStraightAt(QWidget *window, const QPoint &global, EventTime &time)
{
    QWidget *top = window->window();
    QWidget *target = top->childAt(top->mapFromGlobal(global));
    if (!target)
        target = top;
    const QPointF local = target->mapFromGlobal(QPointF(global));
    QMouseEvent press(QEvent::MouseButtonPress, local, QPointF(global), Qt::LeftButton, Qt::LeftButton, {});
    press.setTimestamp(ulong(time.now()));
    QApplication::sendEvent(target, &press);
    time.advance(40);
    QMouseEvent release(QEvent::MouseButtonRelease, local, QPointF(global), Qt::LeftButton, Qt::NoButton, {});
    release.setTimestamp(ulong(time.now()));
    QApplication::sendEvent(target, &release);
}

} // namespace pointertest
