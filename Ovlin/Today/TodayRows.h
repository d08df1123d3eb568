#pragma once

#include "ScreenParts/TodayWidgets.h"

#include <QPointer>
#include <QWidget>

#include <memory>

namespace ovlin {

class Reminder;
class ReminderListViewModel;

namespace today {

// The four row forms of today's list, one per state of a reminder today. Each row carries the object name
// of its form ("openRow", "overdueRow", "skippedRow", "completedRow") and the reminder's identifier in the
// property "reminderId"; its buttons carry their accessibility labels as accessible names.

// The open row: category tile, title and category, the fixed time and the check-off control; a tap on the
// row outside the control checks the reminder off unless it is completed already. The completion phrase,
// while the view model shows one for this reminder, stands under the row.
class OpenRow : public RoundedPanel
{
    Q_OBJECT
public:
    OpenRow(ReminderListViewModel *model, const std::shared_ptr<Reminder> &reminder, QWidget *parent = nullptr);

    // What a tap on the row does.
    void tap();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool hits(const QPoint &pos) const;

    QPointer<ReminderListViewModel> m_model;
    std::shared_ptr<Reminder> m_reminder;
    bool m_pressed = false;
};

QWidget *makeOpenRow(ReminderListViewModel *model, const std::shared_ptr<Reminder> &reminder,
                     QWidget *parent = nullptr);
QWidget *makeOverdueRow(ReminderListViewModel *model, const std::shared_ptr<Reminder> &reminder,
                        QWidget *parent = nullptr);
QWidget *makeSkippedRow(ReminderListViewModel *model, const std::shared_ptr<Reminder> &reminder,
                        QWidget *parent = nullptr);
QWidget *makeCompletedRow(const std::shared_ptr<Reminder> &reminder, QWidget *parent = nullptr);

// Accessibility labels of the row buttons.
QString skipAccessibilityLabel(const QString &title);
QString doneAccessibilityLabel(const QString &title);
QString undoSkipAccessibilityLabel(const QString &title);

} // namespace today
} // namespace ovlin
