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

    bool followsLastPress(const QMouseEvent &mouse) const
    {
        return DoubleClickGuard::isWithinDoubleClick(mouse, m_lastPressTime, m_lastPressPosition);
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

bool DoubleClickGuard::isWithinDoubleClick(const QMouseEvent &press, quint64 time, const QPointF &position)
{
    if (press.timestamp() == 0 || time == 0 || press.timestamp() < time)
        return false;
    const QStyleHints *hints = QGuiApplication::styleHints();
    const quint64 interval = quint64(std::max(0, hints->mouseDoubleClickInterval()));
    if (press.timestamp() - time >= interval)
        return false;
    const QPointF delta = press.globalPosition() - position;
    const double distance = std::max(0, hints->mouseDoubleClickDistance());
    return std::abs(delta.x()) <= distance && std::abs(delta.y()) <= distance;
}

} // namespace ovlin
