#pragma once

#include <QWidget>

namespace ovlin {

class DaySelector;
class OvlinCard;
class OvlinStepperField;
class ReminderFormViewModel;
class TimePicker;

// The interval window's two fields: side by side (top-aligned, 16 apart, sharing the width equally) when
// both fit at their ideal widths, otherwise one above the other.
class TimeWindowRow : public QWidget
{
    Q_OBJECT
public:
    TimeWindowRow(QWidget *first, QWidget *second, QWidget *parent = nullptr);

    bool fitsSideBySide(int width) const;
    bool isSideBySide() const { return fitsSideBySide(width()); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool event(QEvent *event) override;

private:
    int childHeight(QWidget *child, int width) const;
    void place();

    QWidget *m_first;
    QWidget *m_second;
};

// Step 3: the fixed-time card, the interval card and window (by schedule type), and the weekdays. Every
// control writes straight into the view model; nothing is checked here.
class ReminderFormScheduleStep : public QWidget
{
    Q_OBJECT
public:
    explicit ReminderFormScheduleStep(ReminderFormViewModel *viewModel, QWidget *parent = nullptr);

    OvlinCard *fixedTimeCard() const { return m_fixedCard; }
    OvlinCard *intervalCard() const { return m_intervalCard; }
    TimeWindowRow *windowRow() const { return m_window; }
    TimePicker *fixedTimePicker() const { return m_fixedPicker; }
    OvlinStepperField *intervalStepper() const { return m_stepper; }
    TimePicker *fromPicker() const { return m_fromPicker; }
    TimePicker *untilPicker() const { return m_untilPicker; }
    DaySelector *daySelector() const { return m_days; }

    // "Interval in minutes: 60"
    static QString stepperAccessibilityLabel(qint64 minutes);

private:
    void refresh();

    ReminderFormViewModel *m_viewModel;
    OvlinCard *m_fixedCard = nullptr;
    OvlinCard *m_intervalCard = nullptr;
    TimeWindowRow *m_window = nullptr;
    TimePicker *m_fixedPicker = nullptr;
    OvlinStepperField *m_stepper = nullptr;
    TimePicker *m_fromPicker = nullptr;
    TimePicker *m_untilPicker = nullptr;
    DaySelector *m_days = nullptr;
};

} // namespace ovlin
