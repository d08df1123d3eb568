#include "Today/TodayListCard.h"

#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/OvlinText.h"
#include "DesignSystem/ProgressRing.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"
#include "Model/Reminder.h"
#include "Today/ReminderListView.h"
#include "Today/ReminderListViewModel.h"
#include "Today/TodayRows.h"
#include "Today/TodayWidgets.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QGridLayout>

#include <algorithm>

namespace ovlin::today {

TodayLists TodayLists::read(const ReminderListViewModel &model)
{
    TodayLists lists;
    lists.todays = model.todaysReminders();
    lists.overdue = model.overdue();
    lists.upcoming = model.upcomingToday();
    lists.skipped = model.skippedToday();
    lists.completed = model.completedToday();
    lists.progress = model.todayProgress();
    return lists;
}

TodayListCard::TodayListCard(QWidget *parent)
    : OvlinCard(LayoutTokens::spacingXL, ThemeColors::surface(), {}, true, false, new QWidget, parent)
{
    setObjectName(QStringLiteral("todayListCard"));
    auto *stack = vbox(content(), LayoutTokens::spacingXL);

    auto *header = new QWidget;
    header->setObjectName(QStringLiteral("todayListHeader"));
    auto *headerRow = hbox(header, LayoutTokens::spacingSM);
    auto *texts = new QWidget;
    auto *textStack = vbox(texts, LayoutTokens::spacingXS);
    m_title = singleLineText(QString(), ThemeFonts::heading(), ThemeColors::textPrimary());
    m_title->setObjectName(QStringLiteral("todayListTitle"));
    m_subtitle = singleLineText(QString(), ThemeFonts::subheadline(), ThemeColors::textSecondary());
    m_subtitle->setObjectName(QStringLiteral("todayListSubtitle"));
    textStack->addWidget(m_title);
    textStack->addWidget(m_subtitle);
    headerRow->addWidget(texts, 0, Qt::AlignVCenter);
    headerRow->addStretch(1);

    m_badge = new QWidget;
    m_badge->setObjectName(QStringLiteral("progressBadge"));
    auto *badgeLayout = new QGridLayout(m_badge);
    badgeLayout->setContentsMargins(0, 0, 0, 0);
    m_ring = new ProgressRing(0, 48, 4, ThemeColors::primary(), ThemeColors::neutral200(), true);
    m_percent = singleLineText(QString(), ThemeFonts::callout(), ThemeColors::textPrimary());
    static_cast<OvlinText *>(m_percent)->setAlignment(Qt::AlignCenter);
    m_percent->setObjectName(QStringLiteral("progressPercent"));
    badgeLayout->addWidget(m_ring, 0, 0, Qt::AlignCenter);
    badgeLayout->addWidget(m_percent, 0, 0, Qt::AlignCenter);
    headerRow->addWidget(m_badge, 0, Qt::AlignVCenter);
    stack->addWidget(header);
}

void TodayListCard::refresh(ReminderListViewModel *model, const TodayLists &lists, bool showAllCompleted,
                            std::function<void()> toggleExpanded)
{
    auto *stack = static_cast<QBoxLayout *>(content()->layout());
    clearLayout(stack, 1);

    const int completedCount = int(lists.completed.size());
    static_cast<OvlinText *>(m_title)->setText(ReminderListView::todayListTitle(
        int(lists.overdue.size()), int(lists.skipped.size()), int(lists.upcoming.size())));
    static_cast<OvlinText *>(m_subtitle)
        ->setText(ReminderListView::todayListSubtitle(completedCount, showAllCompleted));
    m_subtitle->setVisible(completedCount > 0);
    m_badge->setVisible(completedCount > 0);
    m_ring->setProgress(std::clamp(lists.progress, 0.0, 1.0));
    static_cast<OvlinText *>(m_percent)->setText(ReminderListView::progressPercentText(lists.progress));

    const auto tr = [](const char *text) { return QCoreApplication::translate("ReminderListView", text); };
    const auto sectionLabel = [](const QString &text) {
        auto *holder = new QWidget;
        holder->setObjectName(QStringLiteral("sectionLabel"));
        holder->setAccessibleName(text);
        hbox(holder, 0, QMarginsF(LayoutTokens::spacingLG, 0, LayoutTokens::spacingLG, 0))
            ->addWidget(singleLineText(text, ThemeFonts::label(), ThemeColors::textSecondary()));
        return holder;
    };
    const auto divider = [] {
        auto *line = new Divider(ThemeColors::borderSubtle(), LayoutTokens::spacingLG);
        line->setObjectName(QStringLiteral("divider"));
        return line;
    };

    if (!lists.overdue.isEmpty() || !lists.upcoming.isEmpty() || !lists.skipped.isEmpty()) {
        auto *sections = new QWidget;
        sections->setObjectName(QStringLiteral("openSections"));
        auto *column = vbox(sections, LayoutTokens::spacingLG);
        for (const auto &reminder : lists.overdue)
            column->addWidget(makeOverdueRow(model, reminder));
        if (!lists.upcoming.isEmpty()) {
            if (!lists.overdue.isEmpty())
                column->addWidget(divider());
            column->addWidget(sectionLabel(lists.overdue.isEmpty() ? tr("Up next") : tr("Still waiting")));
            for (const auto &reminder : lists.upcoming) {
                QWidget *row = makeOpenRow(model, reminder);
                if (QWidget *phrase = row->findChild<QWidget *>(QStringLiteral("completionCopy"));
                    phrase && model && model->recentCompletionReminderID() != m_phraseFor)
                    fadeIn(phrase->parentWidget(), 1, 0.2);
                column->addWidget(row);
            }
        }
        if (!lists.skipped.isEmpty()) {
            if (!lists.overdue.isEmpty() || !lists.upcoming.isEmpty())
                column->addWidget(divider());
            column->addWidget(sectionLabel(tr("Skipped but recoverable")));
            for (const auto &reminder : lists.skipped)
                column->addWidget(makeSkippedRow(model, reminder));
        }
        stack->addWidget(sections);
    }

    const int visible =
        showAllCompleted ? completedCount : std::min(completedCount, ReminderListView::collapsedCompletedLimit);
    for (int i = 0; i < visible; ++i) {
        const auto &reminder = lists.completed.at(i);
        QWidget *row = makeCompletedRow(reminder);
        // A reminder that has just been completed fades in; expanding or collapsing does not animate.
        if (m_refreshed && !m_completedIds.contains(reminder->id()))
            fadeIn(row, 0.9, 0.25);
        stack->addWidget(row);
    }
    m_completedIds.clear();
    for (const auto &reminder : lists.completed)
        m_completedIds.insert(reminder->id());
    m_phraseFor = model ? model->recentCompletionReminderID() : std::nullopt;
    m_refreshed = true;

    if (completedCount > ReminderListView::collapsedCompletedLimit) {
        LabelButton::Look look;
        look.font = ThemeFonts::label();
        look.textColor = ThemeColors::primaryDark();
        look.height = 0;
        look.horizontalPadding = 0;
        auto *expand = new LabelButton(ReminderListView::expandControlTitle(showAllCompleted, completedCount), look,
                                       std::move(toggleExpanded));
        expand->setObjectName(QStringLiteral("expandControl"));
        stack->addWidget(expand, 0, Qt::AlignLeft);
    }
}

QString TodayListCard::title() const
{
    return static_cast<OvlinText *>(m_title)->text();
}

QString TodayListCard::subtitle() const
{
    return m_subtitle->isVisibleTo(this) ? static_cast<OvlinText *>(m_subtitle)->text() : QString();
}

bool TodayListCard::hasProgressBadge() const
{
    return m_badge->isVisibleTo(this);
}

QString TodayListCard::percentText() const
{
    return static_cast<OvlinText *>(m_percent)->text();
}

} // namespace ovlin::today
