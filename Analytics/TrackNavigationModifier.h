#pragma once

#include <QObject>
#include <QString>

namespace analytics {

// Reports its path as the navigation destination each time the object it is attached to is shown
// (every QEvent::Show), from the previous path and with no custom user. Nothing is reported when it
// is hidden. Main thread.
class TrackNavigationModifier : public QObject
{
    Q_OBJECT

public:
    // Attaches to `view` as its child and event filter; goes with the view.
    TrackNavigationModifier(QObject *view, QString path);

    QString path() const { return m_path; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString m_path;
};

// Attaches a TrackNavigationModifier for `path` to the view.
TrackNavigationModifier *trackNavigation(QObject *view, const QString &path);

} // namespace analytics
