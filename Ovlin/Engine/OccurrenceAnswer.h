#pragma once

#include "Model/Enums.h"

#include <QDateTime>
#include <QString>

#include <memory>
#include <optional>

namespace ovlin {

class Reminder;

// A due time placed on the calendar once: its instant, the local calendar minute whose logs answer it,
// and the occurrence key its bookkeeping is kept under.
struct PlacedOccurrence
{
    QDateTime scheduledAt;
    qint64 instantMs = 0;
    std::optional<qint64> minuteKey; // DayTable::Local::minuteKey(); none for a time that cannot be placed
    QString key;
};

// One answer to one occurrence of a reminder, wherever it was given: a list (the today screen, the
// popover), a banner button, or a desktop notification. The place that takes the answer fills in the
// first block; ReminderPresentationService::answer places the occurrence once, applies the rules for an
// occurrence that is answered already, records the answer and hands the value back with its outcome, so
// the rest of that place's road (follow-ups, phrases, rewards) reads from it.
struct OccurrenceAnswer
{
    enum class Source { list, banner, notification };
    enum class Outcome {
        pending,   // not through the answer step yet
        recorded,  // logged (when there is a store) and the bookkeeping brought up to date
        redundant, // the occurrence was answered already: nothing written
        gone,      // the habit was deleted or the banner's store closed: nothing at all
    };

    Source source = Source::list;
    LogStatus status = LogStatus::completed; // completed, skipped or snoozed
    std::shared_ptr<Reminder> reminder{};
    QDateTime answeredAt{}; // read once where the answer was taken
    // The occurrence the answer names: a banner's due time, a notification's delivery. None for a list,
    // which answers the earliest open occurrence up to now (else now).
    std::optional<QDateTime> at{};
    qint64 snoozeMinutes = 0;

    // Filled in by the answer step.
    PlacedOccurrence occurrence{}; // the one the log is written for
    PlacedOccurrence held{};       // the one a snooze holds back
    Outcome outcome = Outcome::pending;

    bool recorded() const { return outcome == Outcome::recorded; }
};

} // namespace ovlin
