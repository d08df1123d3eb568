#include "Copy/CopyEngine.h"

#include <utility>

namespace ovlin {

namespace {

bool isValid(CopyTrigger trigger)
{
    return ordinal(trigger) >= 0 && ordinal(trigger) < copyTriggerCount;
}

std::size_t index(CopyTrigger trigger)
{
    return static_cast<std::size_t>(ordinal(trigger));
}

void fillText(QString &text, const QString &placeholder, const std::optional<QString> &value)
{
    if (value)
        text.replace(placeholder, *value);
}

void fillNumber(QString &text, const QString &placeholder, const std::optional<qint64> &value)
{
    if (value)
        text.replace(placeholder, QString::number(*value));
}

} // namespace

CopyEngine &CopyEngine::shared()
{
    static CopyEngine engine;
    return engine;
}

CopyEngine::CopyEngine(std::shared_ptr<RandomSource> random)
{
    setRandomSource(std::move(random));
}

void CopyEngine::setRandomSource(std::shared_ptr<RandomSource> random)
{
    m_random = random ? std::move(random) : systemRandomSource();
}

QStringList CopyEngine::pool(CopyTrigger trigger)
{
    if (!isValid(trigger))
        return {};
    return pools()[index(trigger)];
}

QString CopyEngine::fillPlaceholders(const QString &text, const CopyContext &context)
{
    // Each step works on the result of the one before, so a value holding a later step's
    // placeholder is filled again by that step.
    QString result = text;
    fillText(result, QStringLiteral("[habit_name]"), context.habitName);
    fillText(result, QStringLiteral("[meal_name]"), context.habitName);
    fillText(result, QStringLiteral("[snack_name]"), context.habitName);
    fillText(result, QStringLiteral("[title]"), context.habitName);
    fillText(result, QStringLiteral("[reward_name]"), context.rewardName);
    fillNumber(result, QStringLiteral("[streak_count]"), context.streakCount);
    fillNumber(result, QStringLiteral("[remaining]"), context.remaining);
    if (context.remaining)
        result.replace(QStringLiteral("day[s]"),
                       *context.remaining == 1 ? QStringLiteral("day") : QStringLiteral("days"));
    fillNumber(result, QStringLiteral("[missed_count]"), context.missedCount);
    fillNumber(result, QStringLiteral("[current]"), context.current);
    fillNumber(result, QStringLiteral("[required]"), context.required);
    if (context.progressPercent)
        result.replace(QStringLiteral("[progress_percent]"), QString::number(*context.progressPercent) + u'%');
    fillText(result, QStringLiteral("[duration]"), context.duration);
    fillText(result, QStringLiteral("[time_since_last]"), context.timeSinceLast);
    fillText(result, QStringLiteral("[meal_time]"), context.mealTime);
    return result;
}

QStringList CopyEngine::fillTexts(const QStringList &texts, const CopyContext &context)
{
    QStringList filled;
    filled.reserve(texts.size());
    for (const QString &text : texts)
        filled.append(fillPlaceholders(text, context));
    return filled;
}

QString CopyEngine::pickText(const QStringList &texts, CopyTrigger trigger) const
{
    if (texts.isEmpty())
        return {};
    if (texts.size() == 1)
        return texts.first();

    QStringList candidates = texts;
    if (const std::optional<QString> last = lastShown(trigger)) {
        candidates.removeAll(*last);
        // A list of nothing but the last text still gives a text.
        if (candidates.isEmpty())
            candidates = texts;
    }
    const quint64 chosen = uniformIndex(*m_random, static_cast<quint64>(candidates.size()));
    return candidates.at(static_cast<qsizetype>(chosen));
}

std::optional<QString> CopyEngine::lastShown(CopyTrigger trigger) const
{
    if (!isValid(trigger))
        return std::nullopt;
    return m_lastShown[index(trigger)];
}

void CopyEngine::recordShown(CopyTrigger trigger, const QString &text)
{
    if (isValid(trigger))
        m_lastShown[index(trigger)] = text;
}

QString CopyEngine::text(CopyTrigger trigger, const CopyContext &context)
{
    const QString picked = pickText(fillTexts(pool(trigger), context), trigger);
    recordShown(trigger, picked);
    return picked;
}

QString CopyEngine::categoryText(ReminderCategory category) const
{
    const int categoryIndex = static_cast<int>(category);
    if (categoryIndex < 0 || categoryIndex >= categoryCount)
        return {};
    const QStringList &lines = categoryTexts()[static_cast<std::size_t>(categoryIndex)];
    const quint64 chosen = uniformIndex(*m_random, static_cast<quint64>(lines.size()));
    return lines.at(static_cast<qsizetype>(chosen));
}

CopyTrigger completionTrigger(ReminderCategory category)
{
    switch (category) {
    case ReminderCategory::meal: return CopyTrigger::mealCompleted;
    case ReminderCategory::water: return CopyTrigger::waterCompleted;
    case ReminderCategory::movement: return CopyTrigger::movementCompleted;
    case ReminderCategory::meditation: return CopyTrigger::meditationCompleted;
    case ReminderCategory::snack:
    case ReminderCategory::general: return CopyTrigger::habitCompleted;
    }
    return CopyTrigger::habitCompleted;
}

} // namespace ovlin
