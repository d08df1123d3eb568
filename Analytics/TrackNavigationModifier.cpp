#include "Analytics/TrackNavigationModifier.h"

#include "Analytics/Analytics.h"

#include <QEvent>

namespace analytics {

TrackNavigationModifier::TrackNavigationModifier(QObject *view, QString path) : QObject(view), m_path(std::move(path))
{
    if (view)
        view->installEventFilter(this);
}

bool TrackNavigationModifier::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parent() && event->type() == QEvent::Show)
        Analytics::sendNavigationPathChanged(m_path);
    return QObject::eventFilter(watched, event);
}

TrackNavigationModifier *trackNavigation(QObject *view, const QString &path)
{
    return new TrackNavigationModifier(view, path);
}

} // namespace analytics
