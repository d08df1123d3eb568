#include "Editor/ReminderFormFooter.h"

#include "Base/MainThread.h"
#include "DesignSystem/DoubleClickGuard.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/OvlinButton.h"

#include <QHBoxLayout>
#include <QSpacerItem>

namespace ovlin {

ReminderFormFooter::ReminderFormFooter(QWidget *parent) : QWidget(parent)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_cancel = new OvlinButton(
        QStringLiteral("Cancel"), OvlinButtonStyle::secondary, OvlinButtonSize::default_, false, false,
        [this] { Q_EMIT cancelRequested(); }, this);
    m_cancel->setFixedWidth(int(LayoutTokens::secondaryActionWidth));
    m_cancel->setAccessibleName(QStringLiteral("Cancel"));

    m_back = new OvlinButton(
        QStringLiteral("Back"), OvlinButtonStyle::secondary, OvlinButtonSize::large, false, false,
        [this] { Q_EMIT backRequested(); }, this);
    m_back->setFixedWidth(int(LayoutTokens::secondaryActionWidth));
    m_back->setAccessibleName(QStringLiteral("Go to previous step"));

    m_next = new OvlinButton(
        QStringLiteral("Next"), OvlinButtonStyle::primary, OvlinButtonSize::large, false, false,
        [this] { Q_EMIT nextRequested(); }, this);
    m_next->setFixedWidth(int(LayoutTokens::primaryActionWidth));
    m_next->setAccessibleName(QStringLiteral("Go to next step"));

    m_save = new OvlinButton(
        saveTitle(false), OvlinButtonStyle::primary, OvlinButtonSize::large, false, false,
        [this] { Q_EMIT saveRequested(); }, this);
    m_save->setFixedWidth(int(LayoutTokens::primaryActionWidth));

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(int(LayoutTokens::spacingXL), int(LayoutTokens::spacingLG), int(LayoutTokens::spacingXL),
                            int(LayoutTokens::spacingLG));
    row->setSpacing(int(LayoutTokens::spacingLG));
    row->addWidget(m_cancel, 0, Qt::AlignVCenter);
    // A flexible space of at least 24 pixels.
    row->addItem(new QSpacerItem(int(LayoutTokens::spacingXL), 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
    auto *trailing = new QHBoxLayout;
    trailing->setContentsMargins(0, 0, 0, 0);
    trailing->setSpacing(int(LayoutTokens::spacingSM));
    trailing->addWidget(m_back, 0, Qt::AlignVCenter);
    trailing->addWidget(m_next, 0, Qt::AlignVCenter);
    trailing->addWidget(m_save, 0, Qt::AlignVCenter);
    row->addLayout(trailing);

    // A step change puts another button under the pointer (the save button where Next was): the second
    // press of a double-click must not press it.
    for (OvlinButton *button : {m_cancel, m_back, m_next, m_save})
        DoubleClickGuard::guard(button);
    apply(State{});
}

QString ReminderFormFooter::saveTitle(bool isEditing)
{
    return isEditing ? QStringLiteral("Save changes") : QStringLiteral("Save reminder");
}

void ReminderFormFooter::apply(const State &state)
{
    OVLIN_ASSERT_MAIN_THREAD();
    const bool lastStep = state.currentStep == state.totalSteps;
    m_cancel->setVisible(lastStep);
    m_back->setVisible(state.currentStep >= 2);
    m_next->setVisible(state.currentStep < state.totalSteps);
    m_save->setVisible(state.currentStep >= state.totalSteps);
    // Disabled through the widget's enabled state; the buttons' own disabled flag stays off.
    m_next->setEnabled(state.canProceed);
    m_save->setEnabled(state.isValid);
    const QString title = saveTitle(state.isEditing);
    if (m_save->title() != title)
        m_save->setTitle(title);
    m_save->setAccessibleName(title);
}

} // namespace ovlin
