#pragma once

#include "Model/RecordType.h"
#include "Platform/StoreRecord.h"

#include <QDateTime>
#include <QUuid>

#include <memory>

namespace ovlin {

class Milestone;

// One evaluated day of a reward. Stored fields in schema order: id, date, completionRate,
// didMeetThreshold; relationship `milestone` (deleting the log only takes it out of the reward's list).
class MilestoneLog final : public StoreRecord
{
    struct Token
    {
    };

public:
    static constexpr RecordType staticRecordType = RecordType::milestoneLog;

    // A day log pointing at `milestone` (may be null) and listed in its dailyLogs. When the reward is
    // already stored, the log joins the same store at once.
    static std::shared_ptr<MilestoneLog> create(const QUuid &id, const std::shared_ptr<Milestone> &milestone,
                                                const QDateTime &date, double completionRate, bool didMeetThreshold);

    explicit MilestoneLog(Token) {}
    ~MilestoneLog() override;

    RecordType recordType() const override { return staticRecordType; }

    QUuid id() const { return m_id; }
    void setId(const QUuid &id) { assign(m_id, id); }
    // Start of the evaluated day.
    QDateTime date() const { return m_date; }
    void setDate(const QDateTime &date) { assign(m_date, date); }
    // A fraction from 0 to 1.
    double completionRate() const { return m_completionRate; }
    void setCompletionRate(double rate) { assign(m_completionRate, rate); }
    bool didMeetThreshold() const { return m_didMeetThreshold; }
    void setDidMeetThreshold(bool met) { assign(m_didMeetThreshold, met); }

    std::shared_ptr<Milestone> milestone() const { return m_owner.lock(); }
    void setMilestone(const std::shared_ptr<Milestone> &milestone);

private:
    template <class Owner, class Member> friend struct detail::OneToMany;
    friend class MilestoneLogTable;

    RecordTypes willBeDeleted(StoreContext &context) override;
    void didInsert(StoreContext &context) override;
    StoreRecord *memberOwner() const override;

    QUuid m_id;
    QDateTime m_date;
    double m_completionRate = 0;
    bool m_didMeetThreshold = false;
    std::weak_ptr<Milestone> m_owner;
};

} // namespace ovlin
