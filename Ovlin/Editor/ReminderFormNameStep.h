#pragma once

#include "Model/Enums.h"

#include <QAbstractButton>
#include <QWidget>

#include <array>

class QLineEdit;

namespace ovlin {

class OvlinButtonPressStyle;
class ReminderFormViewModel;

// One schedule type of the second step: icon tile, title and description, and a check box on the right,
// in a selectable option as wide as it is offered. It shrinks slightly while pressed. Checkable only so
// that accessibility reports the selected state; the step decides it.
class ScheduleTypeCard : public QAbstractButton
{
    Q_OBJECT
public:
    explicit ScheduleTypeCard(ScheduleType type, QWidget *parent = nullptr);

    ScheduleType scheduleType() const { return m_type; }
    bool isSelected() const { return isChecked(); }
    void setSelected(bool selected);
    double pressScale() const;

    static constexpr double checkBoxSide = 22;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void nextCheckState() override {}

private:
    double textWidthFor(double width) const;

    ScheduleType m_type;
    OvlinButtonPressStyle *m_press;
};

// Step 2: the name field (placeholder by category) and the three schedule-type cards. The field writes
// the view model's title on every keystroke, untouched; a card sets the schedule type and nothing else.
class ReminderFormNameStep : public QWidget
{
    Q_OBJECT
public:
    explicit ReminderFormNameStep(ReminderFormViewModel *viewModel, QWidget *parent = nullptr);

    QLineEdit *nameField() const { return m_nameField; }
    ScheduleTypeCard *card(ScheduleType type) const;

private:
    void refresh();

    ReminderFormViewModel *m_viewModel;
    QLineEdit *m_nameField = nullptr;
    std::array<ScheduleTypeCard *, 3> m_cards{};
};

} // namespace ovlin
