#include "Rewards/MilestoneListView.h"

#include "Base/Log.h"
#include "Base/MainThread.h"
#include "Copy/CopyEngine.h"
#include "DesignSystem/DividerLine.h"
#include "DesignSystem/EmptyState.h"
#include "DesignSystem/FocusOrder.h"
#include "DesignSystem/IconRegistry.h"
#include "DesignSystem/KeyboardFocus.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/OvlinButton.h"
#include "DesignSystem/OvlinCard.h"
#include "DesignSystem/OvlinConfirmationDialog.h"
#include "DesignSystem/OvlinConfirmationOverlay.h"
#include "DesignSystem/OvlinText.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/SectionHeader.h"
#include "DesignSystem/TextBlock.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"
#include "Model/Milestone.h"
#include "Platform/LiveQuery.h"
#include "Platform/Store.h"
#include "Rewards/MilestoneListViewModel.h"
#include "ScreenParts/MilestoneCard.h"
#include "ScreenParts/RewardImage.h"
#include "ScreenParts/TodayWidgets.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace ovlin {

namespace {

constexpr double kScreenPadding = 16;
constexpr double kEarnedThumbnail = 40;
constexpr double kEarnedDividerInset = LayoutTokens::spacingLG + 56;

double lineHeight(const QFont &font)
{
    const QFontMetricsF fm(font);
    return std::ceil(fm.ascent() + fm.descent());
}

TextBlock oneLine(const QString &text, const QFont &font, const QColor &color)
{
    TextBlock block;
    block.text = text;
    block.font = font;
    block.color = color;
    block.maxLines = 1;
    return block;
}

// One counter of the header: the value and its label in a capsule.
class StatPill : public QWidget
{
public:
    StatPill(const QString &label, bool highlighted, QWidget *parent)
        : QWidget(parent), m_label(label), m_highlighted(highlighted)
    {
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }

    void setValue(int value)
    {
        if (value == m_value)
            return;
        m_value = value;
        setAccessibleName(QStringLiteral("%1 %2").arg(value).arg(m_label));
        updateGeometry();
        update();
    }
    int value() const { return m_value; }

    QSize sizeHint() const override
    {
        const QFontMetricsF value(ThemeFonts::headline());
        const QFontMetricsF label(ThemeFonts::callout());
        const double width = value.horizontalAdvance(QString::number(m_value)) + LayoutTokens::spacingXS +
                             label.horizontalAdvance(m_label) + 2 * 16;
        const double height = std::max(lineHeight(ThemeFonts::headline()), lineHeight(ThemeFonts::callout())) + 2 * 8;
        return QSize(int(std::ceil(width)), int(std::ceil(height)));
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        const QRectF r(rect());
        const double radius = r.height() / 2;
        Painting::fillRounded(p, r, radius, m_highlighted ? ThemeColors::green200() : ThemeColors::surface());
        Painting::strokeInside(p, r, radius, m_highlighted ? ThemeColors::green300() : ThemeColors::border(), 1);
        // Both texts on one baseline, centred in the capsule.
        const QFontMetricsF valueMetrics(ThemeFonts::headline());
        const QFontMetricsF labelMetrics(ThemeFonts::callout());
        const double ascent = std::max(valueMetrics.ascent(), labelMetrics.ascent());
        const double descent = std::max(valueMetrics.descent(), labelMetrics.descent());
        const double baseline = r.center().y() + (ascent - descent) / 2;
        double x = 16;
        const QString value = QString::number(m_value);
        p.setFont(ThemeFonts::headline());
        p.setPen(ThemeColors::textPrimary());
        p.drawText(QPointF(x, baseline), value);
        x += valueMetrics.horizontalAdvance(value) + LayoutTokens::spacingXS;
        p.setFont(ThemeFonts::callout());
        p.setPen(m_highlighted ? ThemeColors::textPrimary() : ThemeColors::textSecondary());
        p.drawText(QPointF(x, baseline), m_label);
    }

private:
    QString m_label;
    bool m_highlighted;
    int m_value = -1;
};

} // namespace

// One earned reward: picture or trophy, name and reward text, and the day goal with a seal.
class MilestoneListView::EarnedRow : public QWidget
{
public:
    EarnedRow(std::shared_ptr<Milestone> milestone, bool hasDivider, QWidget *parent)
        : QWidget(parent), m_milestone(std::move(milestone)), m_hasDivider(hasDivider), m_picture(160)
    {
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setAccessibleName(m_milestone->name());
    }

    std::shared_ptr<Milestone> milestone() const { return m_milestone; }
    bool hasDivider() const { return m_hasDivider; }
    bool showsPicture() { return !m_picture.imageFor(m_milestone->thumbnailData()).isNull(); }
    QString daysText() const { return QStringLiteral("%1d").arg(m_milestone->requireDays()); }

    QSize sizeHint() const override
    {
        const double texts =
            lineHeight(ThemeFonts::bodyEmphasis()) + LayoutTokens::spacingXXS + lineHeight(ThemeFonts::subheadline());
        return QSize(320, int(std::ceil(std::max(kEarnedThumbnail, texts) + 2 * 16)));
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        OVLIN_ASSERT_MAIN_THREAD();
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        const QRectF r = QRectF(rect()).adjusted(24, 16, -24, -16);
        const double cy = r.center().y();

        // Thumbnail
        const QRectF thumb(r.left(), cy - kEarnedThumbnail / 2, kEarnedThumbnail, kEarnedThumbnail);
        const QImage &image = m_picture.imageFor(m_milestone->thumbnailData());
        Painting::fillPathWith(p, Painting::roundedRect(thumb, LayoutTokens::radiusSM), [&](QPainter &lp) {
            lp.fillRect(thumb, ThemeColors::green200());
            if (!image.isNull()) {
                RewardImage::paintFilled(lp, thumb, image);
                return;
            }
            const double side = IconRegistry::symbolSize(ThemeFonts::headline());
            IconRegistry::paint(lp, QRectF(thumb.center().x() - side / 2, thumb.center().y() - side / 2, side, side),
                                QStringLiteral("trophy.fill"), ThemeColors::green500());
        });

        // Trailing: seal and "<n>d"
        const QString days = daysText();
        const QFontMetricsF label(ThemeFonts::label());
        const double daysWidth = std::ceil(label.horizontalAdvance(days));
        const double seal = IconRegistry::symbolSize(ThemeFonts::subheadline());
        const double trailingWidth = seal + LayoutTokens::spacingXS + daysWidth;
        const double trailingLeft = r.right() - trailingWidth;
        IconRegistry::paint(p, QRectF(trailingLeft, cy - seal / 2, seal, seal), QStringLiteral("checkmark.seal.fill"),
                            ThemeColors::green500());
        const double labelHeight = lineHeight(ThemeFonts::label());
        oneLine(days, ThemeFonts::label(), ThemeColors::textSecondary())
            .paint(p, QRectF(trailingLeft + seal + LayoutTokens::spacingXS, cy - labelHeight / 2, daysWidth + 1,
                             labelHeight));

        // Texts between, 16 from the thumbnail and at least 16 (a spacer's gap) before the trailing part.
        const double textLeft = thumb.right() + 16;
        const double textWidth = std::max(1.0, trailingLeft - 2 * 16 - textLeft);
        const double nameHeight = lineHeight(ThemeFonts::bodyEmphasis());
        const double rewardHeight = lineHeight(ThemeFonts::subheadline());
        const double top = cy - (nameHeight + LayoutTokens::spacingXXS + rewardHeight) / 2;
        oneLine(m_milestone->name(), ThemeFonts::bodyEmphasis(), ThemeColors::textPrimary())
            .paint(p, QRectF(textLeft, top, textWidth, nameHeight));
        oneLine(m_milestone->reward(), ThemeFonts::subheadline(), ThemeColors::textSecondary())
            .paint(p, QRectF(textLeft, top + nameHeight + LayoutTokens::spacingXXS, textWidth, rewardHeight));
    }

private:
    std::shared_ptr<Milestone> m_milestone;
    bool m_hasDivider;
    DecodedRewardImage m_picture;
};

MilestoneListView::MilestoneListView(QWidget *parent) : QWidget(parent)
{
    init(nullptr);
}

MilestoneListView::MilestoneListView(StoreContext *context, QWidget *parent) : QWidget(parent)
{
    init(context);
}

MilestoneListView::~MilestoneListView()
{
    disconnect(m_contextConnection);
    if (m_editor)
        delete m_editor.data();
}

void MilestoneListView::init(StoreContext *context)
{
    OVLIN_ASSERT_MAIN_THREAD();
    // The view model starts on a private in-memory store until the screen is shown with the real one.
    QString error;
    m_placeholder = StoreContainer::openInMemory(&error);
    if (!m_placeholder)
        qCCritical(lcUi) << "rewards screen: no placeholder store:" << error;
    m_viewModel = new MilestoneListViewModel(m_placeholder ? m_placeholder->mainContext() : nullptr, this);
    connect(m_viewModel, &MilestoneListViewModel::milestonesChanged, this, &MilestoneListView::scheduleRebuild);

    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, ThemeColors::background());
    setPalette(palette);
    setAutoFillBackground(true);

    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Tab goes to the cards' controls, not to the area around them.
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_scroll->setPalette(palette);
    m_scroll->viewport()->setPalette(palette);
    m_scroll->viewport()->setAutoFillBackground(true);
    root->addWidget(m_scroll);

    m_content = new QWidget;
    m_content->setPalette(palette);
    m_column = new QVBoxLayout(m_content);
    m_column->setContentsMargins(0, 0, 0, 0);
    m_column->setSpacing(int(LayoutTokens::spacingXL));

    auto *headerRow = new QHBoxLayout;
    headerRow->setContentsMargins(int(kScreenPadding), 0, int(kScreenPadding), 0);
    headerRow->addWidget(buildHeaderCard());
    m_column->addLayout(headerRow);

    // Running rewards
    m_activeSection = new QWidget(m_content);
    m_activeLayout = new QVBoxLayout(m_activeSection);
    m_activeLayout->setContentsMargins(0, 0, 0, 0);
    m_activeLayout->setSpacing(int(LayoutTokens::spacingXL));
    m_column->addWidget(m_activeSection);

    // Earned rewards
    m_earnedSection = new QWidget(m_content);
    m_earnedLayout = new QVBoxLayout(m_earnedSection);
    m_earnedLayout->setContentsMargins(int(kScreenPadding), 0, int(kScreenPadding), 0);
    m_earnedLayout->setSpacing(8);
    m_earnedSection->hide();
    m_column->addWidget(m_earnedSection);

    m_column->addSpacing(int(LayoutTokens::spacingXXXL));
    m_column->addStretch(1);
    m_scroll->setWidget(m_content);

    setModelContext(context);
    build(true);
}

// The title, the subtitle and the three counters, with "New reward" in the top-right corner.
QWidget *MilestoneListView::buildHeaderCard()
{
    auto *headerContent = new QWidget;
    auto *grid = new QGridLayout(headerContent);
    grid->setContentsMargins(0, 0, 0, 0);
    auto *texts = new QWidget(headerContent);
    auto *textColumn = new QVBoxLayout(texts);
    textColumn->setContentsMargins(0, 0, 0, 0);
    textColumn->setSpacing(24);
    // The title and subtitle lines beside the button wrap short of it, which would otherwise cover their
    // ends; lines below it take the whole width. A gap of 4 keeps the subtitle on one line at 860 wide.
    auto *titleColumn = new today::CornerColumnLayout(nullptr, LayoutTokens::spacingSM);
    auto *title = new OvlinText(QStringLiteral("Rewards"), ThemeFonts::title(), ThemeColors::textPrimary(), texts);
    titleColumn->addWidget(title);
    auto *subtitle = new OvlinText(QStringLiteral("Give consistency something tangible to earn."),
                                   ThemeFonts::callout(), ThemeColors::textSecondary(), texts);
    titleColumn->addWidget(subtitle);
    textColumn->addLayout(titleColumn);
    auto *counters = new QHBoxLayout;
    counters->setSpacing(8);
    const struct
    {
        const char *label;
        bool highlighted;
    } pills[] = {{"Active", false}, {"Earned", true}, {"Missed", false}};
    for (const auto &pill : pills) {
        auto *widget = new StatPill(QString::fromLatin1(pill.label), pill.highlighted, texts);
        m_pills.append(widget);
        counters->addWidget(widget, 0, Qt::AlignVCenter);
    }
    counters->addStretch(1);
    textColumn->addLayout(counters);
    grid->addWidget(texts, 0, 0);
    m_newRewardButton = new OvlinButton(
        QStringLiteral("New reward"), OvlinButtonStyle::primary, OvlinButtonSize::large, false, false,
        [this] { showAddSheet(); }, headerContent);
    m_newRewardButton->setAccessibleName(QStringLiteral("Add reward"));
    m_newRewardButton->setFixedWidth(int(LayoutTokens::addButtonWidth));
    titleColumn->setCorner(
        QSizeF(LayoutTokens::addButtonWidth + LayoutTokens::spacingXS, m_newRewardButton->sizeHint().height()));
    grid->addWidget(m_newRewardButton, 0, 0, Qt::AlignTop | Qt::AlignRight);
    m_newRewardButton->raise();
    return new OvlinCard(LayoutTokens::spacingXXL, ThemeColors::surface(), {}, true, false, headerContent);
}

void MilestoneListView::setModelContext(StoreContext *context)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (context == m_environmentContext && (m_query || !context))
        return;
    disconnect(m_contextConnection);
    m_environmentContext = context;
    m_query.reset();
    if (context) {
        // All rewards, newest start first.
        m_query = std::make_unique<LiveQuery<Milestone>>(
            context, StoreContext::Predicate<Milestone>{},
            [](const Milestone &a, const Milestone &b) { return a.startDate() > b.startDate(); });
        connect(m_query.get(), &LiveQueryBase::resultChanged, this, &MilestoneListView::onMilestonesChange);
        m_contextConnection = connect(context, &StoreContext::objectsChanged, this,
                                      [this](RecordTypes types) { contextChanged(int(types)); });
    }
    if (isVisible())
        configureViewModel();
}

void MilestoneListView::setImageChooser(std::shared_ptr<ImageFileChooser> chooser)
{
    m_imageChooser = std::move(chooser);
}

void MilestoneListView::setSignalSender(MilestoneFormView::SignalSender sender)
{
    m_sendSignal = std::move(sender);
}

void MilestoneListView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    configureViewModel();
}

void MilestoneListView::configureViewModel()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (m_environmentContext)
        m_viewModel->setModelContext(m_environmentContext.data());
    m_viewModel->setMilestones(m_query ? m_query->result() : QList<std::shared_ptr<Milestone>>{});
    build(true);
}

void MilestoneListView::onMilestonesChange()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (m_query)
        m_viewModel->setMilestones(m_query->result());
}

void MilestoneListView::contextChanged(int types)
{
    // A status or a day log changed: the groups and the counters may differ although the list did not.
    if (RecordTypes::fromInt(types) & (RecordType::milestone | RecordType::milestoneLog))
        scheduleRebuild();
}

void MilestoneListView::scheduleRebuild()
{
    if (m_rebuildScheduled)
        return;
    m_rebuildScheduled = true;
    QMetaObject::invokeMethod(this, &MilestoneListView::rebuildIfNeeded, Qt::QueuedConnection);
}

void MilestoneListView::rebuildIfNeeded()
{
    m_rebuildScheduled = false;
    build(false);
}

void MilestoneListView::rebuild()
{
    build(true);
}

void MilestoneListView::build(bool force)
{
    OVLIN_ASSERT_MAIN_THREAD();
    refreshCounters();

    const auto active = m_viewModel->activeMilestones();
    const auto achieved = m_viewModel->achievedMilestones();
    ActiveKind kind = ActiveKind::cards;
    if (m_viewModel->milestones().isEmpty())
        kind = ActiveKind::noRewards;
    else if (active.isEmpty() && achieved.isEmpty())
        kind = ActiveKind::nothingActive;
    QList<Milestone *> activeShown;
    for (const auto &milestone : active)
        activeShown.append(milestone.get());
    QList<Milestone *> earnedShown;
    for (const auto &milestone : achieved)
        earnedShown.append(milestone.get());

    if (force || kind != m_activeKind || activeShown != m_activeShown) {
        m_activeKind = kind;
        m_activeShown = activeShown;
        buildActiveSection();
    } else {
        for (const auto &card : std::as_const(m_cards)) {
            if (card)
                card->refresh();
        }
    }
    if (force || earnedShown != m_earnedShown) {
        m_earnedShown = earnedShown;
        buildEarnedSection();
    } else if (m_earnedBlock) {
        for (const auto &row : std::as_const(m_earnedRows)) {
            if (row)
                row->update();
        }
    }
}

void MilestoneListView::refreshCounters()
{
    const QList<int> values = counterValues();
    for (int i = 0; i < m_pills.size() && i < values.size(); ++i)
        static_cast<StatPill *>(m_pills[i])->setValue(values[i]);
}

QList<int> MilestoneListView::counterValues() const
{
    return {int(m_viewModel->activeMilestones().size()), int(m_viewModel->achievedMilestones().size()),
            int(m_viewModel->failedMilestones().size())};
}

void MilestoneListView::buildActiveSection()
{
    // Take everything out; cards of rewards still running are put back, the rest goes after this turn.
    // Focus inside a card that goes waits on the section and then moves to the card now at its place.
    QHash<Milestone *, QPointer<MilestoneCard>> keep;
    QWidget *focus = QApplication::focusWidget();
    const bool focusRing = KeyboardFocus::hasRing(focus);
    qsizetype focusIndex = -1;
    qsizetype focusPosition = 0;
    for (qsizetype index = 0; QLayoutItem *item = m_activeLayout->takeAt(0); ++index) {
        if (QWidget *widget = item->widget()) {
            auto *card = qobject_cast<MilestoneCard *>(widget);
            if (card && m_activeShown.contains(card->milestone().get()) && !keep.contains(card->milestone().get())) {
                keep.insert(card->milestone().get(), card);
            } else {
                if (focus && (widget == focus || widget->isAncestorOf(focus))) {
                    focusIndex = index;
                    focusPosition = std::max<qsizetype>(0, FocusOrder::controlsOf(widget).indexOf(focus));
                    m_activeSection->setFocus(Qt::OtherFocusReason);
                }
                widget->hide();
                widget->deleteLater();
            }
        }
        delete item;
    }
    const auto moveFocus = qScopeGuard([&] {
        if (focusIndex < 0)
            return;
        QList<QWidget *> entries;
        for (int i = 0; i < m_activeLayout->count(); ++i)
            if (QWidget *w = m_activeLayout->itemAt(i)->widget())
                entries.append(w);
        QWidget *target = FocusOrder::successor(nullptr, entries, focusIndex, focusPosition);
        KeyboardFocus::handOver(target ? target : m_newRewardButton, focusRing);
    });
    m_cards = keep;
    m_emptyState.clear();

    const std::function<void()> openAddSheet = [this] { showAddSheet(); };
    switch (m_activeKind) {
    case ActiveKind::none: break;
    case ActiveKind::noRewards: {
        // One pick per build that is shown. The screen is also built while hidden, when it is made: a
        // phrase recorded then would count as shown unseen, and the next visit could show the last one again.
        const QString phrase = isVisible() ? CopyEngine::shared().text(CopyTrigger::emptyMilestones) : QString();
        m_emptyState = new EmptyState(QStringLiteral("trophy"), std::nullopt, QStringLiteral("No rewards yet"), phrase,
                                      QStringLiteral("Add your first reward"), openAddSheet, m_activeSection);
        break;
    }
    case ActiveKind::nothingActive:
        m_emptyState = new EmptyState(QStringLiteral("trophy"), std::nullopt, QStringLiteral("Nothing active"),
                                      QStringLiteral("Set a reward when you're ready to earn something."),
                                      QStringLiteral("New reward"), openAddSheet, m_activeSection);
        break;
    case ActiveKind::cards: break;
    }
    if (m_emptyState) {
        m_activeLayout->setContentsMargins(int(kScreenPadding), int(kScreenPadding), int(kScreenPadding), 0);
        m_activeLayout->addWidget(m_emptyState);
        m_activeSection->show();
        return;
    }
    m_activeLayout->setContentsMargins(int(kScreenPadding), 0, int(kScreenPadding), 0);
    const auto active = m_viewModel->activeMilestones();
    for (const auto &milestone : active) {
        QPointer<MilestoneCard> card = m_cards.value(milestone.get());
        if (!card) {
            const std::weak_ptr<Milestone> weak = milestone;
            card = new MilestoneCard(
                milestone, {},
                [this, weak] {
                    if (const auto m = weak.lock())
                        editMilestone(m);
                },
                [this, weak] {
                    if (const auto m = weak.lock())
                        requestDelete(m);
                },
                MilestoneCardStyle::full, m_activeSection);
            m_cards.insert(milestone.get(), card);
        } else {
            card->refresh();
        }
        m_activeLayout->addWidget(card);
        card->show();
    }
    // Nothing running but something earned: the block shows nothing at all.
    m_activeSection->setVisible(!active.isEmpty());
}

void MilestoneListView::buildEarnedSection()
{
    while (QLayoutItem *item = m_earnedLayout->takeAt(0)) {
        if (QWidget *widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
    m_earnedRows.clear();
    m_earnedBlock = nullptr;
    m_earnedTitle.clear();
    const auto achieved = m_viewModel->achievedMilestones();
    if (achieved.isEmpty()) {
        m_earnedSection->hide();
        return;
    }
    m_earnedTitle = CopyEngine::shared().text(CopyTrigger::hallOfFame);
    m_earnedLayout->addWidget(new SectionHeader(m_earnedTitle, std::nullopt, m_earnedSection));

    auto *rows = new QWidget;
    auto *rowColumn = new QVBoxLayout(rows);
    rowColumn->setContentsMargins(0, 8, 0, 8);
    rowColumn->setSpacing(0);
    for (int i = 0; i < achieved.size(); ++i) {
        const bool divider = i < achieved.size() - 1;
        auto *row = new EarnedRow(achieved[i], divider, rows);
        m_earnedRows.append(row);
        rowColumn->addWidget(row);
        if (divider)
            rowColumn->addWidget(new DividerLine(ThemeColors::borderSubtle(), kEarnedDividerInset, 0, rows));
    }
    auto *card = new OvlinCard(0, ThemeColors::surface(), {}, false, true, rows, m_earnedSection);
    m_earnedBlock = card;
    m_earnedLayout->addWidget(card);
    m_earnedSection->show();
}

EmptyState *MilestoneListView::emptyState() const
{
    return m_emptyState.data();
}

QList<MilestoneCard *> MilestoneListView::cards() const
{
    QList<MilestoneCard *> result;
    if (m_activeKind != ActiveKind::cards)
        return result;
    for (int i = 0; i < m_activeLayout->count(); ++i) {
        if (auto *card = qobject_cast<MilestoneCard *>(m_activeLayout->itemAt(i)->widget()))
            result.append(card);
    }
    return result;
}

std::shared_ptr<Milestone> MilestoneListView::earnedRowMilestone(int index) const
{
    const auto row = m_earnedRows.value(index);
    return row ? row->milestone() : nullptr;
}

bool MilestoneListView::earnedRowHasDivider(int index) const
{
    const auto row = m_earnedRows.value(index);
    return row && row->hasDivider();
}

bool MilestoneListView::earnedRowShowsPicture(int index) const
{
    const auto row = m_earnedRows.value(index);
    return row && row->showsPicture();
}

QString MilestoneListView::earnedRowDaysText(int index) const
{
    const auto row = m_earnedRows.value(index);
    return row ? row->daysText() : QString();
}

void MilestoneListView::showAddSheet()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (m_editor)
        return;
    m_showingAddSheet = true;
    presentEditor(nullptr);
}

void MilestoneListView::editMilestone(const std::shared_ptr<Milestone> &milestone)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!milestone || m_editor)
        return;
    m_editingMilestone = milestone;
    presentEditor(milestone);
}

void MilestoneListView::presentEditor(const std::shared_ptr<Milestone> &milestone)
{
    auto *editor = new MilestoneFormView(milestone, this);
    editor->setEnvironmentContext(m_environmentContext.data());
    if (m_imageChooser)
        editor->setImageChooser(m_imageChooser);
    if (m_sendSignal)
        editor->setSignalSender(m_sendSignal);
    connect(editor, &QDialog::finished, this, &MilestoneListView::editorFinished);
    m_editor = editor;
    Q_EMIT editorPresented(editor);
    editor->open();
}

void MilestoneListView::editorFinished()
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_showingAddSheet = false;
    m_editingMilestone.reset();
    if (MilestoneFormView *editor = m_editor.data()) {
        m_editor.clear();
        // Finished from inside one of its own buttons: delete it after this turn.
        editor->deleteLater();
    }
}

void MilestoneListView::requestDelete(const std::shared_ptr<Milestone> &milestone)
{
    OVLIN_ASSERT_MAIN_THREAD();
    // A confirmation on screen keeps asking about its own reward until it is answered.
    if (milestone && !m_milestonePendingDelete)
        setPendingDelete(milestone);
}

void MilestoneListView::cancelDelete()
{
    OVLIN_ASSERT_MAIN_THREAD();
    setPendingDelete(nullptr);
}

void MilestoneListView::confirmDelete()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (const auto milestone = m_milestonePendingDelete)
        m_viewModel->delete_(milestone);
    setPendingDelete(nullptr);
}

void MilestoneListView::setPendingDelete(const std::shared_ptr<Milestone> &milestone)
{
    const bool wasPending = m_milestonePendingDelete != nullptr;
    m_milestonePendingDelete = milestone;
    const bool pending = milestone != nullptr;
    if (wasPending == pending)
        return;
    if (pending) {
        if (m_overlay)
            m_overlay->dismiss();
        m_overlay = OvlinConfirmationOverlay::askToDelete(
            this, QStringLiteral("Delete reward?"),
            QStringLiteral("This reward gets removed completely. If you're sure, do your thing."),
            [this] { cancelDelete(); }, [this] { confirmDelete(); });
        m_overlay->present();
    } else if (m_overlay) {
        m_overlay->dismiss();
    }
}

OvlinConfirmationDialog *MilestoneListView::deleteDialog() const
{
    return m_overlay && !m_overlay->isLeaving() ? m_overlay->dialog() : nullptr;
}

double MilestoneListView::deleteOverlayPresence() const
{
    return m_overlay ? m_overlay->presence() : 0.0;
}

bool MilestoneListView::deleteOverlayVisible() const
{
    return m_overlay && m_overlay->isVisible();
}

} // namespace ovlin
