#include "Editor/ReminderFormPreviewStep.h"

#include "Base/MainThread.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/NotificationPreview.h"
#include "DesignSystem/OvlinCard.h"
#include "DesignSystem/OvlinText.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"
#include "Editor/ReminderFormParts.h"
#include "Editor/ReminderFormViewModel.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace ovlin {

namespace {

// One summary row: the label on the left, the value on the right.
OvlinText *addRow(QVBoxLayout *rows, QWidget *owner, const QString &label)
{
    auto *row = new QWidget(owner);
    auto *line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(int(LayoutTokens::spacingSM));
    auto *labelText = new OvlinText(label, ThemeFonts::body(), ThemeColors::textSecondary(), row);
    labelText->setSingleLine(true);
    auto *value = new OvlinText(QString(), ThemeFonts::body(), ThemeColors::textPrimary(), row);
    value->setSingleLine(true);
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    line->addWidget(labelText, 0, Qt::AlignVCenter);
    line->addStretch(1);
    line->addWidget(value, 0, Qt::AlignVCenter);
    rows->addWidget(row);
    return value;
}

} // namespace

ReminderFormPreviewStep::ReminderFormPreviewStep(ReminderFormViewModel *viewModel, QWidget *parent)
    : QWidget(parent), m_viewModel(viewModel)
{
    OVLIN_ASSERT_MAIN_THREAD();
    QVBoxLayout *stack = ReminderFormParts::makeStack(this, LayoutTokens::stackRegular);
    stack->addWidget(
        ReminderFormParts::makeHeader(QStringLiteral("Here's what it looks like"),
                                      QStringLiteral("One last look before this thing starts bothering you."), this));

    auto *body = new QWidget(this);
    QVBoxLayout *bodyStack = ReminderFormParts::makeStack(body, LayoutTokens::spacingLG);
    // The sample line is picked when the step is built.
    m_preview = new NotificationPreview(m_viewModel->title(), m_viewModel->previewMessage(), body);
    bodyStack->addWidget(m_preview);

    auto *rowsWidget = new QWidget;
    QVBoxLayout *rows = ReminderFormParts::makeStack(rowsWidget, LayoutTokens::spacingMD);
    m_category = addRow(rows, rowsWidget, QStringLiteral("Category"));
    m_style = addRow(rows, rowsWidget, QStringLiteral("Reminder style"));
    m_days = addRow(rows, rowsWidget, QStringLiteral("Days"));
    m_summary = new OvlinCard(LayoutTokens::spacingXL, ThemeColors::surfaceSubtle(), {}, true, true, rowsWidget, body);
    bodyStack->addWidget(m_summary);
    stack->addWidget(body);

    connect(m_viewModel, &ReminderFormViewModel::changed, this, &ReminderFormPreviewStep::refresh);
    // A new category redraws the step with a sample line of that category.
    connect(m_viewModel, &ReminderFormViewModel::categoryChanged, this,
            [this] { m_preview->setMessage(m_viewModel->previewMessage()); });
    refresh();
}

QString ReminderFormPreviewStep::categoryValue() const
{
    return m_category->text();
}

QString ReminderFormPreviewStep::styleValue() const
{
    return m_style->text();
}

QString ReminderFormPreviewStep::daysValue() const
{
    return m_days->text();
}

void ReminderFormPreviewStep::refresh()
{
    // Title exactly as typed: the stored one is trimmed, the preview shows what the user wrote.
    m_preview->setTitle(m_viewModel->title());
    m_category->setText(ReminderFormParts::categoryDisplayName(m_viewModel->category()));
    m_style->setText(ReminderFormParts::scheduleTypeTitle(m_viewModel->scheduleType()));
    m_days->setText(ReminderFormParts::daysSummary(m_viewModel->selectedDays()));
}

} // namespace ovlin
