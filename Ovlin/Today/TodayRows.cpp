#include "Today/TodayRows.h"

#include "DesignSystem/CategoryBadge.h"
#include "DesignSystem/CheckOffButton.h"
#include "DesignSystem/DoubleClickGuard.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"
#include "Model/Reminder.h"
#include "ScreenParts/ReminderListViewModel.h"

#include <QBoxLayout>
#include <QMouseEvent>

namespace ovlin::today {

namespace {

using Ptr = std::shared_ptr<Reminder>;

void tag(QWidget *row, const char *form, const Reminder &reminder)
{
    row->setObjectName(QLatin1String(form));
    row->setProperty("reminderId", reminder.id().toString(QUuid::WithoutBraces));
}

QWidget *categoryTile(const Reminder &reminder)
{
    const ReminderCategory category = reminder.categoryValue();
    return new IconTile(LayoutTokens::iconTileSmall, LayoutTokens::radiusSM, ThemeColors::neutral200(),
                        CategoryBadge::iconName(category), ThemeFonts::headline(), ThemeColors::textPrimary());
}

// Title over the category's name.
QWidget *titleBlock(const Reminder &reminder)
{
    auto *block = new QWidget;
    auto *layout = vbox(block, LayoutTokens::spacingXS);
    layout->addWidget(singleLineText(reminder.title(), ThemeFonts::bodyEmphasis(), ThemeColors::textPrimary()));
    layout->addWidget(singleLineText(CategoryBadge::displayName(reminder.categoryValue()), ThemeFonts::subheadline(),
                                     ThemeColors::textSecondary()));
    block->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    return block;
}

QWidget *timeText(const Reminder &reminder, const QColor &color)
{
    const auto fixed = reminder.firingFixedTime();
    if (!fixed)
        return nullptr;
    auto *label = singleLineText(shortTime(*fixed), ThemeFonts::label(), color);
    label->setObjectName(QStringLiteral("timeText"));
    label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return label;
}

LabelButton *doneButton(ReminderListViewModel *model, const Ptr &reminder)
{
    LabelButton::Look look;
    look.font = ThemeFonts::label();
    look.textColor = ThemeColors::textOnPrimary();
    look.fill = ThemeColors::primary();
    look.radius = LayoutTokens::radiusButton;
    QPointer<ReminderListViewModel> guard(model);
    auto *button = new LabelButton(QStringLiteral("Done"), look, [guard, reminder] {
        if (guard)
            guard->complete(reminder, true);
    });
    button->setObjectName(QStringLiteral("doneButton"));
    button->setAccessibleName(doneAccessibilityLabel(reminder->title()));
    // Like every control of a row that answers: an answer rebuilds the list at once, so the second press
    // of a double-click would land on the next row's control.
    DoubleClickGuard::guard(button);
    return button;
}

} // namespace

QString skipAccessibilityLabel(const QString &title)
{
    return QStringLiteral("Skip %1").arg(title);
}

QString doneAccessibilityLabel(const QString &title)
{
    return QStringLiteral("Mark %1 as done").arg(title);
}

QString undoSkipAccessibilityLabel(const QString &title)
{
    return QStringLiteral("Undo skip for %1").arg(title);
}

// ---- open row

OpenRow::OpenRow(ReminderListViewModel *model, const Ptr &reminder, QWidget *parent)
    : RoundedPanel(ThemeColors::surfaceSubtle(), LayoutTokens::radiusMD, parent), m_model(model), m_reminder(reminder)
{
    const double pad = LayoutTokens::spacingMD;
    auto *layout = hbox(this, LayoutTokens::spacingSM, QMarginsF(pad, pad, pad, pad));
    layout->addWidget(categoryTile(*reminder));
    layout->addWidget(titleBlock(*reminder), 0, Qt::AlignVCenter);
    addFlexibleSpace(layout, LayoutTokens::spacingXS);
    if (QWidget *time = timeText(*reminder, ThemeColors::textSecondary()))
        layout->addWidget(time);

    const bool completed = model && model->isCompleted(*reminder);
    QPointer<ReminderListViewModel> guard(model);
    auto *check = new CheckOffButton(completed, {}, 36);
    // The row's state is the view model's: the control shows it but does not own it.
    check->setAction([guard, reminder, check] {
        if (!guard)
            return;
        guard->complete(reminder, true);
        check->setIsCompleted(guard->isCompleted(*reminder));
    });
    check->setEnabled(!completed);
    check->setObjectName(QStringLiteral("checkOff"));
    layout->addWidget(check);
    DoubleClickGuard::guard(check);
    DoubleClickGuard::guard(this);
}

bool OpenRow::hits(const QPoint &pos) const
{
    return Painting::roundedRect(QRectF(rect()), LayoutTokens::radiusMD).contains(QPointF(pos) + QPointF(0.5, 0.5));
}

void OpenRow::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton && hits(event->position().toPoint());
    event->setAccepted(m_pressed);
}

void OpenRow::mouseReleaseEvent(QMouseEvent *event)
{
    const bool tapped = m_pressed && event->button() == Qt::LeftButton && hits(event->position().toPoint());
    m_pressed = false;
    if (tapped)
        tap();
}

void OpenRow::tap()
{
    if (m_model && m_reminder && !m_model->isCompleted(*m_reminder))
        m_model->complete(m_reminder, true);
}

QWidget *makeOpenRow(ReminderListViewModel *model, const Ptr &reminder, QWidget *parent)
{
    auto *container = new QWidget(parent);
    tag(container, "openRow", *reminder);
    auto *layout = vbox(container, LayoutTokens::spacingXS);
    layout->addWidget(new OpenRow(model, reminder));
    if (model) {
        if (const auto phrase = model->completionCopy(*reminder)) {
            auto *text = wrappingText(*phrase, ThemeFonts::subheadline(), ThemeColors::primaryDark());
            text->setObjectName(QStringLiteral("completionCopy"));
            auto *padded = new QWidget;
            auto *padding = hbox(padded, 0, QMarginsF(LayoutTokens::spacingXL, 0, LayoutTokens::spacingXL, 0));
            padding->addWidget(text);
            layout->addWidget(padded);
        }
    }
    return container;
}

// ---- overdue row

QWidget *makeOverdueRow(ReminderListViewModel *model, const Ptr &reminder, QWidget *parent)
{
    auto *row = new RoundedPanel(ThemeColors::surfaceSubtle(), LayoutTokens::radiusMD, parent);
    tag(row, "overdueRow", *reminder);
    const double pad = LayoutTokens::spacingMD;
    auto *layout = hbox(row, LayoutTokens::spacingSM, QMarginsF(pad, pad, pad, pad));
    layout->addWidget(categoryTile(*reminder));
    layout->addWidget(titleBlock(*reminder), 0, Qt::AlignVCenter);
    addFlexibleSpace(layout, LayoutTokens::spacingXS);
    if (const auto fixed = reminder->firingFixedTime()) {
        auto *capsule = new Pill({{shortTime(*fixed), ThemeFonts::label(), ThemeColors::destructive()}}, 0,
                                 QMarginsF(LayoutTokens::spacingSM, 6, LayoutTokens::spacingSM, 6),
                                 Painting::withOpacity(ThemeColors::destructive(), 0.09), Qt::transparent);
        capsule->setObjectName(QStringLiteral("timeCapsule"));
        layout->addWidget(capsule);
    }

    LabelButton::Look skipLook;
    skipLook.font = ThemeFonts::label();
    skipLook.textColor = ThemeColors::destructive();
    skipLook.outline = Painting::withOpacity(ThemeColors::destructive(), 0.15);
    skipLook.radius = LayoutTokens::radiusButton;
    QPointer<ReminderListViewModel> guard(model);
    auto *skip = new LabelButton(QStringLiteral("Skip"), skipLook, [guard, reminder] {
        if (guard)
            guard->skip(reminder);
    });
    skip->setObjectName(QStringLiteral("skipButton"));
    skip->setAccessibleName(skipAccessibilityLabel(reminder->title()));
    DoubleClickGuard::guard(skip);
    layout->addWidget(skip);
    layout->addWidget(doneButton(model, reminder));
    return row;
}

// ---- skipped row

QWidget *makeSkippedRow(ReminderListViewModel *model, const Ptr &reminder, QWidget *parent)
{
    auto *row = new RoundedPanel(ThemeColors::surfaceSubtle(), LayoutTokens::radiusMD, parent);
    tag(row, "skippedRow", *reminder);
    const double pad = LayoutTokens::spacingLG;
    auto *outer = hbox(row, 0, QMarginsF(pad, pad, pad, pad));
    // Only the content is dimmed, not the fill.
    auto *content = new QWidget;
    content->setObjectName(QStringLiteral("skippedContent"));
    setOpacity(content, 0.85);
    outer->addWidget(content);
    auto *layout = hbox(content, LayoutTokens::spacingSM);

    auto *texts = new QWidget;
    auto *textLayout = vbox(texts, LayoutTokens::spacingXS);
    textLayout->addWidget(singleLineText(reminder->title(), ThemeFonts::bodyEmphasis(), ThemeColors::textPrimary()));
    textLayout->addWidget(new CategoryBadge(reminder->categoryValue(), BadgeSize::small, true), 0, Qt::AlignLeft);
    layout->addWidget(texts, 0, Qt::AlignVCenter);
    addFlexibleSpace(layout, LayoutTokens::spacingSM);

    LabelButton::Look undoLook;
    undoLook.font = ThemeFonts::label();
    undoLook.textColor = ThemeColors::textSecondary();
    undoLook.fill = ThemeColors::surfaceSubtle();
    undoLook.outline = ThemeColors::border();
    undoLook.radius = LayoutTokens::radiusButton;
    QPointer<ReminderListViewModel> guard(model);
    auto *undo = new LabelButton(QStringLiteral("Undo skip"), undoLook, [guard, reminder] {
        if (guard)
            guard->undoSkip(reminder);
    });
    undo->setObjectName(QStringLiteral("undoSkipButton"));
    undo->setAccessibleName(undoSkipAccessibilityLabel(reminder->title()));
    DoubleClickGuard::guard(undo);
    layout->addWidget(undo);
    layout->addWidget(doneButton(model, reminder));
    return row;
}

// ---- completed row

QWidget *makeCompletedRow(const Ptr &reminder, QWidget *parent)
{
    auto *row = new RoundedPanel(ThemeColors::surfaceSubtle(), LayoutTokens::radiusMD, parent);
    tag(row, "completedRow", *reminder);
    setOpacity(row, 0.9);
    const double pad = LayoutTokens::spacingMD;
    auto *layout = hbox(row, LayoutTokens::spacingSM, QMarginsF(pad, pad, pad, pad));
    layout->addWidget(new IconTile(LayoutTokens::iconTileSmall, LayoutTokens::radiusSM, ThemeColors::green200(),
                                   QStringLiteral("checkmark"), ThemeFonts::headline(), ThemeColors::green500()));
    layout->addWidget(singleLineText(reminder->title(), ThemeFonts::bodyEmphasis(), ThemeColors::textPrimary()), 0,
                      Qt::AlignVCenter);
    addFlexibleSpace(layout, LayoutTokens::spacingXS);
    if (QWidget *time = timeText(*reminder, ThemeColors::textSecondary()))
        layout->addWidget(time);
    return row;
}

} // namespace ovlin::today
