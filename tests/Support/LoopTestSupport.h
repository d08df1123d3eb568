#pragma once

#include "Support/EngineTestSupport.h"

#include "Base/Clock.h"
#include "Copy/CopyEngine.h"
#include "Engine/BannerPresenter.h"
#include "Engine/ReminderPresentationService.h"
#include "Model/ReminderLog.h"

#include <QLocale>
#include <QStringList>

#include <algorithm>

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

// Records the banners the loop shows, in both places, and plays the banner view's part when a button
// is pressed: run the handler, then close.
class FakeBannerPresenter : public BannerPresenter
{
public:
    struct Shown
    {
        QDateTime at;
        bool floating = false;
        QString title;
        QString message;
        QList<BannerAction> actions;

        QStringList actionTitles() const
        {
            QStringList titles;
            for (const BannerAction &action : actions)
                titles << action.title;
            return titles;
        }
    };

    void present(const QString &title, const QString &message, BannerStyle style,
                 const QList<BannerAction> &actions) override
    {
        record(false, title, message, style, actions);
    }
    void showFloating(const QString &title, const QString &message, BannerStyle style,
                      const QList<BannerAction> &actions) override
    {
        record(true, title, message, style, actions);
    }
    void dismiss() override { ++dismissals; }
    void dismissBannerWithAction(const QUuid &actionId) override { dismissedByAction.append(actionId); }
    // Whether the shown banner was closed on its own (its occurrence answered elsewhere).
    bool wasDismissedAlone(const Shown &banner) const
    {
        return std::any_of(banner.actions.cbegin(), banner.actions.cend(),
                           [this](const BannerAction &action) { return dismissedByAction.contains(action.id); });
    }

    // Presses the button titled `title` on the latest banner; false when it has none.
    bool press(const QString &title)
    {
        if (shown.isEmpty())
            return false;
        for (const BannerAction &action : shown.last().actions) {
            if (action.title == title) {
                if (action.handler)
                    action.handler();
                dismiss();
                return true;
            }
        }
        return false;
    }

    QList<Shown> shown;
    QList<BannerStyle> styles;
    int dismissals = 0;
    QList<QUuid> dismissedByAction;

private:
    void record(bool floating, const QString &title, const QString &message, BannerStyle style,
                const QList<BannerAction> &actions)
    {
        shown.append({Clock::now(), floating, title, message, actions});
        styles.append(style);
    }
};

class FakeAppActivity : public AppActivity
{
public:
    bool isActiveWithVisibleWindow() const override { return activeWithWindow; }
    bool activeWithWindow = true;
};

// Which attempt a banner message belongs to: 1 for a category line, 2 for a follow-up, 3 for a final
// phrase (placeholders filled as the loop fills them); 0 when it is none of those.
inline int attemptOfMessage(const Reminder &reminder, const QString &message)
{
    const auto category = int(reminder.categoryValue());
    if (CopyEngine::categoryTexts().at(std::size_t(category)).contains(message))
        return 1;
    CopyContext context;
    context.habitName = reminder.title();
    context.duration = reminder.detail();
    if (const auto fixed = reminder.firingFixedTime())
        context.mealTime = QLocale().toString(fixed->toLocalTime().time(), QLocale::ShortFormat);
    if (CopyEngine::fillTexts(CopyEngine::pool(CopyTrigger::notificationFollowUp), context).contains(message))
        return 2;
    if (CopyEngine::fillTexts(CopyEngine::pool(CopyTrigger::notificationFinal), context).contains(message))
        return 3;
    return 0;
}

} // namespace looptest
