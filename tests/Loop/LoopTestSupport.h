#pragma once

#include "Engine/EngineTestSupport.h"

#include "Model/ReminderLog.h"

#include <QStringList>

// Helpers of the presentation-loop tests (TZ=Europe/Berlin, like the engine tests).
namespace looptest {

using namespace ovlin;
using namespace enginetest;

// "09:00 snoozed" for every log of the reminder, in the order they joined it.
inline QStringList logLines(const Reminder &reminder)
{
    QStringList lines;
    for (const auto &log : reminder.logs())
        lines << log->scheduledAt().toLocalTime().toString(QStringLiteral("HH:mm")) + QLatin1Char(' ') +
                     log->statusRaw();
    return lines;
}

} // namespace looptest
