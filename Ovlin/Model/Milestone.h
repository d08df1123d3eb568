#pragma once

#include "Model/Enums.h"
#include "Model/RecordType.h"
#include "Platform/StoreRecord.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QUuid>

#include <memory>
#include <optional>

namespace ovlin {

class MilestoneLog;

// A reward earned by meeting a daily completion threshold on consecutive days. Stored fields in schema
// order: id, name, reward, requireDays, requirePercent, linkedCategoryRaw, startDate, statusRaw,
// thumbnailData; relationship `dailyLogs` (deleting the reward deletes its day logs).
class Milestone final : public StoreRecord
{
    struct Token
    {
    };

public:
    static constexpr RecordType staticRecordType = RecordType::milestone;

    // A free reward with no day logs and no thumbnail; the caller inserts it into the store context.
    static std::shared_ptr<Milestone> create(const QUuid &id, const QString &name, const QString &reward,
                                             qint64 requireDays, double requirePercent,
                                             const std::optional<ReminderCategory> &linkedCategory,
                                             const QDateTime &startDate, MilestoneStatus status);

    explicit Milestone(Token) {}
    ~Milestone() override;

    RecordType recordType() const override { return staticRecordType; }

    QUuid id() const { return m_id; }
    void setId(const QUuid &id) { assign(m_id, id); }
    QString name() const { return m_name; }
    void setName(const QString &name) { assign(m_name, name); }
    QString reward() const { return m_reward; }
    void setReward(const QString &reward) { assign(m_reward, reward); }
    qint64 requireDays() const { return m_requireDays; }
    void setRequireDays(qint64 days) { assign(m_requireDays, days); }
    // A fraction: 0.8 means 80 %.
    double requirePercent() const { return m_requirePercent; }
    void setRequirePercent(double fraction) { assign(m_requirePercent, fraction); }
    std::optional<QString> linkedCategoryRaw() const { return m_linkedCategoryRaw; }
    void setLinkedCategoryRaw(const std::optional<QString> &raw) { assign(m_linkedCategoryRaw, raw); }
    QDateTime startDate() const { return m_startDate; }
    void setStartDate(const QDateTime &startDate) { assign(m_startDate, startDate); }
    // Case name of a MilestoneStatus (see status()).
    QString statusRaw() const { return m_statusRaw; }
    void setStatusRaw(const QString &statusRaw) { assign(m_statusRaw, statusRaw); }
    std::optional<QByteArray> thumbnailData() const { return m_thumbnailData; }
    void setThumbnailData(const std::optional<QByteArray> &data) { assign(m_thumbnailData, data); }

    // The reward's day logs in the order they joined it (a copy); both ends stay in step, no duplicates.
    QList<std::shared_ptr<MilestoneLog>> dailyLogs() const { return m_members; }
    void setDailyLogs(const QList<std::shared_ptr<MilestoneLog>> &logs);
    void appendDailyLog(const std::shared_ptr<MilestoneLog> &log);
    void removeDailyLog(const std::shared_ptr<MilestoneLog> &log);

    // The status named by statusRaw; unrecognised text reads as active.
    MilestoneStatus status() const;
    // The linked category; absent text and text naming no category both mean none.
    std::optional<ReminderCategory> linkedCategory() const;
    // Stores the category's case name, or no text for none.
    void setLinkedCategory(const std::optional<ReminderCategory> &category);

private:
    template <class Owner, class Member> friend struct detail::OneToMany;
    friend class MilestoneTable;

    RecordTypes willBeDeleted(StoreContext &context) override;
    void didInsert(StoreContext &context) override;

    QUuid m_id;
    QString m_name;
    QString m_reward;
    qint64 m_requireDays = 1;
    double m_requirePercent = 0.8;
    std::optional<QString> m_linkedCategoryRaw;
    QDateTime m_startDate;
    QString m_statusRaw;
    std::optional<QByteArray> m_thumbnailData;
    QList<std::shared_ptr<MilestoneLog>> m_members;
};

} // namespace ovlin
