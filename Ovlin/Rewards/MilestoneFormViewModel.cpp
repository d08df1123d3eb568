#include "Rewards/MilestoneFormViewModel.h"

#include "Base/Clock.h"
#include "Base/Log.h"
#include "Base/MainThread.h"
#include "Model/Milestone.h"
#include "Platform/StoreContext.h"

#include <QUuid>

namespace ovlin {

MilestoneFormViewModel::MilestoneFormViewModel(std::shared_ptr<Milestone> existingMilestone, StoreContext *modelContext,
                                               QObject *parent)
    : QObject(parent), m_startDate(Clock::now()), m_isEditing(existingMilestone != nullptr),
      m_modelContext(modelContext), m_existingMilestone(std::move(existingMilestone))
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (const auto &milestone = m_existingMilestone) {
        setName(milestone->name());
        setRequireDays(milestone->requireDays());
        setRequirePercent(milestone->requirePercent());
        // Text naming no category reads as all habits.
        setLinkedCategory(milestone->linkedCategory());
        setStartDate(milestone->startDate());
        setThumbnailData(milestone->thumbnailData());
    }
}

QString MilestoneFormViewModel::name() const
{
    OVLIN_ASSERT_MAIN_THREAD();
    return m_name;
}

void MilestoneFormViewModel::setName(const QString &name)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_name = name;
    Q_EMIT changed();
}

qint64 MilestoneFormViewModel::requireDays() const
{
    OVLIN_ASSERT_MAIN_THREAD();
    return m_requireDays;
}

void MilestoneFormViewModel::setRequireDays(qint64 days)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_requireDays = days;
    Q_EMIT changed();
}

double MilestoneFormViewModel::requirePercent() const
{
    OVLIN_ASSERT_MAIN_THREAD();
    return m_requirePercent;
}

void MilestoneFormViewModel::setRequirePercent(double fraction)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_requirePercent = fraction;
    Q_EMIT changed();
}

std::optional<ReminderCategory> MilestoneFormViewModel::linkedCategory() const
{
    OVLIN_ASSERT_MAIN_THREAD();
    return m_linkedCategory;
}

void MilestoneFormViewModel::setLinkedCategory(const std::optional<ReminderCategory> &category)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_linkedCategory = category;
    Q_EMIT changed();
}

QDateTime MilestoneFormViewModel::startDate() const
{
    OVLIN_ASSERT_MAIN_THREAD();
    return m_startDate;
}

void MilestoneFormViewModel::setStartDate(const QDateTime &startDate)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_startDate = startDate;
    Q_EMIT changed();
}

std::optional<QByteArray> MilestoneFormViewModel::thumbnailData() const
{
    OVLIN_ASSERT_MAIN_THREAD();
    return m_thumbnailData;
}

void MilestoneFormViewModel::setThumbnailData(const std::optional<QByteArray> &data)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_thumbnailData = data;
    Q_EMIT changed();
}

void MilestoneFormViewModel::setModelContext(StoreContext *context)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_modelContext = context;
}

QString MilestoneFormViewModel::trimmedName(const QString &name)
{
    // QString's white space is Unicode's separators plus the line and tab controls.
    return name.trimmed();
}

bool MilestoneFormViewModel::isValid() const
{
    OVLIN_ASSERT_MAIN_THREAD();
    return !trimmedName(m_name).isEmpty() && m_requireDays > 0;
}

void MilestoneFormViewModel::save()
{
    OVLIN_ASSERT_MAIN_THREAD();
    const QString name = trimmedName(m_name);
    if (name.isEmpty())
        return;
    if (m_requireDays < 1)
        return;
    StoreContext *context = m_modelContext.data();

    if (const auto &milestone = m_existingMilestone) {
        // The status, the start and the day logs stay: an edit never resets an earned or missed reward.
        milestone->setName(name);
        milestone->setReward(name);
        milestone->setRequireDays(m_requireDays);
        milestone->setRequirePercent(m_requirePercent);
        milestone->setLinkedCategory(m_linkedCategory);
        milestone->setStartDate(m_startDate);
        milestone->setThumbnailData(m_thumbnailData);
        // The reward may live in another context than the one given to the form; its own context holds the
        // changes, so that one is saved too, or the edit would never reach the store.
        StoreContext *own = milestone->context();
        if (own && own != context && !own->save())
            qCDebug(lcUi) << "saving the edited reward failed";
    } else {
        auto created = Milestone::create(QUuid::createUuid(), name, name, m_requireDays, m_requirePercent,
                                         m_linkedCategory, m_startDate, MilestoneStatus::active);
        created->setThumbnailData(m_thumbnailData);
        if (!context) {
            qCWarning(lcUi) << "reward editor has no store to save into";
            return;
        }
        context->insert(created);
    }
    if (context && !context->save())
        qCDebug(lcUi) << "saving the reward failed";
}

void MilestoneFormViewModel::cancel()
{
    OVLIN_ASSERT_MAIN_THREAD();
}

} // namespace ovlin
