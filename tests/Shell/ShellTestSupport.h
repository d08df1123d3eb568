#pragma once

#include "Engine/ReminderPresentationService.h"
#include "Model/Milestone.h"
#include "Shell/ShellServices.h"
#include "Support/EngineTestSupport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEvent>
#include <QStringList>
#include <QUuid>

#include <memory>
#include <optional>

// Fakes of the shell's neighbours: every call is written down in order.
namespace shelltest {

using namespace ovlin;

// Lets queued work, rebuilds and deferred deletions run out.
inline void settleEvents()
{
    for (int i = 0; i < 6; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

struct IconUpdate
{
    bool hasOverdue = false;
    int overdueCount = 0;
    double progress = 0;
};

struct Journal
{
    QStringList calls;
    QList<IconUpdate> icons;
    QList<bool> evaluations; // the notify flag of each evaluation
    QList<QStringList> evaluatedRewards;
    int mirrorUpdates = 0;
    QList<int> rescheduledCounts;
    bool appActive = false;
    QStringList signalsSent;

    void clear() { *this = Journal(); }
};

class FakeStatusItem : public StatusItemController
{
public:
    explicit FakeStatusItem(std::shared_ptr<Journal> journal) : m_journal(std::move(journal)) {}
    void setup() override { m_journal->calls << QStringLiteral("menuBar.setup"); }
    void attach(StoreContainer &) override { m_journal->calls << QStringLiteral("menuBar.attach"); }
    void updateIcon(bool hasOverdue, int overdueCount, double progress) override
    {
        m_journal->icons.append({hasOverdue, overdueCount, progress});
    }

private:
    std::shared_ptr<Journal> m_journal;
};

// Services that only write down what they were asked. Screens are plain widgets named after their tab.
inline std::shared_ptr<ShellServices> fakeServices(const std::shared_ptr<Journal> &journal,
                                                   NotificationCenter *center = nullptr)
{
    auto s = std::make_shared<ShellServices>();
    s->applyLightAppearance = [journal] { journal->calls << QStringLiteral("appearance"); };
    s->initializeAnalytics = [journal] { journal->calls << QStringLiteral("analytics.initialize"); };
    s->sendSignal = [journal](const QString &name) {
        journal->calls << QStringLiteral("analytics.send ") + name;
        journal->signalsSent << name;
    };
    s->notificationCenter = [journal, center] {
        journal->calls << QStringLiteral("notificationCenter");
        return center;
    };
    s->makeMenuBarController = [journal] {
        journal->calls << QStringLiteral("menuBar.create");
        return std::unique_ptr<StatusItemController>(new FakeStatusItem(journal));
    };
    s->startPresentation = [journal](StoreContainer &) { journal->calls << QStringLiteral("presentation.start"); };
    s->isApplicationActive = [journal] { return journal->appActive; };
    s->rescheduleAll = [journal](const ShellServices::Reminders &reminders) {
        journal->rescheduledCounts.append(int(reminders.size()));
    };
    s->evaluateMilestones = [journal](const ShellServices::Milestones &milestones, const ShellServices::Reminders &,
                                      const ShellServices::Logs &, StoreContext &, bool notify) {
        journal->evaluations.append(notify);
        QStringList names;
        for (const auto &m : milestones)
            names << m->name();
        journal->evaluatedRewards.append(names);
    };
    s->updateMenuBarMirror = [journal](const ShellServices::Reminders &, const ShellServices::Logs &,
                                       const ShellServices::Milestones &) { ++journal->mirrorUpdates; };
    s->isOverdue = [](const Reminder &reminder, const QDateTime &moment) {
        return ReminderPresentationService::shared().isOverdue(reminder, moment);
    };
    return s;
}

// What a finished launch calls, in order.
inline QStringList launchCalls()
{
    return {"appearance",         "analytics.initialize", "analytics.send app.launched",
            "notificationCenter", "menuBar.create",       "menuBar.setup",
            "menuBar.attach",     "presentation.start"};
}

} // namespace shelltest
