#include "Gallery/GalleryCelebrations.h"

#include "Banners/CelebrationManager.h"
#include "Banners/CelebrationOverlay.h"
#include "Banners/ConfettiCanvas.h"
#include "Banners/VirtualTimerSource.h"
#include "Base/Clock.h"
#include "Copy/CopyEngine.h"
#include "Copy/RandomSource.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/TextBlock.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"
#include "Model/Milestone.h"
#include "Model/Reminder.h"

#include <QPainter>
#include <QWidget>

namespace ovlin {

namespace {

// The moment after the card's appearance at which the previews stand still.
constexpr double kFrozenSeconds = 1.4;

// A stand-in for the window content the overlay covers.
class PreviewBackdrop final : public QWidget
{
public:
    PreviewBackdrop() { resize(900, 640); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillRect(rect(), ThemeColors::background());
        const double sidebar = LayoutTokens::sidebarWidth;
        p.fillRect(QRectF(0, 0, sidebar, height()), ThemeColors::sidebarBackground());
        p.fillRect(QRectF(sidebar, 0, 1, height()), ThemeColors::border());
        TextBlock heading;
        heading.text = QStringLiteral("Today");
        heading.font = ThemeFonts::title();
        heading.color = ThemeColors::textPrimary();
        const double left = sidebar + LayoutTokens::spacingXXL;
        heading.paint(p, QRectF(left, LayoutTokens::spacingXXL, 400, 40));
        const double rowWidth = width() - left - LayoutTokens::spacingXXL;
        for (int i = 0; i < 6; ++i) {
            const QRectF row(left, 96 + i * 84, rowWidth, 68);
            Painting::fillRounded(p, row, LayoutTokens::radiusLG, ThemeColors::surface());
            Painting::fillRounded(p, QRectF(row.left() + 16, row.top() + 16, 36, 36), LayoutTokens::radiusSM,
                                  ThemeColors::green100());
        }
    }
};

CopyEngine &previewCopy()
{
    static CopyEngine engine(std::make_shared<SeededRandomSource>(11));
    return engine;
}

QWidget *makePreview(const std::function<void(CelebrationManager &)> &celebrate)
{
    auto *host = new PreviewBackdrop;
    auto *manager = new CelebrationManager(host);
    // Virtual time that nobody advances: the card stays until it is dismissed.
    manager->setTimerSource(std::make_shared<VirtualTimerSource>());
    manager->setCopyEngine(&previewCopy());
    auto *overlay = new CelebrationOverlay(manager, host);
    overlay->confettiCanvas()->setRandomSource(std::make_shared<SeededRandomSource>(2024));
    celebrate(*manager);
    overlay->freezeAt(kFrozenSeconds);
    return host;
}

} // namespace

void registerCelebrationGallery(std::function<void(const QString &name, std::function<QWidget *()> make)> add)
{
    if (!add)
        return;
    add(QStringLiteral("Celebration: reward unlocked"), [] {
        return makePreview([](CelebrationManager &manager) {
            const auto reward = Milestone::create(QUuid::createUuid(), QStringLiteral("Week of water"),
                                                  QStringLiteral("New running shoes"), 7, 0.8, std::nullopt,
                                                  Clock::now(), MilestoneStatus::active);
            manager.recordPendingMilestones({reward});
            reward->setStatusRaw(rawValue(MilestoneStatus::achieved));
            manager.checkForCelebrations({}, {}, {reward}, 0);
        });
    });
    add(QStringLiteral("Celebration: streak milestone"),
        [] { return makePreview([](CelebrationManager &manager) { manager.checkForCelebrations({}, {}, {}, 21); }); });
    add(QStringLiteral("Celebration: all done today"), [] {
        return makePreview([](CelebrationManager &manager) {
            const QList<Weekday> everyDay{Weekday::monday, Weekday::tuesday,  Weekday::wednesday, Weekday::thursday,
                                          Weekday::friday, Weekday::saturday, Weekday::sunday};
            const auto reminder =
                Reminder::create(QUuid::createUuid(), QStringLiteral("Drink water"), ReminderCategory::water,
                                 std::nullopt, ScheduleType::fixedTime, Clock::now(), std::nullopt, std::nullopt,
                                 std::nullopt, everyDay, true, Clock::now());
            manager.checkForCelebrations({reminder}, {reminder}, {}, 0);
        });
    });
}

} // namespace ovlin
