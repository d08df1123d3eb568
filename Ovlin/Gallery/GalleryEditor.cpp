// Gallery pages of the reminder editor: the sheet on each of its four steps.
#include "GalleryRegistry.h"

#include "Base/Days.h"
#include "Editor/ReminderFormView.h"
#include "Editor/ReminderFormViewModel.h"
#include "Model/Reminder.h"

#include <QUuid>

using namespace ovlin;

namespace {

// A sheet at the given size, moved on to `step` (the title is filled in so that every step is reachable).
ReminderFormView *sheetAt(int step, int height, std::shared_ptr<Reminder> reminder = nullptr, int width = 560)
{
    auto *sheet = new ReminderFormView(std::move(reminder));
    sheet->setFixedSize(width, height);
    auto *vm = sheet->viewModel();
    if (step > 1 && ReminderFormViewModel::isBlank(vm->title()))
        vm->setTitle(QStringLiteral("Drink water"));
    while (sheet->stepNumber() < step)
        sheet->goNext();
    return sheet;
}

std::shared_ptr<Reminder> sampleReminder()
{
    const QDate day(2026, 6, 10);
    return Reminder::create(QUuid::createUuid(), QStringLiteral("Stretch break"), ReminderCategory::movement,
                            std::nullopt, ScheduleType::combined, Days::atTime(day, 7, 30), qint64(45),
                            Days::atTime(day, 9, 0), Days::atTime(day, 17, 30),
                            {Weekday::monday, Weekday::wednesday, Weekday::friday}, true, Days::atTime(day, 7, 0));
}

QWidget *categoryPage()
{
    return sheetAt(1, 560);
}

QWidget *categoryEditPage()
{
    return sheetAt(1, 560, sampleReminder());
}

QWidget *namePage()
{
    auto *sheet = sheetAt(2, 720);
    sheet->viewModel()->setCategory(ReminderCategory::water);
    sheet->viewModel()->setTitle(QString());
    sheet->viewModel()->setScheduleType(ScheduleType::interval);
    return sheet;
}

QWidget *schedulePage()
{
    return sheetAt(3, 860, sampleReminder());
}

QWidget *scheduleNarrowPage()
{
    auto *sheet = sheetAt(3, 900, nullptr, 400);
    sheet->viewModel()->setScheduleType(ScheduleType::interval);
    sheet->viewModel()->setSelectedDays({});
    return sheet;
}

QWidget *previewPage()
{
    auto *sheet = sheetAt(4, 620);
    sheet->viewModel()->setTitle(QStringLiteral("  Drink water  "));
    sheet->viewModel()->setCategory(ReminderCategory::water);
    sheet->viewModel()->setSelectedDays(
        {Weekday::monday, Weekday::tuesday, Weekday::wednesday, Weekday::thursday, Weekday::friday, Weekday::saturday});
    return sheet;
}

QWidget *previewEditPage()
{
    auto *sheet = sheetAt(4, 620, sampleReminder());
    sheet->viewModel()->setIntervalEnd(sheet->viewModel()->intervalStart());
    return sheet;
}

} // namespace

OVLIN_GALLERY_PAGE(QStringLiteral("EditorCategory"), categoryPage)
OVLIN_GALLERY_PAGE(QStringLiteral("EditorCategoryEdit"), categoryEditPage)
OVLIN_GALLERY_PAGE(QStringLiteral("EditorName"), namePage)
OVLIN_GALLERY_PAGE(QStringLiteral("EditorSchedule"), schedulePage)
OVLIN_GALLERY_PAGE(QStringLiteral("EditorScheduleNarrow"), scheduleNarrowPage)
OVLIN_GALLERY_PAGE(QStringLiteral("EditorPreview"), previewPage)
OVLIN_GALLERY_PAGE(QStringLiteral("EditorPreviewEdit"), previewEditPage)
