#pragma once

#include <QString>
#include <QWidget>

namespace ovlin {

class NotificationPreview;
class OvlinCard;
class OvlinText;
class ReminderFormViewModel;

// Step 4: the mock notification (the title as typed, a sample line of the category) and a summary card
// of the category, the reminder style and the days.
class ReminderFormPreviewStep : public QWidget
{
    Q_OBJECT
public:
    explicit ReminderFormPreviewStep(ReminderFormViewModel *viewModel, QWidget *parent = nullptr);

    NotificationPreview *preview() const { return m_preview; }
    OvlinCard *summaryCard() const { return m_summary; }
    // The value texts of the summary rows, in order: category, reminder style, days.
    QString categoryValue() const;
    QString styleValue() const;
    QString daysValue() const;

private:
    void refresh();

    ReminderFormViewModel *m_viewModel;
    NotificationPreview *m_preview = nullptr;
    OvlinCard *m_summary = nullptr;
    OvlinText *m_category = nullptr;
    OvlinText *m_style = nullptr;
    OvlinText *m_days = nullptr;
};

} // namespace ovlin
