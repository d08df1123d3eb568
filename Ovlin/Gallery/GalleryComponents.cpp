#include "Gallery/GalleryComponents.h"

#include "DesignSystem/CategoryBadge.h"
#include "DesignSystem/CheckOffButton.h"
#include "DesignSystem/DaySelector.h"
#include "DesignSystem/EmptyState.h"
#include "DesignSystem/NotificationPreview.h"
#include "DesignSystem/OvlinTimeField.h"
#include "DesignSystem/ProgressRing.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/TimePicker.h"

#include <QCoreApplication>
#include <QEnterEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include <limits>

namespace ovlin {

namespace {

// The widgets of one state side by side on the app background, with room around them.
QWidget *sheet(std::initializer_list<QWidget *> widgets, int width = 0)
{
    auto *page = new QWidget;
    page->setAutoFillBackground(true);
    QPalette palette = page->palette();
    palette.setColor(QPalette::Window, ThemeColors::background());
    page->setPalette(palette);
    auto *row = new QHBoxLayout(page);
    row->setContentsMargins(24, 24, 24, 24);
    row->setSpacing(16);
    for (QWidget *w : widgets)
        row->addWidget(w, 0, Qt::AlignVCenter);
    if (width > 0)
        page->setFixedWidth(width);
    // Nothing inside starts with keyboard focus unless a state asks for it.
    page->setFocusPolicy(Qt::ClickFocus);
    page->setFocus();
    return page;
}

void hover(QWidget *widget)
{
    const QPointF inside(widget->width() / 2.0, widget->height() / 2.0);
    QEnterEvent event(inside, inside, inside);
    QCoreApplication::sendEvent(widget, &event);
}

void focusLater(QWidget *widget)
{
    widget->setProperty("galleryFocusReason", int(Qt::TabFocusReason));
}

QDateTime sampleTime()
{
    return QDateTime(QDate(2024, 5, 14), QTime(7, 5), Qt::LocalTime);
}

QWidget *badges(BadgeSize size, bool showLabel)
{
    auto *page = sheet({});
    auto *row = static_cast<QHBoxLayout *>(page->layout());
    for (const ReminderCategory c : allReminderCategories)
        row->addWidget(new CategoryBadge(c, size, showLabel), 0, Qt::AlignVCenter);
    return page;
}

QWidget *ring(double progress, bool animated = false)
{
    return sheet({new ProgressRing(progress, 44, 4, ThemeColors::green500(), ThemeColors::neutral400(), animated),
                  new ProgressRing(progress, 80, 8, ThemeColors::primary(), ThemeColors::neutral300(), animated)});
}

using GalleryAdd = std::function<void(const QString &name, std::function<QWidget *()> make)>;

// Category badges and check-off buttons.
void addBadgesAndCheckOffs(const GalleryAdd &add)
{
    // Category badge: every category in each size, with and without its name.
    add(QStringLiteral("CategoryBadge-small"), [] { return badges(BadgeSize::small, true); });
    add(QStringLiteral("CategoryBadge-medium"), [] { return badges(BadgeSize::medium, true); });
    add(QStringLiteral("CategoryBadge-large"), [] { return badges(BadgeSize::large, true); });
    add(QStringLiteral("CategoryBadge-small-iconOnly"), [] { return badges(BadgeSize::small, false); });
    add(QStringLiteral("CategoryBadge-medium-iconOnly"), [] { return badges(BadgeSize::medium, false); });
    add(QStringLiteral("CategoryBadge-large-iconOnly"), [] { return badges(BadgeSize::large, false); });

    // Check-off button.
    add(QStringLiteral("CheckOffButton-open"), [] { return sheet({new CheckOffButton(false, {}, 24)}); });
    add(QStringLiteral("CheckOffButton-completed"), [] { return sheet({new CheckOffButton(true, {}, 24)}); });
    add(QStringLiteral("CheckOffButton-hovered"), [] {
        auto *open = new CheckOffButton(false, {}, 24);
        auto *done = new CheckOffButton(true, {}, 24);
        QWidget *page = sheet({open, done});
        hover(open);
        hover(done);
        return page;
    });
    add(QStringLiteral("CheckOffButton-pressed"), [] {
        // Just clicked: flipped to completed and shrunk for a moment.
        auto *button = new CheckOffButton(false, {}, 24);
        QWidget *page = sheet({button});
        button->click();
        return page;
    });
    add(QStringLiteral("CheckOffButton-sizes"), [] {
        return sheet({new CheckOffButton(true, {}, 20), new CheckOffButton(true, {}, 24),
                      new CheckOffButton(true, {}, 40), new CheckOffButton(false, {}, 20),
                      new CheckOffButton(false, {}, 24), new CheckOffButton(false, {}, 40)});
    });
}

// Day selectors and empty states.
void addDaySelectorsAndEmptyStates(const GalleryAdd &add)
{
    // Day selector.
    add(QStringLiteral("DaySelector-empty"), [] { return sheet({new DaySelector({})}); });
    add(QStringLiteral("DaySelector-weekdays"), [] {
        return sheet({new DaySelector(
            {Weekday::monday, Weekday::tuesday, Weekday::wednesday, Weekday::thursday, Weekday::friday})});
    });
    add(QStringLiteral("DaySelector-all"),
        [] { return sheet({new DaySelector(WeekdaySet(allWeekdays.begin(), allWeekdays.end()))}); });
    add(QStringLiteral("DaySelector-mixed"), [] {
        return sheet({new DaySelector({Weekday::tuesday, Weekday::saturday, Weekday::sunday})});
    });

    // Empty state.
    add(QStringLiteral("EmptyState-withButton"), [] {
        return sheet({new EmptyState(QStringLiteral("bell.fill"), std::nullopt, QStringLiteral("No habits yet"),
                                     QStringLiteral("Create your first habit and Ovlin will remind you at the right "
                                                    "moment."),
                                     QStringLiteral("Create habit"), [] {})},
                     720);
    });
    add(QStringLiteral("EmptyState-noButton"), [] {
        return sheet({new EmptyState(QStringLiteral("trophy"), std::nullopt, QStringLiteral("No rewards"),
                                     QStringLiteral("Rewards you set up show here."), QStringLiteral("Add"), {})},
                     720);
    });
    add(QStringLiteral("EmptyState-image"), [] {
        return sheet({new EmptyState(
                         QStringLiteral("trophy"), QStringLiteral("OvliIllu5"), QStringLiteral("Nothing earned yet"),
                         QStringLiteral("Keep going: your first reward is a few good days away."), std::nullopt, {})},
                     720);
    });
    add(QStringLiteral("EmptyState-longTexts"), [] {
        return sheet(
            {new EmptyState(QStringLiteral("list.bullet"), std::nullopt,
                            QStringLiteral("A rather long title that has no line limit and wraps when it must"),
                            QStringLiteral("This message is far too long for the card: it goes on and on about "
                                           "habits, reminders and rewards, so it must be cut to two lines "
                                           "within the message width."),
                            QStringLiteral("Create habit"), [] {})},
            560);
    });
}

// Notification previews and progress rings.
void addPreviewsAndRings(const GalleryAdd &add)
{
    // Notification preview.
    add(QStringLiteral("NotificationPreview-default"), [] {
        return sheet({new NotificationPreview(QStringLiteral("Drink water"),
                                              QStringLiteral("A glass now keeps the afternoon slump away."))},
                     480);
    });
    add(QStringLiteral("NotificationPreview-long"), [] {
        return sheet({new NotificationPreview(
                         QStringLiteral("A very long reminder title that cannot fit on one line of the preview"),
                         QStringLiteral("And a message long enough to need more than two lines, so the preview "
                                        "has to cut it off at the end of the second line with an ellipsis."))},
                     480);
    });
    add(QStringLiteral("NotificationPreview-emptyTitle"),
        [] { return sheet({new NotificationPreview(QString(), QStringLiteral("Only a message."))}, 480); });

    // Progress ring.
    add(QStringLiteral("ProgressRing-zero"), [] { return ring(0); });
    add(QStringLiteral("ProgressRing-quarter"), [] { return ring(0.25); });
    add(QStringLiteral("ProgressRing-half"), [] { return ring(0.5); });
    add(QStringLiteral("ProgressRing-twoThirds"), [] { return ring(2.0 / 3.0); });
    add(QStringLiteral("ProgressRing-full"), [] { return ring(1); });
    add(QStringLiteral("ProgressRing-overRange"), [] { return ring(1.7); });
    add(QStringLiteral("ProgressRing-nan"), [] { return ring(std::numeric_limits<double>::quiet_NaN()); });
    add(QStringLiteral("ProgressRing-animated"), [] { return ring(0.75, true); });
}

// Time fields and the time picker.
void addTimeControls(const GalleryAdd &add)
{
    // Time field and picker.
    add(QStringLiteral("OvlinTimeField-default"), [] { return sheet({new OvlinTimeField(sampleTime(), 5, 0)}); });
    add(QStringLiteral("OvlinTimeField-minWidth220"), [] {
        auto *field = new OvlinTimeField(sampleTime(), 5, 220);
        field->setAccessibleName(QStringLiteral("Quiet hours start"));
        return sheet({field});
    });
    add(QStringLiteral("OvlinTimeField-hourFocused"), [] {
        auto *field = new OvlinTimeField(sampleTime(), 5, 0);
        focusLater(field->hourEdit());
        return sheet({field});
    });
    add(QStringLiteral("OvlinTimeField-minuteFocused"), [] {
        auto *field = new OvlinTimeField(sampleTime(), 5, 0);
        focusLater(field->minuteEdit());
        return sheet({field});
    });
    add(QStringLiteral("TimePicker-default"),
        [] { return sheet({new TimePicker(sampleTime(), QStringLiteral("Reminder time"), 5)}, 480); });
}

} // namespace

void registerComponentGallery(std::function<void(const QString &name, std::function<QWidget *()> make)> add)
{
    addBadgesAndCheckOffs(add);
    addDaySelectorsAndEmptyStates(add);
    addPreviewsAndRings(add);
    addTimeControls(add);
}

} // namespace ovlin
