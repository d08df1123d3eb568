// Gallery pages of the rewards screen (running, earned only, missed only, empty, deletion asked), the reward
// card and the reward editor, filled from in-memory stores.
#include "GalleryPage.h"
#include "GalleryRegistry.h"

#include "Base/Clock.h"
#include "Base/Days.h"
#include "DesignSystem/ThemeColors.h"
#include "Model/Milestone.h"
#include "Model/MilestoneLog.h"
#include "Platform/Store.h"
#include "Rewards/MilestoneFormView.h"
#include "Rewards/MilestoneFormViewModel.h"
#include "Rewards/MilestoneListView.h"
#include "Rewards/MilestoneListViewModel.h"
#include "ScreenParts/MilestoneCard.h"
#include "ScreenParts/RewardImage.h"

#include <QApplication>
#include <QBuffer>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QUuid>
#include <QVBoxLayout>

#include <memory>

using namespace ovlin;
using namespace ovlin::gallery;

namespace {

// Keeps a page's store alive as long as the page.
class StoreHolder : public QObject
{
public:
    explicit StoreHolder(QObject *parent) : QObject(parent)
    {
        QString error;
        container = StoreContainer::openInMemory(&error);
    }
    StoreContext *context() const { return container ? container->mainContext() : nullptr; }
    std::unique_ptr<StoreContainer> container;
};

// A small painted photo: a sunset over hills, or a dusk sky, as JPEG bytes.
QByteArray samplePhoto(int variant)
{
    QImage image(1200, 800, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 800);
    if (variant == 0) {
        sky.setColorAt(0, QColor(0xF6, 0xB2, 0x6B));
        sky.setColorAt(1, QColor(0xE8, 0x5D, 0x75));
    } else {
        sky.setColorAt(0, QColor(0x3A, 0x6E, 0xA5));
        sky.setColorAt(1, QColor(0x9A, 0xD1, 0xD4));
    }
    p.fillRect(image.rect(), sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xFF, 0xE6, 0x99));
    p.drawEllipse(QPointF(variant == 0 ? 800 : 300, 330), 110, 110);
    QPainterPath hills;
    hills.moveTo(0, 800);
    hills.lineTo(0, 560);
    hills.cubicTo(300, 420, 520, 700, 800, 540);
    hills.cubicTo(960, 450, 1100, 520, 1200, 480);
    hills.lineTo(1200, 800);
    p.setBrush(variant == 0 ? QColor(0x2E, 0x5E, 0x3A) : QColor(0x1F, 0x3B, 0x4D));
    p.drawPath(hills);
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return RewardImage::makeThumbnail(bytes).value_or(QByteArray());
}

struct Sample
{
    QString name;
    qint64 days;
    MilestoneStatus status;
    int met; // days met up to yesterday
    int photo = -1;
    QString statusRaw = {};
};

std::shared_ptr<Milestone> addMilestone(StoreContext *context, const Sample &sample, int age)
{
    const QDateTime now = Clock::now();
    auto milestone = Milestone::create(QUuid::createUuid(), sample.name, sample.name, sample.days, 0.8, std::nullopt,
                                       Days::addDays(now, -age), sample.status);
    if (!sample.statusRaw.isEmpty())
        milestone->setStatusRaw(sample.statusRaw);
    if (sample.photo >= 0)
        milestone->setThumbnailData(samplePhoto(sample.photo));
    context->insert(milestone);
    const QDateTime today = Days::startOfDay(now);
    for (int i = 1; i <= sample.met; ++i)
        MilestoneLog::create(QUuid::createUuid(), milestone, Days::addDays(today, -i), 0.9, true);
    return milestone;
}

void fill(StoreContext *context, const QList<Sample> &samples)
{
    int age = 1;
    for (const auto &sample : samples)
        addMilestone(context, sample, age++ * 3);
    context->save();
}

const QList<Sample> &runningSamples()
{
    static const QList<Sample> samples = {
        {QStringLiteral("Burger run"), 10, MilestoneStatus::active, 6},
        {QStringLiteral("Weekend trip to the coast with the whole family"), 30, MilestoneStatus::active, 12, 0},
        {QStringLiteral("New running shoes"), 14, MilestoneStatus::active, 0},
        {QStringLiteral("Spa day"), 21, MilestoneStatus::achieved, 21, 1},
        {QStringLiteral("Concert tickets"), 7, MilestoneStatus::achieved, 7},
        {QStringLiteral("Fancy dinner"), 5, MilestoneStatus::failed, 2},
    };
    return samples;
}

QWidget *screenPage(const QString &title, const QList<Sample> &samples, bool askDelete = false, bool tall = false)
{
    auto *page = new GalleryPage(title);
    auto *holder = new StoreHolder(page);
    fill(holder->context(), samples);
    auto *screen = new MilestoneListView(holder->context());
    screen->setFixedSize(720, tall ? 1480 : 980);
    page->addCell(screen);
    if (askDelete) {
        screen->configureViewModel();
        if (const auto active = screen->viewModel()->activeMilestones(); !active.isEmpty())
            screen->requestDelete(active.first());
    }
    return page;
}

QWidget *runningPage()
{
    return screenPage(QStringLiteral("Rewards screen: running, earned and missed"), runningSamples(), false, true);
}

QWidget *earnedOnlyPage()
{
    return screenPage(QStringLiteral("Rewards screen: earned only"),
                      {{QStringLiteral("Spa day"), 21, MilestoneStatus::achieved, 21, 1},
                       {QStringLiteral("Concert tickets"), 7, MilestoneStatus::achieved, 7},
                       {QStringLiteral("A very long reward name that does not fit on one line of the row"), 30,
                        MilestoneStatus::achieved, 30}});
}

QWidget *missedOnlyPage()
{
    return screenPage(QStringLiteral("Rewards screen: missed only"),
                      {{QStringLiteral("Fancy dinner"), 5, MilestoneStatus::failed, 2},
                       {QStringLiteral("Movie night"), 10, MilestoneStatus::failed, 0}});
}

QWidget *emptyPage()
{
    return screenPage(QStringLiteral("Rewards screen: no rewards"), {});
}

QWidget *deletePage()
{
    return screenPage(QStringLiteral("Rewards screen: delete asked"), runningSamples(), true);
}

QWidget *cardPage()
{
    auto *page = new GalleryPage(QStringLiteral("MilestoneCard"));
    auto *holder = new StoreHolder(page);
    StoreContext *context = holder->context();
    auto add = [&](const Sample &sample) { return addMilestone(context, sample, 5); };
    const auto active = add({QStringLiteral("Burger run"), 10, MilestoneStatus::active, 4});
    const auto photo = add({QStringLiteral("Weekend trip"), 30, MilestoneStatus::active, 18, 0});
    const auto earned = add({QStringLiteral("Spa day"), 21, MilestoneStatus::achieved, 21});
    const auto failed = add({QStringLiteral("Fancy dinner"), 5, MilestoneStatus::failed, 1});
    const auto zero = add({QStringLiteral("Zero-day goal"), 0, MilestoneStatus::active, 0});
    const auto other =
        add({QStringLiteral("Unknown status text"), 7, MilestoneStatus::active, 9, -1, QStringLiteral("paused")});
    context->save();
    const auto noop = [] {};
    const int width = 460;

    page->addRow(QStringLiteral("full"));
    page->addCell(new MilestoneCard(active, {}, noop, noop, MilestoneCardStyle::full), QStringLiteral("active"), width);
    page->addCell(new MilestoneCard(photo, {}, noop, noop, MilestoneCardStyle::full), QStringLiteral("active, picture"),
                  width);
    page->addCell(new MilestoneCard(earned, {}, noop, noop, MilestoneCardStyle::full), QStringLiteral("earned"), width);
    page->addRow(QStringLiteral("full"));
    page->addCell(new MilestoneCard(failed, {}, noop, noop, MilestoneCardStyle::full), QStringLiteral("missed"), width);
    page->addCell(new MilestoneCard(zero, {}, noop, {}, MilestoneCardStyle::full), QStringLiteral("0 days, edit only"),
                  width);
    auto *hovered = new MilestoneCard(other, {}, {}, {}, MilestoneCardStyle::full);
    page->addCell(hovered, QStringLiteral("unknown status, no actions, hovered"), width);
    simulateHover(hovered);

    page->addRow(QStringLiteral("compact"));
    page->addCell(new MilestoneCard(active, {}, noop, noop, MilestoneCardStyle::compact), QStringLiteral("active"),
                  320);
    page->addCell(new MilestoneCard(photo, {}, {}, {}, MilestoneCardStyle::compact), QStringLiteral("picture"), 320);
    page->addCell(new MilestoneCard(failed, {}, {}, {}, MilestoneCardStyle::compact), QStringLiteral("missed"), 320);
    return page;
}

MilestoneFormView *embeddedEditor(const std::shared_ptr<Milestone> &milestone, StoreContext *context)
{
    auto *editor = new MilestoneFormView(milestone);
    editor->setEnvironmentContext(context);
    // Drawn inside the page rather than as a window of its own.
    editor->setWindowFlags(Qt::Widget);
    editor->setFixedSize(480, editor->naturalHeight());
    return editor;
}

QWidget *editorPage()
{
    auto *page = new GalleryPage(QStringLiteral("Reward editor"));
    auto *holder = new StoreHolder(page);
    StoreContext *context = holder->context();
    const auto trip = addMilestone(context, {QStringLiteral("Weekend trip"), 1, MilestoneStatus::active, 0, 0}, 3);
    trip->setRequirePercent(0.65);
    trip->setLinkedCategory(ReminderCategory::water);
    context->save();

    auto *create = embeddedEditor(nullptr, context);
    page->addCell(create, QStringLiteral("new reward"));
    auto *edit = embeddedEditor(trip, context);
    page->addCell(edit, QStringLiteral("editing, with a picture"));
    return page;
}

} // namespace

OVLIN_GALLERY_PAGE(QStringLiteral("RewardsScreen"), runningPage)
OVLIN_GALLERY_PAGE(QStringLiteral("RewardsScreenEarned"), earnedOnlyPage)
OVLIN_GALLERY_PAGE(QStringLiteral("RewardsScreenMissed"), missedOnlyPage)
OVLIN_GALLERY_PAGE(QStringLiteral("RewardsScreenEmpty"), emptyPage)
OVLIN_GALLERY_PAGE(QStringLiteral("RewardsScreenDelete"), deletePage)
OVLIN_GALLERY_PAGE(QStringLiteral("MilestoneCard"), cardPage)
OVLIN_GALLERY_PAGE(QStringLiteral("RewardEditor"), editorPage)
