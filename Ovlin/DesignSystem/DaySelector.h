#pragma once

#include "DesignSystem/AccessibleValue.h"
#include "DesignSystem/AnimatedValue.h"
#include "Model/Enums.h"

#include <QAbstractButton>
#include <QWidget>

#include <array>
#include <functional>
#include <set>

namespace ovlin {

// Chosen weekdays, ordered Monday to Sunday.
using WeekdaySet = std::set<Weekday>;

// One weekday as a 40-pixel square pill showing its initial; dark green when selected.
class DayPill : public QAbstractButton
{
    Q_OBJECT
public:
    DayPill(Weekday day, bool isSelected, std::function<void()> onTap, QWidget *parent = nullptr);

    Weekday day() const { return m_day; }
    bool isSelected() const { return m_isSelected; }
    void setSelected(bool selected);
    void setOnTap(std::function<void()> onTap);

    // "M", "T", "W", "T", "F", "S", "S"
    static QString letter(Weekday day);
    // "Monday" ... "Sunday"
    static QString spokenName(Weekday day);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    // The selector decides the state; a click never flips it by itself.
    void nextCheckState() override {}

private:
    Weekday m_day;
    bool m_isSelected;
    std::function<void()> m_onTap;
    AnimatedValue m_selection{0.0};
};

// Seven day pills, Monday first, toggling weekdays in the owner's set. Every tap writes the whole set
// back (selectedDaysChanged). Accessibility: "Active days", valued with the chosen days' names.
class DaySelector : public QWidget, public AccessibleValueSource
{
    Q_OBJECT
public:
    explicit DaySelector(const WeekdaySet &selectedDays, QWidget *parent = nullptr);

    WeekdaySet selectedDays() const { return m_selectedDays; }
    void setSelectedDays(const ovlin::WeekdaySet &days);
    // Removes `day` when it is chosen, adds it otherwise.
    void toggle(Weekday day);

    DayPill *pill(Weekday day) const;

    // "No days selected", or the chosen days' names Monday to Sunday joined by ", ".
    static QString accessibilityValue(const WeekdaySet &days);
    QString accessibilityValue() const { return accessibilityValue(m_selectedDays); }
    QString accessibleValueText() const override { return accessibilityValue(); }
    QAccessible::Role accessibleValueRole() const override { return QAccessible::Grouping; }

Q_SIGNALS:
    void selectedDaysChanged(const ovlin::WeekdaySet &days);

private:
    WeekdaySet m_selectedDays;
    std::array<DayPill *, 7> m_pills{};
};

} // namespace ovlin
