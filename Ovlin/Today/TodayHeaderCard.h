#pragma once

#include "DesignSystem/OvlinCard.h"
#include "Today/ReminderListView.h"

namespace ovlin::today {

class Pill;

// The today screen's opening card: the greeting, the tip of the day and the count pills ("Left today",
// "Done" and, while anything is overdue, "Overdue"), over the header artwork. Nothing on it reacts to input.
class TodayHeaderCard : public OvlinCard
{
    Q_OBJECT
public:
    explicit TodayHeaderCard(QWidget *parent = nullptr);

    void refresh(const QString &tip, int leftToday, int done, int overdue);

    QString tip() const;
    // The pills shown, left to right.
    QList<Pill *> pills() const;

    static Pill *statPill(const QString &value, const QString &label, ReminderListView::StatPillStyle style);

private:
    QWidget *m_tip = nullptr;
    QWidget *m_pillRow = nullptr;
    QList<int> m_counts;
};

} // namespace ovlin::today
