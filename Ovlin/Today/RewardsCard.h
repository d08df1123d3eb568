#pragma once

#include "DesignSystem/OvlinCard.h"
#include "Engine/MilestoneProgressService.h"
#include "Platform/NotificationCenter.h"
#include "Today/ReminderListView.h"

#include <QAbstractButton>

#include <functional>
#include <memory>

namespace ovlin {

class Milestone;

namespace today {

// One filter chip of the rewards card; the selected one stands out on a white capsule.
class RewardChip : public QAbstractButton
{
    Q_OBJECT
public:
    RewardChip(ReminderListView::RewardFilter filter, bool selected, std::function<void()> action,
               QWidget *parent = nullptr);

    ReminderListView::RewardFilter filter() const { return m_filter; }
    bool isSelected() const { return m_selected; }
    // From the chip's top to its label's baseline (the label is centred in the chip).
    double baseline() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    ReminderListView::RewardFilter m_filter;
    bool m_selected;
    std::function<void()> m_action;
};

// The rewards card of the insights row: the "All" / "Nearest" chips, the featured reward with its progress
// bar and up to three more as compact rows. Only the chips react to input.
class RewardsCard : public OvlinCard
{
    Q_OBJECT
public:
    using ProgressOf = std::function<RewardProgress(const Milestone &)>;

    RewardsCard(const QList<std::shared_ptr<Milestone>> &shown, const ProgressOf &progress,
                ReminderListView::RewardFilter filter, std::function<void(ReminderListView::RewardFilter)> selectFilter,
                QWidget *parent = nullptr);

    QList<RewardChip *> chips() const;

    static QWidget *featuredReward(const Milestone &milestone, const RewardProgress &progress);
    static QWidget *compactReward(const Milestone &milestone, const RewardProgress &progress);
};

} // namespace today
} // namespace ovlin
