#include "Today/HabitListView.h"

#include "Base/Log.h"
#include "Base/MainThread.h"
#include "Copy/CopyEngine.h"
#include "DesignSystem/CategoryBadge.h"
#include "DesignSystem/EmptyState.h"
#include "DesignSystem/IconRegistry.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/OvlinButton.h"
#include "DesignSystem/OvlinCard.h"
#include "DesignSystem/OvlinConfirmationDialog.h"
#include "DesignSystem/OvlinConfirmationOverlay.h"
#include "DesignSystem/OvlinSwitch.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"
#include "Model/Reminder.h"
#include "Platform/LiveQuery.h"
#include "Platform/Store.h"
#include "ScreenParts/ReminderListViewModel.h"
#include "ScreenParts/TodayWidgets.h"

#include <QBoxLayout>
#include <QGridLayout>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>

#include <algorithm>

namespace ovlin {

namespace {

today::Pill *counterPill(const QString &value, const QString &label, bool highlighted)
{
    const double h = LayoutTokens::spacingLG;
    const double v = LayoutTokens::spacingSM;
    auto *pill = new today::Pill(
        {{value, ThemeFonts::headline(), ThemeColors::textPrimary()},
         {label, ThemeFonts::callout(), highlighted ? ThemeColors::textPrimary() : ThemeColors::textSecondary()}},
        LayoutTokens::spacingXS, QMarginsF(h, v, h, v), highlighted ? ThemeColors::green200() : ThemeColors::surface(),
        highlighted ? ThemeColors::green300() : ThemeColors::border());
    pill->setObjectName(QStringLiteral("counterPill"));
    return pill;
}

today::Pill *smallCapsule(const QString &text, const QFont &font, const QColor &color, const QColor &fill)
{
    const double h = LayoutTokens::spacingSM;
    const double v = LayoutTokens::spacingXS;
    return new today::Pill({{text, font, color}}, 0, QMarginsF(h, v, h, v), fill, Qt::transparent);
}

} // namespace

// ---- texts

QString HabitListView::weekdayLetter(Weekday day)
{
    switch (day) {
    case Weekday::monday: return QStringLiteral("M");
    case Weekday::tuesday: return QStringLiteral("T");
    case Weekday::wednesday: return QStringLiteral("W");
    case Weekday::thursday: return QStringLiteral("T");
    case Weekday::friday: return QStringLiteral("F");
    case Weekday::saturday: return QStringLiteral("S");
    case Weekday::sunday: return QStringLiteral("S");
    }
    return {};
}

QString HabitListView::scheduleSummary(const Reminder &reminder)
{
    switch (reminder.scheduleTypeValue()) {
    case ScheduleType::fixedTime: {
        const auto fixed = reminder.fixedTime();
        return fixed && fixed->isValid() ? today::shortTime(*fixed) : QStringLiteral("Fixed time");
    }
    case ScheduleType::interval: {
        const auto minutes = reminder.intervalMinutes();
        return minutes ? QStringLiteral("Every %1 min").arg(*minutes) : QStringLiteral("Interval");
    }
    case ScheduleType::combined: return QStringLiteral("Combined");
    }
    return QStringLiteral("Fixed time");
}

QString HabitListView::daysSummary(const QList<Weekday> &days)
{
    // Seven entries with a day repeated are not every day: count the days, not the entries.
    const bool everyDay =
        std::all_of(allWeekdays.cbegin(), allWeekdays.cend(), [&days](Weekday day) { return days.contains(day); });
    if (everyDay)
        return QStringLiteral("Every day");
    QStringList letters;
    for (const Weekday day : allWeekdays) {
        if (days.contains(day))
            letters << weekdayLetter(day);
    }
    return letters.join(QLatin1Char(' '));
}

// ---- screen

HabitListView::HabitListView(StoreContext *context, QWidget *parent) : QWidget(parent), m_context(context)
{
    OVLIN_ASSERT_MAIN_THREAD();
    QString error;
    m_placeholderStore = StoreContainer::openInMemory(&error);
    if (!m_placeholderStore)
        qCWarning(lcUi) << "No placeholder store for the habits screen:" << error;
    m_viewModel = new ReminderListViewModel(m_placeholderStore ? m_placeholderStore->mainContext() : nullptr, this);

    m_reminders = new LiveQuery<Reminder>(
        context, {}, [](const Reminder &a, const Reminder &b) { return a.createdAt() < b.createdAt(); }, this);
    connect(m_reminders, &LiveQueryBase::resultChanged, this, [this] {
        m_viewModel->setReminders(m_reminders->result());
        scheduleRebuild();
    });
    if (context)
        connect(context, &StoreContext::objectsChanged, this, &HabitListView::scheduleRebuild);
    connect(m_viewModel, &ReminderListViewModel::changed, this, &HabitListView::scheduleRebuild);

    auto *outer = today::vbox(this, 0);
    m_scrollArea = today::screenScrollArea(this, QStringLiteral("habitsScroll"));
    outer->addWidget(m_scrollArea);

    m_content = new QWidget;
    m_content->setObjectName(QStringLiteral("habitsContent"));
    m_content->setAutoFillBackground(true);
    m_content->setPalette(m_scrollArea->palette());
    const double side = LayoutTokens::spacingLG;
    auto *stack = today::vbox(m_content, LayoutTokens::spacingXXL, QMarginsF(side, 0, side, 0));
    stack->addWidget(makeHeaderCard());
    m_sections = new QWidget;
    m_sections->setObjectName(QStringLiteral("habitSections"));
    today::vbox(m_sections, LayoutTokens::spacingXXL);
    stack->addWidget(m_sections);
    today::addFlexibleSpace(stack, LayoutTokens::spacingXXXL);
    m_scrollArea->setWidget(m_content);
    connect(m_scrollArea->verticalScrollBar(), &QScrollBar::valueChanged, this, &HabitListView::growRowsIfNeeded);
    connect(m_scrollArea->verticalScrollBar(), &QScrollBar::rangeChanged, this, &HabitListView::growRowsIfNeeded);

    rebuild();
}

void HabitListView::growRowsIfNeeded()
{
    if (!m_rowsCut || !today::nearScrollEnd(*m_scrollArea))
        return;
    m_rowsCut = false;
    m_rowLimit += rowBatch;
    scheduleRebuild();
}

QString HabitListView::habitRowKey(const Reminder &reminder)
{
    return reminder.id().toString(QUuid::WithoutBraces) + QLatin1Char('|') + reminder.title() + QLatin1Char('|') +
           (reminder.isActive() ? QLatin1String("active") : QLatin1String("paused")) + QLatin1Char('|') +
           scheduleSummary(reminder) + QLatin1Char('|') + daysSummary(reminder.activeDays());
}

HabitListView::~HabitListView() = default;

QList<std::shared_ptr<Reminder>> HabitListView::queriedReminders() const
{
    return m_reminders->result();
}

QList<std::shared_ptr<Reminder>> HabitListView::activeReminders() const
{
    QList<std::shared_ptr<Reminder>> active;
    for (const auto &reminder : queriedReminders()) {
        if (reminder->isActive())
            active.append(reminder);
    }
    return active;
}

QList<ReminderCategory> HabitListView::activeCategories() const
{
    const auto reminders = queriedReminders();
    QList<ReminderCategory> categories;
    for (const ReminderCategory category : allReminderCategories) {
        if (std::any_of(reminders.cbegin(), reminders.cend(),
                        [category](const auto &r) { return r->categoryValue() == category; }))
            categories.append(category);
    }
    return categories;
}

QList<std::shared_ptr<Reminder>> HabitListView::habits(ReminderCategory category) const
{
    QList<std::shared_ptr<Reminder>> result;
    for (const auto &reminder : queriedReminders()) {
        if (reminder->categoryValue() == category)
            result.append(reminder);
    }
    std::stable_sort(result.begin(), result.end(),
                     [](const auto &a, const auto &b) { return a->createdAt() < b->createdAt(); });
    return result;
}

void HabitListView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        appear();
}

void HabitListView::appear()
{
    m_viewModel->setModelContext(m_context);
    m_viewModel->setReminders(queriedReminders());
    // Built for showing, even when nothing above changed.
    scheduleRebuild();
}

// ---- delete confirmation

void HabitListView::requestDelete(const std::shared_ptr<Reminder> &reminder)
{
    // A confirmation on screen keeps asking about its own habit until it is answered.
    if (!reminder || m_pendingDelete)
        return;
    m_pendingDelete = reminder;
    showConfirmation(true);
}

void HabitListView::cancelDelete()
{
    m_pendingDelete.reset();
    showConfirmation(false);
}

void HabitListView::confirmDelete()
{
    if (const auto reminder = std::exchange(m_pendingDelete, nullptr))
        m_viewModel->delete_(reminder);
    showConfirmation(false);
}

void HabitListView::showConfirmation(bool show)
{
    if (!show) {
        // Called from the dialog's own buttons: it fades out and goes after their handlers have returned.
        if (m_overlay)
            m_overlay->dismiss();
        m_overlay = nullptr;
        return;
    }
    if (m_overlay)
        return;
    m_overlay = OvlinConfirmationOverlay::askToDelete(
        this, QStringLiteral("Delete habit?"),
        QStringLiteral("This habit will be removed completely. If that's the plan, fine."), [this] { cancelDelete(); },
        [this] { confirmDelete(); });
    m_overlay->setObjectName(QStringLiteral("deleteConfirmation"));
    m_overlay->present();
}

OvlinConfirmationDialog *HabitListView::confirmationDialog() const
{
    return m_overlay ? m_overlay->dialog() : nullptr;
}

QWidget *HabitListView::dimmingLayer() const
{
    return m_overlay;
}

// ---- drawing

void HabitListView::scheduleRebuild()
{
    if (m_rebuildQueued)
        return;
    m_rebuildQueued = true;
    QMetaObject::invokeMethod(this, &HabitListView::rebuild, Qt::QueuedConnection);
}

void HabitListView::flushPendingRebuild()
{
    if (m_rebuildQueued)
        rebuild();
}

QWidget *HabitListView::makeHeaderCard()
{
    auto *content = new QWidget;
    auto *grid = new QGridLayout(content);
    grid->setContentsMargins(0, 0, 0, 0);

    auto *column = new QWidget;
    auto *stack = today::vbox(column, LayoutTokens::spacingXL);
    auto *texts = new QWidget;
    // The title and subtitle lines beside the button wrap short of it, which would otherwise cover their
    // ends; lines below it take the whole width. A gap of 4 keeps the subtitle on one line at 860 wide.
    auto *textStack = new today::CornerColumnLayout(texts, LayoutTokens::spacingSM);
    textStack->addWidget(
        today::wrappingText(QStringLiteral("Habits"), ThemeFonts::title(), ThemeColors::textPrimary()));
    textStack->addWidget(
        today::wrappingText(QStringLiteral("Add, edit, pause, or delete the stuff you're trying to get right."),
                            ThemeFonts::callout(), ThemeColors::textSecondary()));
    stack->addWidget(texts);
    m_counters = new QWidget;
    m_counters->setObjectName(QStringLiteral("habitCounters"));
    today::hbox(m_counters, LayoutTokens::spacingSM);
    stack->addWidget(m_counters);
    grid->addWidget(column, 0, 0);

    QPointer<HabitListView> self(this);
    m_newHabitButton = new OvlinButton(QStringLiteral("New habit"), OvlinButtonStyle::primary, OvlinButtonSize::large,
                                       false, false, [self] {
                                           if (self)
                                               Q_EMIT self->newHabitRequested();
                                       });
    m_newHabitButton->setFixedWidth(int(LayoutTokens::addButtonWidth));
    textStack->setCorner(
        QSizeF(LayoutTokens::addButtonWidth + LayoutTokens::spacingXS, m_newHabitButton->sizeHint().height()));
    m_newHabitButton->setAccessibleName(QStringLiteral("Add new habit"));
    grid->addWidget(m_newHabitButton, 0, 0, Qt::AlignTop | Qt::AlignRight);

    auto *card = new OvlinCard(LayoutTokens::spacingXXL, ThemeColors::surface(), {}, true, false, content);
    card->setObjectName(QStringLiteral("habitsHeaderCard"));
    return card;
}

QWidget *HabitListView::makeCategorySection(ReminderCategory category)
{
    auto *content = new QWidget;
    content->setObjectName(QStringLiteral("sectionContent"));
    today::vbox(content, LayoutTokens::spacingLG);
    auto *card = new OvlinCard(LayoutTokens::spacingXL, ThemeColors::surface(), {}, true, true, content);
    card->setObjectName(QStringLiteral("categorySection"));
    card->setProperty("category", ovlin::rawValue(category));
    return card;
}

QWidget *HabitListView::makeSectionHeader(ReminderCategory category, qsizetype count)
{

    auto *header = new QWidget;
    auto *headerRow = today::hbox(header, LayoutTokens::spacingSM, QMarginsF(0, LayoutTokens::spacingXS, 0, 0));
    const double glyph = IconRegistry::symbolSize(ThemeFonts::heading());
    headerRow->addWidget(new today::IconTile(glyph, 0, Qt::transparent, CategoryBadge::iconName(category),
                                             ThemeFonts::heading(), ThemeColors::textPrimary()),
                         0, Qt::AlignVCenter);
    headerRow->addWidget(today::singleLineText(CategoryBadge::displayName(category), ThemeFonts::cardTitle(),
                                               ThemeColors::textPrimary()),
                         0, Qt::AlignVCenter);
    auto *countPill = smallCapsule(QString::number(count), ThemeFonts::subheadline(), ThemeColors::textSecondary(),
                                   ThemeColors::surfaceMuted());
    countPill->setObjectName(QStringLiteral("sectionCount"));
    headerRow->addWidget(countPill, 0, Qt::AlignVCenter);
    headerRow->addStretch(1);
    return header;
}

QWidget *HabitListView::makeHabitRow(const std::shared_ptr<Reminder> &reminder)
{
    const bool active = reminder->isActive();
    auto *row = new today::RoundedPanel(ThemeColors::surface(), LayoutTokens::radiusLG);
    row->setOutline(ThemeColors::borderSubtle(), 1);
    row->setObjectName(QStringLiteral("habitRow"));
    row->setProperty("reminderId", reminder->id().toString(QUuid::WithoutBraces));
    row->setAccessibleName(reminder->title() + QStringLiteral(", ") +
                           (active ? QStringLiteral("active") : QStringLiteral("inactive")));
    const double h = LayoutTokens::spacingXL;
    const double v = LayoutTokens::spacingLG;
    // The switch and the texts lead; the buttons trail, and go under them where the row is too narrow
    // for both side by side (a small window).
    auto *rowLayout =
        new today::WrappingRowLayout(row, LayoutTokens::spacingLG, LayoutTokens::spacingSM, QMarginsF(h, v, h, v));
    auto *lead = new QWidget;
    auto *layout = today::hbox(lead, LayoutTokens::spacingLG);

    QPointer<ReminderListViewModel> model(m_viewModel);
    auto *toggle = new OvlinSwitch(0.92);
    toggle->setChecked(active);
    // Flipping the switch rebuilds its row (the row's key names the state): the new switch goes on from
    // where the old one's knob is, so the knob slides instead of jumping.
    QPointer<OvlinSwitch> &shown = m_switches[reminder->id()];
    if (shown)
        toggle->slideFrom(shown->knobPosition());
    shown = toggle;
    toggle->setObjectName(QStringLiteral("activeSwitch"));
    toggle->setAccessibleName(active ? QStringLiteral("Active") : QStringLiteral("Inactive"));
    connect(toggle, &QAbstractButton::clicked, this, [model, reminder](bool on) {
        if (model)
            model->setActive(on, reminder);
    });
    layout->addWidget(toggle, 0, Qt::AlignVCenter);

    auto *column = new QWidget;
    column->setObjectName(QStringLiteral("habitTexts"));
    today::setOpacity(column, active ? 1.0 : 0.68);
    auto *texts = today::vbox(column, LayoutTokens::spacingXS);
    texts->addWidget(today::singleLineText(reminder->title(), ThemeFonts::headline(),
                                           active ? ThemeColors::textPrimary() : ThemeColors::textSecondary()));
    auto *details = new QWidget;
    // Short of room beside the buttons, the line goes on to a second one rather than cut a word.
    auto *detailRow = new today::FlowRowLayout(details, LayoutTokens::spacingSM, LayoutTokens::spacingXS);
    auto *schedule = today::readableSingleLineText(scheduleSummary(*reminder), ThemeFonts::subheadline(),
                                                   ThemeColors::textSecondary());
    schedule->setObjectName(QStringLiteral("scheduleText"));
    detailRow->addWidget(schedule);
    auto *status = smallCapsule(active ? QStringLiteral("Active") : QStringLiteral("Paused"), ThemeFonts::label(),
                                active ? ThemeColors::primaryDark() : ThemeColors::textTertiary(),
                                active ? ThemeColors::neutral200() : ThemeColors::surfaceMuted());
    status->setObjectName(QStringLiteral("statusPill"));
    detailRow->addWidget(status);
    auto *days = today::readableSingleLineText(daysSummary(reminder->activeDays()), ThemeFonts::subheadline(),
                                               ThemeColors::textTertiary());
    days->setObjectName(QStringLiteral("daysText"));
    detailRow->addWidget(days);
    texts->addWidget(details);
    layout->addWidget(column, 0, Qt::AlignVCenter);
    layout->addStretch(1);

    auto *buttons = new QWidget;
    auto *buttonRow = today::hbox(buttons, LayoutTokens::spacingXS);
    QPointer<HabitListView> self(this);
    auto *remove = new OvlinButton(QStringLiteral("Delete"), OvlinButtonStyle::destructive, OvlinButtonSize::small,
                                   false, false, [self, reminder] {
                                       if (self)
                                           self->requestDelete(reminder);
                                   });
    remove->setFixedWidth(int(LayoutTokens::deleteActionWidth));
    remove->setAccessibleName(QStringLiteral("Delete %1").arg(reminder->title()));
    remove->setObjectName(QStringLiteral("deleteButton"));
    auto *edit = new OvlinButton(QStringLiteral("Edit"), OvlinButtonStyle::secondary, OvlinButtonSize::small, false,
                                 false, [self, reminder] {
                                     if (self)
                                         Q_EMIT self->editRequested(reminder);
                                 });
    edit->setFixedWidth(int(LayoutTokens::editActionWidth));
    edit->setAccessibleName(QStringLiteral("Edit %1").arg(reminder->title()));
    edit->setObjectName(QStringLiteral("editButton"));
    buttonRow->addWidget(remove);
    buttonRow->addWidget(edit);
    rowLayout->addWidget(lead);
    rowLayout->addWidget(buttons);
    // Beside the buttons the schedule and days texts are whole, on one line or two (a long title may end
    // in an ellipsis); otherwise the buttons go under them, so no row shows a short word cut and its
    // neighbours not.
    rowLayout->setLeadingNeeds(toggle->sizeHint().width() + int(LayoutTokens::spacingLG) + detailRow->widthForLines(2));
    return row;
}

void HabitListView::rebuild()
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_rebuildQueued = false;
    ++m_builds;
    const QList<std::shared_ptr<Reminder>> reminders = queriedReminders();

    const auto total = reminders.size();
    const auto live = activeReminders().size();
    // The counters stay as they are while their numbers do.
    if (const QList<int> counts{int(total), int(live)}; counts != m_counts) {
        m_counts = counts;
        auto *counterRow = static_cast<QBoxLayout *>(m_counters->layout());
        today::clearLayout(counterRow);
        counterRow->addWidget(counterPill(QString::number(total), QStringLiteral("Total"), false));
        counterRow->addWidget(counterPill(QString::number(live), QStringLiteral("Live"), true));
        counterRow->addWidget(counterPill(QString::number(total - live), QStringLiteral("Paused"), false));
        counterRow->addStretch(1);
    }

    auto *sections = static_cast<QBoxLayout *>(m_sections->layout());
    QList<today::KeyedItem> items;
    QList<std::pair<ReminderCategory, QList<std::shared_ptr<Reminder>>>> shown;
    int budget = m_rowLimit;
    m_rowsCut = false;
    m_emptyState = nullptr;
    if (reminders.isEmpty()) {
        QPointer<HabitListView> self(this);
        // A fresh phrase each time this part is built to be shown. The screen is also built while hidden,
        // when it is made: a phrase recorded then would count as shown unseen.
        const bool forShowing = isVisible();
        items.append({QStringLiteral("empty|%1").arg(m_builds), [self, forShowing]() -> QWidget * {
                          const QString message =
                              forShowing ? CopyEngine::shared().text(CopyTrigger::emptyReminders) : QString();
                          auto *empty = new EmptyState(QStringLiteral("list.bullet"), std::nullopt,
                                                       QStringLiteral("No habits yet"), message,
                                                       QStringLiteral("Add your first habit"), [self] {
                                                           if (self)
                                                               Q_EMIT self->newHabitRequested();
                                                       });
                          empty->setObjectName(QStringLiteral("emptyState"));
                          return empty;
                      }});
    } else {
        for (const ReminderCategory category : activeCategories()) {
            if (budget <= 0) {
                m_rowsCut = true;
                break;
            }
            QList<std::shared_ptr<Reminder>> list = habits(category);
            if (list.size() > budget) {
                list = list.mid(0, budget);
                m_rowsCut = true;
            }
            budget -= int(list.size());
            shown.append({category, list});
            QPointer<HabitListView> self(this);
            items.append({QStringLiteral("section|") + ovlin::rawValue(category), [self, category]() -> QWidget * {
                              if (self)
                                  self->m_sectionRows.insert(int(category), std::make_shared<today::KeyedWidgets>());
                              return self ? self->makeCategorySection(category) : new QWidget;
                          }});
        }
    }
    m_sectionItems.reconcile(sections, 0, items, m_scrollArea);
    if (reminders.isEmpty())
        m_emptyState = static_cast<EmptyState *>(m_sectionItems.widget(items.first().key));

    for (const auto &[category, list] : shown) {
        QWidget *card = m_sectionItems.widget(QStringLiteral("section|") + ovlin::rawValue(category));
        auto *content = card ? card->findChild<QWidget *>(QStringLiteral("sectionContent")) : nullptr;
        auto rows = m_sectionRows.value(int(category));
        if (!content || !rows)
            continue;
        const qsizetype count = habits(category).size();
        QList<today::KeyedItem> rowItems;
        QPointer<HabitListView> self(this);
        rowItems.append({QStringLiteral("header|%1").arg(count), [self, category, count]() -> QWidget * {
                             return self ? self->makeSectionHeader(category, count) : new QWidget;
                         }});
        for (const auto &reminder : list) {
            rowItems.append({habitRowKey(*reminder), [self, reminder]() -> QWidget * {
                                 return self ? self->makeHabitRow(reminder) : new QWidget;
                             }});
        }
        rows->reconcile(static_cast<QBoxLayout *>(content->layout()), 0, rowItems, card);
    }
}

} // namespace ovlin
