#pragma once

#include <QList>
#include <QObject>

#include <memory>

namespace ovlin {

class Milestone;
class Reminder;
class ReminderLog;

// The root view's three record lists, copied in whenever its store queries change; every copy
// advances `version`. It holds references to the store's records and never writes to the store.
// Main thread only.
class MenuBarMirrorStore : public QObject
{
    Q_OBJECT

public:
    // The one mirror of the run, created on first use.
    static MenuBarMirrorStore &shared();

    // A separate mirror (tests).
    explicit MenuBarMirrorStore(QObject *parent = nullptr);

    QList<std::shared_ptr<Reminder>> reminders() const;
    QList<std::shared_ptr<ReminderLog>> logs() const;
    QList<std::shared_ptr<Milestone>> milestones() const;
    qint64 version() const;

    // Replaces the three lists, in this order, then advances `version` by one. Nothing is compared:
    // the same lists again still count as an update.
    void update(const QList<std::shared_ptr<Reminder>> &reminders, const QList<std::shared_ptr<ReminderLog>> &logs,
                const QList<std::shared_ptr<Milestone>> &milestones);

Q_SIGNALS:
    // Sent before each of the four fields changes (four times per update).
    void objectWillChange();

private:
    QList<std::shared_ptr<Reminder>> m_reminders;
    QList<std::shared_ptr<ReminderLog>> m_logs;
    QList<std::shared_ptr<Milestone>> m_milestones;
    qint64 m_version = 0;
};

} // namespace ovlin
