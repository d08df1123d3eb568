#pragma once

#include "Copy/CopyContext.h"
#include "Copy/CopyTrigger.h"
#include "Copy/RandomSource.h"
#include "Model/Enums.h"

#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <optional>

namespace ovlin {

// The one operation every phrase engine offers. Callers use CopyEngine directly.
class CopyEngineProtocol
{
public:
    virtual ~CopyEngineProtocol() = default;
    virtual QString text(CopyTrigger trigger, const CopyContext &context) = 0;
};

// The phrase engine: a fixed pool of texts per trigger, placeholder filling, and a pick that never
// hands out, for one trigger, the text it handed out last (as long as the pool has another).
// Main thread only.
class CopyEngine final : public CopyEngineProtocol
{
public:
    static constexpr int categoryCount = 6;
    static constexpr int linesPerCategory = 3;

    // The engine the application uses, created on first use with the system's secure random source.
    static CopyEngine &shared();

    // A separate engine with an empty memory; a null source means the system's secure source.
    explicit CopyEngine(std::shared_ptr<RandomSource> random = nullptr);
    CopyEngine(const CopyEngine &) = delete;
    CopyEngine &operator=(const CopyEngine &) = delete;

    // Replaces the random source (null restores the system's secure source).
    void setRandomSource(std::shared_ptr<RandomSource> random);

    // The constant tables: texts per trigger ordinal, and three lines per category ordinal.
    static const std::array<QStringList, copyTriggerCount> &pools();
    static const std::array<QStringList, categoryCount> &categoryTexts();

    // The trigger's texts in table order.
    static QStringList pool(CopyTrigger trigger);

    // Fills every placeholder whose field is present, in the fixed step order; absent fields leave
    // their placeholders as written.
    static QString fillPlaceholders(const QString &text, const CopyContext &context);
    static QStringList fillTexts(const QStringList &texts, const CopyContext &context);

    // One text of `texts`, avoiding the text last shown for `trigger` where another is left.
    // Reads the memory, never writes it: the caller records what it shows.
    QString pickText(const QStringList &texts, CopyTrigger trigger) const;

    // The text last recorded for the trigger, if any.
    std::optional<QString> lastShown(CopyTrigger trigger) const;
    void recordShown(CopyTrigger trigger, const QString &text);

    // The usual road: the trigger's pool, filled with the context, one text picked and recorded.
    QString text(CopyTrigger trigger, const CopyContext &context = {}) override;

    // One of the category's three short lines, at random; no filling and no memory.
    QString categoryText(ReminderCategory category) const;

private:
    std::shared_ptr<RandomSource> m_random;
    std::array<std::optional<QString>, copyTriggerCount> m_lastShown;
};

// The phrase pool for completing a reminder of this category, shared by the notification answers and the lists.
CopyTrigger completionTrigger(ReminderCategory category);

} // namespace ovlin
