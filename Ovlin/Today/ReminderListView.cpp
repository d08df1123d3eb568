#include "Today/ReminderListView.h"

#include "Banners/CelebrationManager.h"
#include "Base/Log.h"
#include "Base/MainThread.h"
#include "Copy/CopyEngine.h"
#include "DesignSystem/EmptyState.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/ProgressRing.h"
#include "DesignSystem/StackingRowLayout.h"
#include "DesignSystem/ThemeColors.h"
#include "Engine/MilestoneProgressService.h"
#include "Model/Milestone.h"
#include "Model/Reminder.h"
#include "Model/ReminderLog.h"
#include "Platform/LiveQuery.h"
#include "Platform/NotificationCenter.h"
#include "Platform/Store.h"
#include "ScreenParts/ReminderListViewModel.h"
#include "ScreenParts/TodayWidgets.h"
#include "Today/MomentumCard.h"
#include "Today/RewardsCard.h"
#include "Today/TodayHeaderCard.h"
#include "Today/TodayListCard.h"

#include <QBoxLayout>
#include <QHash>
#include <QLocale>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace ovlin {

using today::TodayLists;

// ---- texts and numbers

QString ReminderListView::rawValue(RewardFilter filter)
{
    switch (filter) {
    case RewardFilter::all: return QStringLiteral("All");
    case RewardFilter::nearest: return QStringLiteral("Nearest");
    }
    return QStringLiteral("All");
}

std::optional<ReminderListView::RewardFilter> ReminderListView::rewardFilterFromRaw(const QString &raw)
{
    for (const auto filter : allRewardFilters) {
        if (rawValue(filter) == raw)
            return filter;
    }
    return std::nullopt;
}

const QStringList &ReminderListView::headerTips()
{
    static const QStringList tips{
        QStringLiteral("When a habit keeps slipping, make the first step smaller."),
        QStringLiteral("The same trigger every day makes habits stick."),
        QStringLiteral("Build for low-energy days, not ideal ones."),
        QStringLiteral("Done badly beats not done at all."),
        QStringLiteral("A visible reason outlasts vague motivation."),
        QStringLiteral("Miss once, restart immediately. Don't make it a pattern."),
    };
    return tips;
}

QString ReminderListView::tipOfTheDay(const QDateTime &date)
{
    const QStringList &tips = headerTips();
    const int ordinal = date.isValid() ? date.toLocalTime().date().dayOfYear() : 0;
    if (ordinal <= 0)
        return tips.first();
    return tips.at(ordinal % tips.size());
}

QString ReminderListView::dayKey(const QDateTime &date)
{
    const QDate day = date.toLocalTime().date();
    return QStringLiteral("%1-%2-%3").arg(day.year()).arg(day.month()).arg(day.day());
}

QString ReminderListView::todayListTitle(int overdueCount, int skippedCount, int upcomingCount)
{
    if (overdueCount > 0)
        return QStringLiteral("Needs attention");
    if (skippedCount > 0 && upcomingCount == 0)
        return QStringLiteral("Recoverable");
    return QStringLiteral("Up next");
}

QString ReminderListView::todayListSubtitle(int completedCount, bool showAllCompleted)
{
    if (completedCount > collapsedCompletedLimit && !showAllCompleted)
        return QStringLiteral("%1 handled today. Keeping it compact.").arg(completedCount);
    return QStringLiteral("%1 handled today").arg(completedCount);
}

QString ReminderListView::progressPercentText(double progress)
{
    return QStringLiteral("%1%").arg(ProgressRing::percent(progress));
}

QString ReminderListView::expandControlTitle(bool showAllCompleted, int completedCount)
{
    return showAllCompleted ? QStringLiteral("Show less") : QStringLiteral("Show all %1").arg(completedCount);
}

qint64 ReminderListView::momentumPercent(double rate)
{
    const double percent = rate * 100;
    if (!std::isfinite(percent))
        return 0;
    // Within the range where llround is defined.
    return std::llround(std::clamp(percent, -9.0e18, 9.0e18));
}

QString ReminderListView::streakTitle(qint64 streak)
{
    return QStringLiteral("%1 day streak").arg(streak);
}

QString ReminderListView::streakEncouragement(qint64 streak)
{
    return streak < 1 ? QStringLiteral("Start one today.") : QStringLiteral("Keep it going.");
}

QString ReminderListView::rewardCategoryText(const Milestone &milestone)
{
    const auto category = milestone.linkedCategory();
    if (!category)
        return QStringLiteral("All habits");
    QString raw = ovlin::rawValue(*category);
    if (!raw.isEmpty())
        raw[0] = raw[0].toUpper();
    return raw;
}

QString ReminderListView::thresholdText(double requirePercent)
{
    double percent = requirePercent * 100;
    if (!std::isfinite(percent))
        percent = 0;
    // Whole percent, ties to even, as a number formatter without fraction digits does.
    const qint64 whole = qint64(std::nearbyint(std::clamp(percent, -1.0e15, 1.0e15)));
    const QLocale locale;
    return locale.toString(whole) + locale.percent();
}

QString ReminderListView::rewardSubtitle(const Milestone &milestone, bool achievedLook)
{
    if (achievedLook)
        return QStringLiteral("Earned \u2014 go get it");
    return rewardCategoryText(milestone) + QStringLiteral(" \u00B7 ") + thresholdText(milestone.requirePercent());
}

// ---- screen

ReminderListView::ReminderListView(StoreContext *context, CelebrationManager *celebrationManager, QWidget *parent)
    : QWidget(parent), m_context(context), m_celebrationManager(celebrationManager)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!m_celebrationManager)
        qCWarning(lcUi) << "The today screen was made without a celebration manager; check-offs will not celebrate";

    // Until the screen is first shown its view model works on a store of its own that holds nothing.
    QString error;
    m_placeholderStore = StoreContainer::openInMemory(&error);
    if (!m_placeholderStore)
        qCWarning(lcUi) << "No placeholder store for the today screen:" << error;
    m_viewModel = new ReminderListViewModel(m_placeholderStore ? m_placeholderStore->mainContext() : nullptr, this);
    m_dayKey = dayKey(m_viewModel->currentDate());

    m_reminders = new LiveQuery<Reminder>(
        context, {}, [](const Reminder &a, const Reminder &b) { return a.createdAt() < b.createdAt(); }, this);
    // In store order: the view model reads logs through the per-habit index, never in date order.
    m_logs = new LiveQuery<ReminderLog>(context, {}, {}, this);
    m_milestones = new LiveQuery<Milestone>(
        context, {}, [](const Milestone &a, const Milestone &b) { return a.startDate() > b.startDate(); }, this);
    connect(m_reminders, &LiveQueryBase::resultChanged, this,
            [this] { m_viewModel->setReminders(m_reminders->result()); });
    connect(m_logs, &LiveQueryBase::resultChanged, this, [this] { m_viewModel->setAllLogs(m_logs->result()); });
    connect(m_milestones, &LiveQueryBase::resultChanged, this,
            [this] { m_viewModel->setMilestones(m_milestones->result()); });
    // Field changes (a title, a pause, a reward's status) keep the queries' lists as they are but change
    // what the screen shows.
    if (context)
        connect(context, &StoreContext::objectsChanged, this, &ReminderListView::scheduleDataRebuild);
    // A new date alone changes only what depends on the time of day; every other change of the model
    // may change anything.
    connect(m_viewModel, &ReminderListViewModel::currentDateChanged, this, [this] {
        m_dateChangePending = true;
        currentDateDidChange();
    });
    connect(m_viewModel, &ReminderListViewModel::changed, this, [this] {
        if (std::exchange(m_dateChangePending, false))
            scheduleRebuild();
        else
            scheduleDataRebuild();
    });

    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setInterval(refreshIntervalMs);
    m_refreshTimer->setTimerType(Qt::CoarseTimer);
    connect(m_refreshTimer, &QTimer::timeout, this, &ReminderListView::refreshTick);

    // Layout: one scroll view over the app background.
    auto *outer = today::vbox(this, 0);
    m_scrollArea = today::screenScrollArea(this, QStringLiteral("todayScroll"));
    outer->addWidget(m_scrollArea);

    m_content = new QWidget;
    m_content->setObjectName(QStringLiteral("todayContent"));
    m_content->setAutoFillBackground(true);
    m_content->setPalette(m_scrollArea->palette());
    const double side = LayoutTokens::spacingLG;
    auto *stack = today::vbox(m_content, LayoutTokens::spacingXL, QMarginsF(side, 0, side, 0));

    m_headerCard = new today::TodayHeaderCard;
    stack->addWidget(m_headerCard);

    m_listSlot = new QWidget;
    auto *slot = today::vbox(m_listSlot, 0);
    m_listCard = new today::TodayListCard;
    slot->addWidget(m_listCard);
    m_emptyHolder = new QWidget;
    m_emptyHolder->setObjectName(QStringLiteral("emptyHolder"));
    today::vbox(m_emptyHolder, 0, QMarginsF(0, LayoutTokens::spacingSM, 0, 0));
    slot->addWidget(m_emptyHolder);
    stack->addWidget(m_listSlot);

    m_insightsRow = new QWidget;
    m_insightsRow->setObjectName(QStringLiteral("insightsRow"));
    // As tall as its taller card (its layout grows only sideways): the cards' bottom spacers only even
    // them out and never take the screen's spare height, which goes to the flexible space below.
    // Side by side while both cards fit; in a narrow window one under the other, so no text is cut.
    new StackingRowLayout(m_insightsRow, int(LayoutTokens::spacingLG), int(LayoutTokens::spacingLG));
    stack->addWidget(m_insightsRow);

    today::addFlexibleSpace(stack, LayoutTokens::spacingXXXL);
    m_scrollArea->setWidget(m_content);
    connect(m_scrollArea->verticalScrollBar(), &QScrollBar::valueChanged, this, &ReminderListView::growRowsIfNeeded);
    connect(m_scrollArea->verticalScrollBar(), &QScrollBar::rangeChanged, this, &ReminderListView::growRowsIfNeeded);

    rebuild();
}

ReminderListView::~ReminderListView() = default;

void ReminderListView::setCelebrationManager(CelebrationManager *manager)
{
    m_celebrationManager = manager;
    if (isVisible())
        m_viewModel->setCelebrationManager(manager);
}

QList<std::shared_ptr<Reminder>> ReminderListView::queriedReminders() const
{
    return m_reminders->result();
}

QList<std::shared_ptr<ReminderLog>> ReminderListView::queriedLogs() const
{
    return m_logs->result();
}

QList<std::shared_ptr<Milestone>> ReminderListView::queriedMilestones() const
{
    return m_milestones->result();
}

void ReminderListView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    watchWindow();
    if (!event->spontaneous())
        appear();
    updateRefreshTimer(false);
}

void ReminderListView::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // A spontaneous hide is the window being minimised or unmapped: nothing to refresh for either.
    updateRefreshTimer(true);
}

bool ReminderListView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_watchedWindow && event->type() == QEvent::WindowStateChange)
        updateRefreshTimer(false);
    // A sheet over the window went away: the content is built again, as at any change of the screen.
    if (watched == m_watchedWindow && event->type() == QEvent::WindowUnblocked)
        scheduleRebuild();
    return QWidget::eventFilter(watched, event);
}

void ReminderListView::watchWindow()
{
    QWidget *top = window();
    if (top == m_watchedWindow || top == this)
        return;
    if (m_watchedWindow)
        m_watchedWindow->removeEventFilter(this);
    m_watchedWindow = top;
    top->installEventFilter(this);
}

void ReminderListView::updateRefreshTimer(bool hiding)
{
    const QWidget *top = window();
    const bool onScreen = !hiding && isVisible() && !(top && top->isMinimized());
    if (onScreen == m_refreshTimer->isActive())
        return;
    if (!onScreen) {
        m_refreshTimer->stop();
        m_refreshStopped = true;
        return;
    }
    m_refreshTimer->start();
    // Back on screen after a pause: the day may have moved on meanwhile.
    if (std::exchange(m_refreshStopped, false))
        refreshTick();
}

void ReminderListView::growRowsIfNeeded()
{
    if (!m_rowsCut || !today::nearScrollEnd(*m_scrollArea))
        return;
    m_rowsCut = false;
    m_rowLimit += rowBatch;
    scheduleRebuild();
}

void ReminderListView::appear()
{
    OVLIN_ASSERT_MAIN_THREAD();
    // Each appearance hands over the queries' current results, so changes made while hidden show at once.
    m_viewModel->setModelContext(m_context);
    m_viewModel->setReminders(queriedReminders());
    m_viewModel->setAllLogs(queriedLogs());
    m_viewModel->setMilestones(queriedMilestones());
    m_viewModel->setCelebrationManager(m_celebrationManager);
    // Built for showing, even when nothing above changed.
    scheduleRebuild();
}

void ReminderListView::refreshTick()
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_viewModel->refreshDate();
}

void ReminderListView::currentDateDidChange()
{
    const QString key = dayKey(m_viewModel->currentDate());
    if (key == m_dayKey)
        return;
    m_dayKey = key;
    // A new day starts with the completed block collapsed; rates and rewards move on with it.
    m_showAllCompleted = false;
    scheduleDataRebuild();
}

void ReminderListView::setShowAllCompleted(bool show)
{
    if (show == m_showAllCompleted)
        return;
    m_showAllCompleted = show;
    scheduleRebuild();
}

void ReminderListView::setRewardFilter(RewardFilter filter)
{
    if (filter == m_rewardFilter)
        return;
    m_rewardFilter = filter;
    scheduleDataRebuild();
}

// ---- rewards

RewardProgress ReminderListView::rewardProgress(const Milestone &milestone) const
{
    return MilestoneProgressService::shared().progressFraction(milestone, queriedReminders(), queriedLogs(),
                                                               m_viewModel->currentDate());
}

QList<std::shared_ptr<Milestone>> ReminderListView::rewardItems() const
{
    QList<std::shared_ptr<Milestone>> items;
    for (const auto &milestone : queriedMilestones()) {
        if (milestone && milestone->status() != MilestoneStatus::failed)
            items.append(milestone);
    }
    std::stable_sort(items.begin(), items.end(), [](const auto &a, const auto &b) {
        const bool aEarned = a->status() == MilestoneStatus::achieved;
        const bool bEarned = b->status() == MilestoneStatus::achieved;
        if (aEarned != bEarned)
            return aEarned;
        return a->startDate() > b->startDate();
    });
    return items;
}

QList<std::shared_ptr<Milestone>> ReminderListView::filteredRewardItems() const
{
    const QList<std::shared_ptr<Milestone>> items = rewardItems();
    if (m_rewardFilter == RewardFilter::all)
        return items;
    // Progress once per reward rather than at every comparison; the order is the same.
    QList<std::pair<std::shared_ptr<Milestone>, double>> running;
    for (const auto &milestone : items) {
        if (milestone->status() == MilestoneStatus::active)
            running.append({milestone, rewardProgress(*milestone).fraction});
    }
    std::stable_sort(running.begin(), running.end(), [](const auto &a, const auto &b) { return a.second > b.second; });
    QList<std::shared_ptr<Milestone>> result;
    for (const auto &entry : running)
        result.append(entry.first);
    return result;
}

QList<std::shared_ptr<Milestone>> ReminderListView::shownRewards() const
{
    QList<std::shared_ptr<Milestone>> list = filteredRewardItems();
    if (list.isEmpty())
        list = rewardItems();
    return list.mid(0, maxShownRewards);
}

// ---- drawing

QWidget *ReminderListView::headerCard() const
{
    return m_headerCard;
}

QWidget *ReminderListView::todayListCard() const
{
    return m_listCard->isVisibleTo(m_content) ? m_listCard : nullptr;
}

QWidget *ReminderListView::rewardsCard() const
{
    return m_rewardsCard;
}

QWidget *ReminderListView::momentumCard() const
{
    return m_momentumCard;
}

void ReminderListView::scheduleDataRebuild()
{
    m_dataDirty = true;
    scheduleRebuild();
}

void ReminderListView::scheduleRebuild()
{
    if (m_rebuildQueued)
        return;
    m_rebuildQueued = true;
    QMetaObject::invokeMethod(this, &ReminderListView::rebuild, Qt::QueuedConnection);
}

void ReminderListView::flushPendingRebuild()
{
    if (m_rebuildQueued)
        rebuild();
}

void ReminderListView::rebuildEmptyState()
{
    today::clearLayout(m_emptyHolder->layout());
    // A fresh phrase on every build that is shown, never the one shown last for the trigger. The screen is
    // also built once while hidden, when it is made: a phrase recorded then would count as shown unseen.
    const QString message = isVisible() ? CopyEngine::shared().text(CopyTrigger::emptyReminders) : QString();
    QPointer<ReminderListView> self(this);
    m_emptyState =
        new EmptyState(QStringLiteral("bell.slash"), QStringLiteral("OvlinThumb"),
                       QStringLiteral("Nothing lined up today"), message, QStringLiteral("New habit"), [self] {
                           if (self)
                               Q_EMIT self->newReminderRequested();
                       });
    m_emptyState->setObjectName(QStringLiteral("emptyState"));
    m_emptyHolder->layout()->addWidget(m_emptyState);
}

void ReminderListView::rebuild()
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_rebuildQueued = false;
    const bool full = std::exchange(m_dataDirty, false);
    const TodayLists lists = TodayLists::read(*m_viewModel);

    const int pending = int(lists.overdue.size() + lists.upcoming.size());
    m_headerCard->refresh(tipOfTheDay(m_viewModel->currentDate()), pending + int(lists.skipped.size()),
                          int(lists.completed.size()), int(lists.overdue.size()));

    const bool showList = !lists.todays.isEmpty();
    const bool switched = m_showedList && *m_showedList != showList;
    m_showedList = showList;
    if (!showList) {
        m_listCard->hide();
        m_rowsCut = false;
        rebuildEmptyState();
        m_emptyHolder->show();
        if (switched)
            today::fadeIn(m_emptyHolder, 1, 0.25);
    } else {
        m_emptyHolder->hide();
        today::clearLayout(m_emptyHolder->layout());
        m_emptyState = nullptr;
        QPointer<ReminderListView> self(this);
        m_rowsCut = m_listCard->refresh(
            m_viewModel, lists, m_showAllCompleted,
            [self] {
                if (self)
                    self->setShowAllCompleted(!self->m_showAllCompleted);
            },
            m_rowLimit);
        m_listCard->show();
        if (switched)
            today::fadeIn(m_listCard, 1, 0.25);
    }

    if (full || (m_momentumCard != nullptr) != showList) {
        auto *row = static_cast<QBoxLayout *>(m_insightsRow->layout());
        QList<today::KeyedItem> items;
        const QList<std::shared_ptr<Milestone>> rewards = shownRewards();
        QString rewardsKey;
        if (!rewards.isEmpty()) {
            // Everything the card shows of each reward, so an unchanged card keeps its widgets.
            QList<std::pair<std::shared_ptr<Milestone>, RewardProgress>> shown;
            rewardsKey = QStringLiteral("rewards|") + rawValue(m_rewardFilter);
            for (const auto &milestone : rewards) {
                const RewardProgress progress = rewardProgress(*milestone);
                shown.append({milestone, progress});
                const auto category = milestone->linkedCategory();
                const auto thumbnail = milestone->thumbnailData();
                rewardsKey += QLatin1Char('|') + milestone->id().toString(QUuid::WithoutBraces) + QLatin1Char('/') +
                              milestone->name() + QLatin1Char('/') + milestone->statusRaw() + QLatin1Char('/') +
                              QString::number(milestone->requireDays()) + QLatin1Char('/') +
                              QString::number(milestone->requirePercent(), 'g', 17) + QLatin1Char('/') +
                              (category ? ovlin::rawValue(*category) : QString()) + QLatin1Char('/') +
                              QString::number(qHash(thumbnail.value_or(QByteArray()))) + QLatin1Char('/') +
                              QString::number(progress.fraction, 'g', 17) + QLatin1Char('/') +
                              QString::number(progress.daysMet) + QLatin1Char('/') +
                              QString::number(progress.daysRemaining) + QLatin1Char('/') +
                              QString::number(int(progress.status));
            }
            QPointer<ReminderListView> self(this);
            const RewardFilter filter = m_rewardFilter;
            items.append({rewardsKey, [shown, filter, self]() -> QWidget * {
                              QList<std::shared_ptr<Milestone>> list;
                              for (const auto &entry : shown)
                                  list.append(entry.first);
                              return new today::RewardsCard(
                                  list,
                                  [shown](const Milestone &milestone) {
                                      for (const auto &entry : shown) {
                                          if (entry.first.get() == &milestone)
                                              return entry.second;
                                      }
                                      return RewardProgress{};
                                  },
                                  filter,
                                  [self](RewardFilter chosen) {
                                      if (self)
                                          self->setRewardFilter(chosen);
                                  });
                          }});
        }
        QString momentumKey;
        if (showList) {
            const double week = m_viewModel->completionRate(7);
            const double month = m_viewModel->completionRate(30);
            const qint64 streak = m_viewModel->streak();
            momentumKey =
                QStringLiteral("momentum|%1|%2|%3").arg(momentumPercent(week)).arg(momentumPercent(month)).arg(streak);
            items.append({momentumKey, [week, month, streak]() -> QWidget * {
                              return new today::MomentumCard(week, month, streak);
                          }});
        }
        m_insights.reconcile(row, 0, items, this);
        for (int i = 0; i < row->count(); ++i)
            row->setStretch(i, 1);
        m_rewardsCard =
            rewardsKey.isEmpty() ? nullptr : static_cast<today::RewardsCard *>(m_insights.widget(rewardsKey));
        m_momentumCard =
            momentumKey.isEmpty() ? nullptr : static_cast<today::MomentumCard *>(m_insights.widget(momentumKey));
    }
    m_insightsRow->setVisible(m_rewardsCard || m_momentumCard);
}

} // namespace ovlin
