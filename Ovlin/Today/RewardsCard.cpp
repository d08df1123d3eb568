#include "Today/RewardsCard.h"

#include "DesignSystem/CategoryBadge.h"
#include "DesignSystem/KeyboardFocus.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/OvlinText.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/ProgressRing.h"
#include "DesignSystem/TextBlock.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"
#include "Model/Milestone.h"
#include "ScreenParts/TodayWidgets.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace ovlin::today {

namespace {

QImage decodedThumbnail(const Milestone &milestone)
{
    const auto data = milestone.thumbnailData();
    if (!data || data->isEmpty())
        return {};
    return QImage::fromData(*data);
}

bool isAchievedLook(const RewardProgress &progress)
{
    return progress.status == MilestoneStatus::achieved;
}

// The chip group's capsule; it also draws the selected chip's white capsule and shadow, which would be cut
// off inside the chip itself.
class ChipGroup : public QWidget
{
public:
    explicit ChipGroup(QWidget *parent = nullptr) : QWidget(parent) {}

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r(rect());
        Painting::fillRounded(p, r, LayoutTokens::radiusFull, ThemeColors::surfaceMuted());
        Painting::strokeInside(p, r, LayoutTokens::radiusFull, ThemeColors::border(), 1);
        for (const auto *chip : findChildren<RewardChip *>(Qt::FindDirectChildrenOnly)) {
            if (!chip->isSelected())
                continue;
            const QRectF box(chip->geometry());
            Painting::drawShadow(p, box, LayoutTokens::radiusFull, ShadowSpec{4, 0, 2}, ThemeColors::shadow());
            Painting::fillRounded(p, box, LayoutTokens::radiusFull, ThemeColors::surface());
        }
    }
};

} // namespace

// ---- chips

RewardChip::RewardChip(ReminderListView::RewardFilter filter, bool selected, std::function<void()> action,
                       QWidget *parent)
    : QAbstractButton(parent), m_filter(filter), m_selected(selected), m_action(std::move(action))
{
    setText(ReminderListView::rawValue(filter));
    setAccessibleName(text());
    setCheckable(false);
    setFont(selected ? ThemeFonts::label() : ThemeFonts::subheadline());
    setCursor(Qt::PointingHandCursor);
    setObjectName(QStringLiteral("rewardChip"));
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (m_action)
            m_action();
    });
}

QSize RewardChip::sizeHint() const
{
    const QFontMetricsF metrics(font());
    return QSize(int(std::ceil(metrics.horizontalAdvance(text()) + 2 * LayoutTokens::spacingSM)),
                 int(std::ceil(metrics.height() + 2 * LayoutTokens::spacingXS)));
}

double RewardChip::baseline() const
{
    const QFontMetricsF metrics(font());
    return (sizeHint().height() - (metrics.ascent() + metrics.descent())) / 2 + metrics.ascent();
}

void RewardChip::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (isDown())
        p.setOpacity(0.7);
    TextBlock label;
    label.text = text();
    label.font = font();
    label.color = m_selected ? ThemeColors::textPrimary() : ThemeColors::textSecondary();
    label.maxLines = 1;
    label.alignment = Qt::AlignCenter;
    label.paint(p, QRectF(rect()));
    KeyboardFocus::paintRing(p, this, QRectF(rect()), height() / 2.0);
}

// ---- card

RewardsCard::RewardsCard(const QList<std::shared_ptr<Milestone>> &shown, const ProgressOf &progress,
                         ReminderListView::RewardFilter filter,
                         std::function<void(ReminderListView::RewardFilter)> selectFilter, QWidget *parent)
    : OvlinCard(LayoutTokens::spacingXL, ThemeColors::surface(), {}, true, true, new QWidget, parent)
{
    setObjectName(QStringLiteral("rewardsCard"));
    auto *stack = vbox(content(), LayoutTokens::spacingLG);

    // The title and the chips stand on one text baseline: whichever has its baseline higher up is moved
    // down to the other's.
    auto *header = new QWidget;
    auto *headerRow = hbox(header, LayoutTokens::spacingSM);
    auto *titleSlot = new QVBoxLayout;
    titleSlot->setContentsMargins(0, 0, 0, 0);
    QWidget *title = singleLineText(QStringLiteral("Rewards"), ThemeFonts::heading(), ThemeColors::textPrimary());
    // Never cut: a narrow window stacks the insights row's cards instead.
    title->setMinimumWidth(title->sizeHint().width());
    titleSlot->addWidget(title);
    headerRow->addLayout(titleSlot);
    headerRow->setAlignment(titleSlot, Qt::AlignTop);
    headerRow->addStretch(1);
    if (!shown.isEmpty()) {
        auto *group = new ChipGroup;
        group->setObjectName(QStringLiteral("chipGroup"));
        const double pad = LayoutTokens::spacingXS;
        auto *chips = hbox(group, LayoutTokens::spacingXS, QMarginsF(pad, pad, pad, pad));
        double chipBaseline = 0;
        for (const auto option : ReminderListView::allRewardFilters) {
            auto *chip = new RewardChip(option, option == filter, [selectFilter, option] {
                if (selectFilter)
                    selectFilter(option);
            });
            chipBaseline = std::max(chipBaseline, pad + chip->baseline());
            chips->addWidget(chip);
        }
        auto *groupSlot = new QVBoxLayout;
        groupSlot->addWidget(group);
        headerRow->addLayout(groupSlot);
        headerRow->setAlignment(groupSlot, Qt::AlignTop);
        const int shift = int(std::lround(chipBaseline - QFontMetricsF(ThemeFonts::heading()).ascent()));
        titleSlot->setContentsMargins(0, std::max(0, shift), 0, 0);
        groupSlot->setContentsMargins(0, std::max(0, -shift), 0, 0);
    }
    stack->addWidget(header);

    if (!shown.isEmpty()) {
        const Milestone &featured = *shown.first();
        stack->addWidget(featuredReward(featured, progress(featured)));
        if (shown.size() > 1) {
            auto *more = new QWidget;
            more->setObjectName(QStringLiteral("furtherRewards"));
            auto *column = vbox(more, LayoutTokens::spacingXS);
            for (qsizetype i = 1; i < shown.size(); ++i)
                column->addWidget(compactReward(*shown.at(i), progress(*shown.at(i))));
            stack->addWidget(more);
        }
    }
    stack->addStretch(1);
}

QList<RewardChip *> RewardsCard::chips() const
{
    return findChildren<RewardChip *>();
}

QWidget *RewardsCard::featuredReward(const Milestone &milestone, const RewardProgress &progress)
{
    const bool achieved = isAchievedLook(progress);
    auto *card = new RoundedPanel(ThemeColors::surfaceSubtle(), LayoutTokens::radiusMD);
    card->setObjectName(QStringLiteral("featuredReward"));
    card->setProperty("milestoneId", milestone.id().toString(QUuid::WithoutBraces));
    const double pad = LayoutTokens::spacingMD;
    auto *stack = vbox(card, LayoutTokens::spacingMD, QMarginsF(pad, pad, pad, pad));

    // Top row: tile, name and subtitle, count.
    auto *top = new QWidget;
    auto *topRow = hbox(top, LayoutTokens::spacingSM);
    auto *tile = new IconTile(LayoutTokens::iconTileSmall, LayoutTokens::radiusSM, ThemeColors::neutral200(),
                              achieved ? QStringLiteral("star.fill") : QStringLiteral("trophy"), ThemeFonts::body(),
                              achieved ? ThemeColors::primaryDark() : ThemeColors::textSecondary());
    tile->setObjectName(QStringLiteral("rewardTile"));
    tile->setImage(decodedThumbnail(milestone));
    topRow->addWidget(tile, 0, Qt::AlignTop);
    auto *texts = new QWidget;
    auto *textColumn = vbox(texts, LayoutTokens::spacingXS);
    textColumn->addWidget(singleLineText(milestone.name(), ThemeFonts::headline(), ThemeColors::textPrimary()));
    auto *subtitle = singleLineText(ReminderListView::rewardSubtitle(milestone, achieved), ThemeFonts::subheadline(),
                                    ThemeColors::textSecondary());
    subtitle->setObjectName(QStringLiteral("rewardSubtitle"));
    textColumn->addWidget(subtitle);
    topRow->addWidget(texts, 1, Qt::AlignTop);
    auto *count = singleLineText(
        achieved ? QStringLiteral("Done") : QStringLiteral("%1/%2").arg(progress.daysMet).arg(milestone.requireDays()),
        ThemeFonts::label(), achieved ? ThemeColors::primaryDark() : ThemeColors::textPrimary());
    count->setObjectName(QStringLiteral("rewardCount"));
    count->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    topRow->addWidget(count, 0, Qt::AlignTop);
    stack->addWidget(top);

    auto *bar = new ProgressBar(5, ThemeColors::neutral200(),
                                achieved ? ThemeColors::green300() : ThemeColors::primary(), progress.fraction, 10);
    bar->setObjectName(QStringLiteral("rewardBar"));
    stack->addWidget(bar);

    // Bottom row: category, days left.
    auto *bottom = new QWidget;
    auto *bottomRow = hbox(bottom, LayoutTokens::spacingSM);
    if (const auto category = milestone.linkedCategory()) {
        bottomRow->addWidget(new CategoryBadge(*category, BadgeSize::small, true), 0, Qt::AlignVCenter);
    } else {
        auto *all =
            new Pill({{QStringLiteral("All habits"), ThemeFonts::subheadline(), ThemeColors::textSecondary()}}, 0,
                     QMarginsF(LayoutTokens::spacingSM, LayoutTokens::spacingXS, LayoutTokens::spacingSM,
                               LayoutTokens::spacingXS),
                     ThemeColors::neutral200(), Qt::transparent);
        all->setObjectName(QStringLiteral("allHabitsPill"));
        bottomRow->addWidget(all, 0, Qt::AlignVCenter);
    }
    bottomRow->addStretch(1);
    if (!achieved) {
        auto *left = singleLineText(QStringLiteral("%1 days left").arg(progress.daysRemaining), ThemeFonts::caption(),
                                    ThemeColors::textTertiary());
        left->setObjectName(QStringLiteral("daysLeft"));
        left->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        bottomRow->addWidget(left, 0, Qt::AlignVCenter);
    }
    stack->addWidget(bottom);
    return card;
}

QWidget *RewardsCard::compactReward(const Milestone &milestone, const RewardProgress &progress)
{
    auto *row = new RoundedPanel(ThemeColors::surfaceSubtle(), LayoutTokens::radiusSM);
    row->setObjectName(QStringLiteral("compactReward"));
    row->setProperty("milestoneId", milestone.id().toString(QUuid::WithoutBraces));
    const double pad = LayoutTokens::spacingSM;
    auto *layout = hbox(row, LayoutTokens::spacingSM, QMarginsF(pad, pad, pad, pad));
    auto *tile = new IconTile(24, LayoutTokens::radiusSM, ThemeColors::neutral200(), QStringLiteral("trophy"),
                              ThemeFonts::caption(), ThemeColors::textSecondary());
    tile->setImage(decodedThumbnail(milestone));
    layout->addWidget(tile, 0, Qt::AlignVCenter);

    auto *middle = new QWidget;
    auto *column = vbox(middle, LayoutTokens::spacingXS);
    column->addWidget(singleLineText(milestone.name(), ThemeFonts::subheadline(), ThemeColors::textPrimary()));
    auto *bar = new ProgressBar(4, ThemeColors::neutral200(), ThemeColors::neutral400(), progress.fraction, 6);
    bar->setObjectName(QStringLiteral("rewardBar"));
    column->addWidget(bar);
    layout->addWidget(middle, 1, Qt::AlignVCenter);

    auto *percent = singleLineText(QStringLiteral("%1%").arg(ProgressRing::percent(progress.fraction)),
                                   ThemeFonts::caption(), ThemeColors::textSecondary());
    percent->setObjectName(QStringLiteral("rewardPercent"));
    static_cast<OvlinText *>(percent)->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    percent->setMinimumWidth(28);
    percent->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    layout->addWidget(percent, 0, Qt::AlignVCenter);
    return row;
}

} // namespace ovlin::today
