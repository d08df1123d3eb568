#pragma once

#include "DesignSystem/OvlinCard.h"

namespace ovlin::today {

// The momentum card of the insights row: this week's and this month's completion rates as whole
// percentages, and the current streak with a line of encouragement. Nothing on it reacts to input.
class MomentumCard : public OvlinCard
{
    Q_OBJECT
public:
    MomentumCard(double weekRate, double monthRate, qint64 streak, QWidget *parent = nullptr);

    QString weekText() const;
    QString monthText() const;
    QString streakText() const;
    QString encouragement() const;

private:
    QWidget *m_week = nullptr;
    QWidget *m_month = nullptr;
    QWidget *m_streak = nullptr;
    QWidget *m_encouragement = nullptr;
};

} // namespace ovlin::today
