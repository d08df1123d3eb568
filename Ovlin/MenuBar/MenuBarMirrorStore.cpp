#include "MenuBar/MenuBarMirrorStore.h"

#include "Base/MainThread.h"
#include "Model/Milestone.h"
#include "Model/Reminder.h"
#include "Model/ReminderLog.h"

#include <limits>

namespace ovlin {

MenuBarMirrorStore &MenuBarMirrorStore::shared()
{
    OVLIN_ASSERT_MAIN_THREAD();
    // Kept until exit, like the other shared services.
    static auto *instance = new MenuBarMirrorStore;
    return *instance;
}

MenuBarMirrorStore::MenuBarMirrorStore(QObject *parent) : QObject(parent)
{
}

QList<std::shared_ptr<Reminder>> MenuBarMirrorStore::reminders() const
{
    OVLIN_ASSERT_MAIN_THREAD();
    return m_reminders;
}

QList<std::shared_ptr<ReminderLog>> MenuBarMirrorStore::logs() const
{
    OVLIN_ASSERT_MAIN_THREAD();
    return m_logs;
}

QList<std::shared_ptr<Milestone>> MenuBarMirrorStore::milestones() const
{
    OVLIN_ASSERT_MAIN_THREAD();
    return m_milestones;
}

qint64 MenuBarMirrorStore::version() const
{
    OVLIN_ASSERT_MAIN_THREAD();
    return m_version;
}

void MenuBarMirrorStore::update(const QList<std::shared_ptr<Reminder>> &reminders,
                                const QList<std::shared_ptr<ReminderLog>> &logs,
                                const QList<std::shared_ptr<Milestone>> &milestones)
{
    OVLIN_ASSERT_MAIN_THREAD();
    Q_EMIT objectWillChange();
    m_reminders = reminders;
    Q_EMIT objectWillChange();
    m_logs = logs;
    Q_EMIT objectWillChange();
    m_milestones = milestones;
    Q_EMIT objectWillChange();
    // A counter that cannot realistically run out; stop at the top rather than overflow.
    if (m_version < std::numeric_limits<qint64>::max())
        ++m_version;
}

} // namespace ovlin
