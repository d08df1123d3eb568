#include "DesignSystem/DoubleClickGuard.h"

#include "Base/MainThread.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QStyleHints>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace ovlin {

namespace {

class PressFilter : public QObject
{
public:
    static PressFilter *instance()
    {
        static QPointer<PressFilter> filter;
        if (!filter && qApp)
            filter = new PressFilter(qApp);
        return filter;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            auto *mouse = static_cast<QMouseEvent *>(event);
            if (mouse->button() != Qt::LeftButton)
                return false;
            if (event->type() == QEvent::MouseButtonDblClick || followsLastPress(*mouse)) {
                m_droppedOn = watched;
                event->accept();
                return true;
            }
            m_lastPressTime = mouse->timestamp();
            m_lastPressPosition = mouse->globalPosition();
            m_droppedOn = nullptr;
            return false;
        }
        case QEvent::MouseButtonRelease:
            if (watched != m_droppedOn || static_cast<QMouseEvent *>(event)->button() != Qt::LeftButton)
                return false;
            m_droppedOn = nullptr;
            event->accept();
            return true;
        default: return false;
        }
    }

private:
    using QObject::QObject;

    // Within the platform's double-click time and distance of the last press that went through. Events
    // without a time (made up by the program itself) are never taken for a second press this way.
    bool followsLastPress(const QMouseEvent &mouse) const
    {
        if (mouse.timestamp() == 0 || m_lastPressTime == 0 || mouse.timestamp() < m_lastPressTime)
            return false;
        const QStyleHints *hints = QGuiApplication::styleHints();
        const quint64 interval = quint64(std::max(0, hints->mouseDoubleClickInterval()));
        if (mouse.timestamp() - m_lastPressTime >= interval)
            return false;
        const QPointF delta = mouse.globalPosition() - m_lastPressPosition;
        const double distance = std::max(0, hints->mouseDoubleClickDistance());
        return std::abs(delta.x()) <= distance && std::abs(delta.y()) <= distance;
    }

    quint64 m_lastPressTime = 0;
    QPointF m_lastPressPosition;
    QPointer<QObject> m_droppedOn;
};

} // namespace

void DoubleClickGuard::guard(QWidget *control)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (control)
        if (PressFilter *filter = PressFilter::instance())
            control->installEventFilter(filter);
}

} // namespace ovlin
