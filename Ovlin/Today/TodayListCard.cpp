#include "Today/TodayListCard.h"

#include "DesignSystem/DividerLine.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/OvlinText.h"
#include "DesignSystem/ProgressRing.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"
#include "Model/Reminder.h"
#include "ScreenParts/ReminderListViewModel.h"
#include "ScreenParts/TodayWidgets.h"
#include "Today/ReminderListView.h"
#include "Today/TodayRows.h"

#include <QBoxLayout>
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

namespace {

QString rowKeyBase(const char *form, const Reminder &reminder)
{
    QString key = QLatin1String(form) + QLatin1Char('|') + reminder.id().toString(QUuid::WithoutBraces) +
                  QLatin1Char('|') + reminder.title() + QLatin1Char('|') + rawValue(reminder.categoryValue());
    if (const auto fixed = reminder.firingFixedTime())
        key += QLatin1Char('|') + shortTime(*fixed);
    return key;
}

} // namespace

QString TodayListCard::openRowKey(const ReminderListViewModel *model, const Reminder &reminder)
{
    QString key = rowKeyBase("open", reminder);
    if (model) {
        key += model->isCompleted(reminder) ? QLatin1String("|done") : QLatin1String("|open");
        if (const auto phrase = model->completionCopy(reminder))
            key += QLatin1String("|phrase:") + *phrase;
    }
    return key;
}

QString TodayListCard::overdueRowKey(const Reminder &reminder)
{
    return rowKeyBase("overdue", reminder);
}

QString TodayListCard::skippedRowKey(const Reminder &reminder)
{
    return rowKeyBase("skipped", reminder);
}

QString TodayListCard::completedRowKey(const Reminder &reminder)
{
    return rowKeyBase("completed", reminder);
}

namespace {

std::function<QWidget *()> sectionLabel(const QString &text)
{
    return [text]() -> QWidget * {
        auto *holder = new QWidget;
        holder->setObjectName(QStringLiteral("sectionLabel"));
        holder->setAccessibleName(text);
        hbox(holder, 0, QMarginsF(LayoutTokens::spacingLG, 0, LayoutTokens::spacingLG, 0))
            ->addWidget(singleLineText(text, ThemeFonts::label(), ThemeColors::textSecondary()));
        return holder;
    };
}

QWidget *makeDivider()
{
    auto *line = new DividerLine(ThemeColors::borderSubtle(), LayoutTokens::spacingLG, LayoutTokens::spacingLG);
    line->setObjectName(QStringLiteral("divider"));
    return line;
}

QWidget *makeExpandControl(const QString &title, std::function<void()> onPress)
{
    LabelButton::Look look;
    look.font = ThemeFonts::label();
    look.textColor = ThemeColors::primaryDark();
    look.height = 0;
    look.horizontalPadding = 0;
    auto *expand = new LabelButton(title, look, std::move(onPress));
    expand->setObjectName(QStringLiteral("expandControl"));
    return expand;
}

} // namespace

// Rows still allowed in this refresh; remembers whether any had to be left out.
class TodayListCard::RowBudget
{
public:
    explicit RowBudget(int limit) : m_left(std::max(0, limit)) {}

    bool take()
    {
        if (m_left > 0) {
            --m_left;
            return true;
        }
        m_cut = true;
        return false;
    }
    bool cut() const { return m_cut; }

private:
    int m_left;
    bool m_cut = false;
};

bool TodayListCard::refresh(ReminderListViewModel *model, const TodayLists &lists, bool showAllCompleted,
                            std::function<void()> toggleExpanded, int rowLimit)
{
    m_toggleExpanded = std::move(toggleExpanded);
    updateHeader(lists, showAllCompleted);

    RowBudget budget(rowLimit);
    const std::optional<QUuid> phraseFor = model ? model->recentCompletionReminderID() : std::nullopt;
    QList<KeyedItem> sectionItems;
    appendOverdueGroup(sectionItems, model, lists, budget);
    appendOpenGroup(sectionItems, model, lists, budget, phraseFor != m_phraseFor);
    appendSkippedGroup(sectionItems, model, lists, budget);

    QList<KeyedItem> items;
    if (!sectionItems.isEmpty())
        items.append(openSectionsItem());
    appendCompletedRows(items, lists, showAllCompleted, budget);
    if (const int completed = int(lists.completed.size()); completed > ReminderListView::collapsedCompletedLimit)
        items.append(expandItem(ReminderListView::expandControlTitle(showAllCompleted, completed)));
    rememberShown(lists, phraseFor);

    reconcile(items, sectionItems);
    return budget.cut();
}

void TodayListCard::updateHeader(const TodayLists &lists, bool showAllCompleted)
{
    const int completedCount = int(lists.completed.size());
    static_cast<OvlinText *>(m_title)->setText(ReminderListView::todayListTitle(
        int(lists.overdue.size()), int(lists.skipped.size()), int(lists.upcoming.size())));
    static_cast<OvlinText *>(m_subtitle)
        ->setText(ReminderListView::todayListSubtitle(completedCount, showAllCompleted));
    m_subtitle->setVisible(completedCount > 0);
    m_badge->setVisible(completedCount > 0);
    m_ring->setProgress(std::clamp(lists.progress, 0.0, 1.0));
    static_cast<OvlinText *>(m_percent)->setText(ReminderListView::progressPercentText(lists.progress));
}

void TodayListCard::appendOverdueGroup(QList<KeyedItem> &items, ReminderListViewModel *model, const TodayLists &lists,
                                       RowBudget &budget)
{
    for (const auto &reminder : lists.overdue) {
        if (budget.take())
            items.append({overdueRowKey(*reminder), [model, reminder] { return makeOverdueRow(model, reminder); }});
    }
}

void TodayListCard::appendOpenGroup(QList<KeyedItem> &items, ReminderListViewModel *model, const TodayLists &lists,
                                    RowBudget &budget, bool fadePhrase)
{
    if (lists.upcoming.isEmpty())
        return;
    if (!lists.overdue.isEmpty())
        items.append({QStringLiteral("divider|upcoming"), makeDivider});
    const QString label = lists.overdue.isEmpty() ? QStringLiteral("Up next") : QStringLiteral("Still waiting");
    items.append({QStringLiteral("label|") + label, sectionLabel(label)});
    for (const auto &reminder : lists.upcoming) {
        if (!budget.take())
            continue;
        items.append({openRowKey(model, *reminder), [model, reminder, fadePhrase] {
                          QWidget *row = makeOpenRow(model, reminder);
                          if (QWidget *phrase = row->findChild<QWidget *>(QStringLiteral("completionCopy"));
                              phrase && fadePhrase)
                              fadeIn(phrase->parentWidget(), 1, 0.2);
                          return row;
                      }});
    }
}

void TodayListCard::appendSkippedGroup(QList<KeyedItem> &items, ReminderListViewModel *model, const TodayLists &lists,
                                       RowBudget &budget)
{
    if (lists.skipped.isEmpty())
        return;
    if (!lists.overdue.isEmpty() || !lists.upcoming.isEmpty())
        items.append({QStringLiteral("divider|skipped"), makeDivider});
    const QString label = QStringLiteral("Skipped but recoverable");
    items.append({QStringLiteral("label|") + label, sectionLabel(label)});
    for (const auto &reminder : lists.skipped) {
        if (budget.take())
            items.append({skippedRowKey(*reminder), [model, reminder] { return makeSkippedRow(model, reminder); }});
    }
}

// The open groups live in a stack of their own (16 apart) inside the card's stack (24 apart).
KeyedItem TodayListCard::openSectionsItem()
{
    QPointer<TodayListCard> self(this);
    return {QStringLiteral("openSections"), [self]() -> QWidget * {
                auto *sections = new QWidget;
                sections->setObjectName(QStringLiteral("openSections"));
                vbox(sections, LayoutTokens::spacingLG);
                if (self) {
                    self->m_sections.forget();
                    self->m_sectionsWidget = sections;
                }
                return sections;
            }};
}

void TodayListCard::appendCompletedRows(QList<KeyedItem> &items, const TodayLists &lists, bool showAllCompleted,
                                        RowBudget &budget) const
{
    const int completedCount = int(lists.completed.size());
    const int visible =
        showAllCompleted ? completedCount : std::min(completedCount, ReminderListView::collapsedCompletedLimit);
    const bool animateNew = m_refreshed;
    for (int i = 0; i < visible; ++i) {
        if (!budget.take())
            break;
        const auto &reminder = lists.completed.at(i);
        // A reminder that has just been completed fades in; expanding or collapsing does not animate.
        const bool fade = animateNew && !m_completedIds.contains(reminder->id());
        items.append({completedRowKey(*reminder), [reminder, fade] {
                          QWidget *row = makeCompletedRow(reminder);
                          if (fade)
                              fadeIn(row, 0.9, 0.25);
                          return row;
                      }});
    }
}

KeyedItem TodayListCard::expandItem(const QString &title)
{
    QPointer<TodayListCard> self(this);
    return {QStringLiteral("expand|") + title, [title, self] {
                return makeExpandControl(title, [self] {
                    if (self && self->m_toggleExpanded)
                        self->m_toggleExpanded();
                });
            }};
}

void TodayListCard::rememberShown(const TodayLists &lists, const std::optional<QUuid> &phraseFor)
{
    m_completedIds.clear();
    for (const auto &reminder : lists.completed)
        m_completedIds.insert(reminder->id());
    m_phraseFor = phraseFor;
    m_refreshed = true;
}

void TodayListCard::reconcile(const QList<KeyedItem> &items, const QList<KeyedItem> &sectionItems)
{
    auto *stack = static_cast<QBoxLayout *>(content()->layout());
    m_items.reconcile(stack, 1, items, this);
    for (int i = 1; i < stack->count(); ++i) {
        if (QWidget *w = stack->itemAt(i)->widget(); w && w->objectName() == QLatin1String("expandControl"))
            stack->setAlignment(w, Qt::AlignLeft);
    }
    if (m_sectionsWidget && !sectionItems.isEmpty())
        m_sections.reconcile(static_cast<QBoxLayout *>(m_sectionsWidget->layout()), 0, sectionItems, this);
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
