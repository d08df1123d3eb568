#include "ScreenParts/MilestoneCard.h"

#include "Base/Clock.h"
#include "Base/MainThread.h"
#include "DesignSystem/IconRegistry.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/OvlinButton.h"
#include "DesignSystem/OvlinCard.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/TextBlock.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"
#include "Engine/MilestoneProgressService.h"
#include "Model/Milestone.h"
#include "Platform/NotificationCenter.h" // completes the service header
#include "Platform/StoreContext.h"
#include "ScreenParts/RewardImage.h"

#include <QEnterEvent>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace ovlin {

namespace {

constexpr double kStackSpacing = 16;   // between the blocks of the full card, and in the compact row
constexpr double kProgressSpacing = 8; // between the counts and the bar
constexpr double kDefaultSpacing = 8;  // between the counts and the days to go
constexpr double kPictureDecodeSide = 256;

TextBlock textBlock(const QString &text, const QFont &font, const QColor &color, int maxLines = 0)
{
    TextBlock block;
    block.text = text;
    block.font = font;
    block.color = color;
    block.maxLines = maxLines;
    return block;
}

double lineHeight(const QFont &font)
{
    const QFontMetricsF fm(font);
    return std::ceil(fm.ascent() + fm.descent());
}

QSizeF badgeSize(const QString &label)
{
    const QFontMetricsF fm(ThemeFonts::label());
    return QSizeF(std::ceil(fm.horizontalAdvance(label)) + 2 * LayoutTokens::spacingLG,
                  lineHeight(ThemeFonts::label()) + 2 * LayoutTokens::spacingSM);
}

void paintBadge(QPainter &p, const QRectF &rect, const QString &label, bool bordered)
{
    Painting::fillRounded(p, rect, LayoutTokens::radiusButton, ThemeColors::green200());
    if (bordered)
        Painting::strokeInside(p, rect, LayoutTokens::radiusButton, ThemeColors::borderSubtle(), 1);
    textBlock(label, ThemeFonts::label(), ThemeColors::primaryDark())
        .paint(p, rect.adjusted(LayoutTokens::spacingLG, LayoutTokens::spacingSM, -LayoutTokens::spacingLG,
                                -LayoutTokens::spacingSM));
}

} // namespace

// Darkens the whole card, buttons included, while the pointer is over it.
class MilestoneCard::Shade : public QWidget
{
public:
    Shade(MilestoneCard *card) : QWidget(card), m_card(card)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        const double amount = -MilestoneCard::hoverBrightness * std::clamp(m_card->hoverProgress(), 0.0, 1.0);
        if (amount <= 0)
            return;
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        Painting::fillRounded(p, QRectF(rect()), LayoutTokens::radiusLG, QColor::fromRgbF(0, 0, 0, float(amount)));
    }

private:
    MilestoneCard *m_card;
};

// The card's content inside the card's padding. Everything but the buttons is painted from the reward as
// it stands when drawn.
class MilestoneCard::Body : public QWidget
{
public:
    struct Geometry
    {
        QRectF thumbnail;
        QRectF name;
        QRectF goal;
        QRectF badge;
        QRectF counts;
        QRectF toGo;
        QRectF track;
        QRectF earnedIcon;
        QRectF earnedText;
        QRectF divider;
        QRectF deleteButton;
        QRectF editButton;
        double height = 0;
    };

    explicit Body(MilestoneCard *card) : QWidget(card), m_card(card), m_picture(int(kPictureDecodeSide))
    {
        QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        policy.setHeightForWidth(true);
        setSizePolicy(policy);
    }

    Geometry geometryForWidth(double width) const
    {
        return m_card->m_style == MilestoneCardStyle::compact ? compactGeometry(width) : fullGeometry(width);
    }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return int(std::ceil(geometryForWidth(width).height)); }
    QSize sizeHint() const override
    {
        const int width = m_card->m_style == MilestoneCardStyle::compact ? 272 : 480;
        return QSize(width, heightForWidth(width));
    }
    QSize minimumSizeHint() const override
    {
        const int width = m_card->m_style == MilestoneCardStyle::compact ? 160 : 240;
        return QSize(width, heightForWidth(width));
    }

    void placeButtons()
    {
        const Geometry g = geometryForWidth(width());
        if (m_card->m_deleteButton)
            m_card->m_deleteButton->setGeometry(g.deleteButton.toAlignedRect());
        if (m_card->m_editButton)
            m_card->m_editButton->setGeometry(g.editButton.toAlignedRect());
    }

    const QImage &picture() { return m_picture.imageFor(m_card->m_milestone->thumbnailData()); }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QWidget::resizeEvent(event);
        placeButtons();
    }

    void paintEvent(QPaintEvent *) override
    {
        OVLIN_ASSERT_MAIN_THREAD();
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        const Geometry g = geometryForWidth(width());
        const bool full = m_card->m_style == MilestoneCardStyle::full;

        paintThumbnail(p, g.thumbnail, full);

        p.save();
        p.setOpacity(m_card->titleOpacity());
        nameBlock(full).paint(p, g.name);
        p.restore();
        goalBlock().paint(p, g.goal);
        paintBadge(p, g.badge, m_card->statusLabel(), !full);
        if (!full)
            return;

        textBlock(m_card->countText(), ThemeFonts::headline(), ThemeColors::textPrimary()).paint(p, g.counts);
        if (const auto toGo = m_card->toGoText())
            textBlock(*toGo, ThemeFonts::callout(), ThemeColors::textSecondary()).paint(p, g.toGo);

        Painting::fillRounded(p, g.track, LayoutTokens::radiusFull, ThemeColors::neutral200());
        Painting::fillRounded(p, fillRect(g.track), LayoutTokens::radiusFull, ThemeColors::primary());

        if (!g.earnedText.isEmpty()) {
            IconRegistry::paint(p, g.earnedIcon, QStringLiteral("checkmark.seal.fill"), ThemeColors::primaryDark());
            textBlock(QStringLiteral("Earned."), ThemeFonts::label(), ThemeColors::primaryDark())
                .paint(p, g.earnedText);
        }
        if (!g.divider.isEmpty())
            p.fillRect(g.divider, ThemeColors::borderSubtle());
    }

public:
    QRectF fillRect(const QRectF &track) const
    {
        const double fraction = std::clamp(m_card->m_fill.value(), 0.0, 1.0);
        return QRectF(track.left(), track.top(), std::max(track.width() * fraction, minimumFillWidth), track.height());
    }

private:
    TextBlock nameBlock(bool full) const
    {
        return textBlock(m_card->m_milestone->name(), full ? ThemeFonts::heading() : ThemeFonts::headline(),
                         ThemeColors::textPrimary(), full ? 2 : 1);
    }

    TextBlock goalBlock() const
    {
        return textBlock(m_card->goalText(), ThemeFonts::callout(), ThemeColors::textSecondary());
    }

    void paintThumbnail(QPainter &p, const QRectF &rect, bool full)
    {
        const QImage &image = picture();
        if (full)
            Painting::fillRounded(p, rect, LayoutTokens::radiusSM, ThemeColors::green200());
        if (!image.isNull()) {
            if (full) {
                Painting::fillPathWith(p, Painting::roundedRect(rect, LayoutTokens::radiusSM),
                                       [&](QPainter &lp) { RewardImage::paintFilled(lp, rect, image); });
            } else {
                RewardImage::paintFilled(p, rect, image);
            }
            return;
        }
        const double side = IconRegistry::symbolSize(full ? ThemeFonts::heading() : ThemeFonts::headline());
        IconRegistry::paint(p, QRectF(rect.center().x() - side / 2, rect.center().y() - side / 2, side, side),
                            QStringLiteral("trophy.fill"), ThemeColors::primaryDark());
    }

    // The thumbnail's square in the compact row: the symbol's own size, or a small square for a picture.
    double compactThumbnailSide() const
    {
        if (!const_cast<Body *>(this)->picture().isNull())
            return compactPictureSide;
        return IconRegistry::symbolSize(ThemeFonts::headline());
    }

    Geometry fullGeometry(double width) const
    {
        Geometry g;
        width = std::max(0.0, std::isfinite(width) ? width : 0.0);
        const QSizeF badge = badgeSize(m_card->statusLabel());

        // Header row: thumbnail, 8, texts, spacer (at least 8), badge; aligned to the top.
        g.thumbnail = QRectF(0, 0, fullThumbnailSide, fullThumbnailSide);
        const double textLeft = fullThumbnailSide + LayoutTokens::spacingSM;
        const double textWidth = std::max(1.0, width - textLeft - 2 * LayoutTokens::spacingSM - badge.width());
        const QSizeF nameSize = nameBlock(true).sizeForWidth(textWidth);
        const QSizeF goalSize = goalBlock().sizeForWidth(textWidth);
        g.name = QRectF(textLeft, 0, textWidth, nameSize.height());
        g.goal = QRectF(textLeft, g.name.bottom() + LayoutTokens::spacingXS, textWidth, goalSize.height());
        g.badge = QRectF(std::max(textLeft, width - badge.width()), 0, badge.width(), badge.height());
        double y = std::max({fullThumbnailSide, g.goal.bottom(), g.badge.bottom()});

        // Progress: the counts and the days to go on one baseline, then the bar.
        y += kStackSpacing;
        const QFontMetricsF counts(ThemeFonts::headline());
        const QFontMetricsF toGo(ThemeFonts::callout());
        const double ascent = std::max(counts.ascent(), m_card->toGoText() ? toGo.ascent() : 0.0);
        const double countsWidth = std::ceil(counts.horizontalAdvance(m_card->countText()));
        g.counts = QRectF(0, y + ascent - counts.ascent(), countsWidth, lineHeight(ThemeFonts::headline()));
        double lineBottom = g.counts.bottom();
        if (const auto text = m_card->toGoText()) {
            const double left = countsWidth + kDefaultSpacing;
            g.toGo = QRectF(left, y + ascent - toGo.ascent(), std::max(0.0, width - left),
                            lineHeight(ThemeFonts::callout()));
            lineBottom = std::max(lineBottom, g.toGo.bottom());
        }
        y = lineBottom + kProgressSpacing;
        g.track = QRectF(0, y, width, progressBarHeight);
        y = g.track.bottom();

        if (m_card->showsEarnedLine()) {
            y += kStackSpacing;
            const double icon = IconRegistry::symbolSize(ThemeFonts::label());
            const double text = lineHeight(ThemeFonts::label());
            const double row = std::max(icon, text);
            g.earnedIcon = QRectF(0, y + (row - icon) / 2, icon, icon);
            const double earnedLeft = icon + LayoutTokens::spacingXS;
            g.earnedText = QRectF(earnedLeft, y + (row - text) / 2, std::max(0.0, width - earnedLeft), text);
            y += row;
        }

        if (m_card->showsActions()) {
            y += kStackSpacing;
            g.divider = QRectF(0, y, width, 1);
            y += 1 + kStackSpacing;
            const double height = OvlinButton::heightFor(OvlinButtonSize::small);
            double x = 0;
            if (m_card->m_deleteButton) {
                g.deleteButton = QRectF(x, y, LayoutTokens::deleteActionWidth, height);
                x += LayoutTokens::deleteActionWidth + LayoutTokens::spacingXS;
            }
            if (m_card->m_editButton)
                g.editButton = QRectF(x, y, LayoutTokens::editActionWidth, height);
            y += height;
        }
        g.height = y;
        return g;
    }

    Geometry compactGeometry(double width) const
    {
        Geometry g;
        width = std::max(0.0, std::isfinite(width) ? width : 0.0);
        const QSizeF badge = badgeSize(m_card->statusLabel());
        const double thumb = compactThumbnailSide();
        const double textLeft = thumb + kStackSpacing;
        // Texts, then the spacer and the badge. In the popover's narrow card the spacer gives way first, so
        // the name and the goal keep their room: at least 16 stays between the texts and the badge.
        const double textWidth = std::max(1.0, width - textLeft - kStackSpacing - badge.width());
        const QSizeF nameSize = nameBlock(false).sizeForWidth(textWidth);
        const QSizeF goalSize = goalBlock().sizeForWidth(textWidth);
        const double textHeight = nameSize.height() + LayoutTokens::spacingXS + goalSize.height();
        const double height = std::max({thumb, textHeight, badge.height()});
        g.thumbnail = QRectF(0, (height - thumb) / 2, thumb, thumb);
        const double textTop = (height - textHeight) / 2;
        g.name = QRectF(textLeft, textTop, textWidth, nameSize.height());
        g.goal = QRectF(textLeft, g.name.bottom() + LayoutTokens::spacingXS, textWidth, goalSize.height());
        g.badge = QRectF(std::max(textLeft, width - badge.width()), (height - badge.height()) / 2, badge.width(),
                         badge.height());
        g.height = height;
        return g;
    }

    MilestoneCard *m_card;
    DecodedRewardImage m_picture;
};

MilestoneCard::MilestoneCard(std::shared_ptr<Milestone> milestone, std::function<void()> onTap,
                             std::function<void()> onEdit, std::function<void()> onDelete, MilestoneCardStyle style,
                             QWidget *parent)
    : QWidget(parent), m_milestone(std::move(milestone)), m_onTap(std::move(onTap)), m_onEdit(std::move(onEdit)),
      m_onDelete(std::move(onDelete)), m_style(style)
{
    OVLIN_ASSERT_MAIN_THREAD();
    installAccessibleValueFactory();
    if (!m_milestone) {
        // A card needs a reward; an empty one stands in rather than leaving a null to dereference.
        m_milestone =
            Milestone::create(QUuid(), QString(), QString(), 0, 0, std::nullopt, QDateTime(), MilestoneStatus::active);
    }
    setAttribute(Qt::WA_Hover);
    m_body = new Body(this);
    if (m_style == MilestoneCardStyle::full) {
        if (m_onDelete) {
            m_deleteButton = new OvlinButton(QStringLiteral("Delete"), OvlinButtonStyle::destructive,
                                             OvlinButtonSize::small, false, false, m_onDelete, m_body);
            m_deleteButton->setAccessibleName(QStringLiteral("Delete reward"));
        }
        if (m_onEdit) {
            m_editButton = new OvlinButton(QStringLiteral("Edit"), OvlinButtonStyle::secondary, OvlinButtonSize::small,
                                           false, false, m_onEdit, m_body);
            m_editButton->setAccessibleName(QStringLiteral("Edit reward"));
        }
    }
    // The fill follows the status: the card's own fill stays white and the status colour is drawn over it.
    m_card = new OvlinCard(
        LayoutTokens::spacingXL, ThemeColors::surface(),
        [this](QPainter &p, const QRectF &rect) { p.fillRect(rect, cardBackground()); }, false, true, m_body, this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_card);
    m_shade = new Shade(this);
    m_shade->raise();

    connect(&m_hover, &AnimatedValue::valueChanged, m_shade, qOverload<>(&QWidget::update));
    connect(&m_fill, &AnimatedValue::valueChanged, m_body, qOverload<>(&QWidget::update));
    m_fill.setImmediately(progressFraction());
    setAccessibleName(accessibilityText());
    watchContext();
}

MilestoneCard::~MilestoneCard()
{
    disconnect(m_contextConnection);
}

void MilestoneCard::watchContext()
{
    disconnect(m_contextConnection);
    if (StoreContext *context = m_milestone->context()) {
        m_contextConnection = connect(context, &StoreContext::objectsChanged, this, [this](RecordTypes types) {
            if (types & (RecordType::milestone | RecordType::milestoneLog))
                refresh();
        });
    }
}

void MilestoneCard::refresh()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!m_contextConnection)
        watchContext();
    const double fraction = progressFraction();
    if (fraction != m_fill.target())
        m_fill.animateTo(fraction, MotionCurve::easeOut(0.35));
    setAccessibleName(accessibilityText());
    // Texts and status decide the height (the earned line, a second line of the name).
    m_body->updateGeometry();
    m_body->placeButtons();
    m_body->update();
    m_card->update();
}

qint64 MilestoneCard::daysMet() const
{
    OVLIN_ASSERT_MAIN_THREAD();
    return std::max<qint64>(0, MilestoneProgressService::shared().daysMet(*m_milestone, Clock::now()));
}

double MilestoneCard::progressFraction(qint64 daysMet, qint64 requireDays)
{
    if (requireDays < 1)
        return 0;
    return std::min(1.0, double(daysMet) / double(requireDays));
}

qint64 MilestoneCard::daysRemaining(qint64 daysMet, qint64 requireDays)
{
    // Written so that no extreme stored value can overflow.
    if (daysMet >= requireDays)
        return 0;
    return daysMet < 0 ? requireDays : requireDays - daysMet;
}

double MilestoneCard::progressFraction() const
{
    return progressFraction(daysMet(), m_milestone->requireDays());
}

qint64 MilestoneCard::daysRemaining() const
{
    return daysRemaining(daysMet(), m_milestone->requireDays());
}

MilestoneStatus MilestoneCard::status() const
{
    OVLIN_ASSERT_MAIN_THREAD();
    return m_milestone->status();
}

QColor MilestoneCard::cardBackground(MilestoneStatus status)
{
    return status == MilestoneStatus::achieved ? ThemeColors::green100() : ThemeColors::surface();
}

double MilestoneCard::titleOpacity(MilestoneStatus status)
{
    return status == MilestoneStatus::failed ? 0.5 : 1.0;
}

QString MilestoneCard::statusLabel(MilestoneStatus status)
{
    switch (status) {
    case MilestoneStatus::active: return QStringLiteral("Active");
    case MilestoneStatus::achieved: return QStringLiteral("Earned");
    case MilestoneStatus::failed: return QStringLiteral("Ended");
    }
    return QStringLiteral("Active");
}

QColor MilestoneCard::cardBackground() const
{
    return cardBackground(status());
}

double MilestoneCard::titleOpacity() const
{
    return titleOpacity(status());
}

QString MilestoneCard::statusLabel() const
{
    return statusLabel(status());
}

bool MilestoneCard::showsActions() const
{
    return m_style == MilestoneCardStyle::full && (m_onEdit || m_onDelete);
}

QString MilestoneCard::accessibilityText() const
{
    return QStringLiteral("%1. %2 of %3 days completed. %4.")
        .arg(m_milestone->name())
        .arg(daysMet())
        .arg(m_milestone->requireDays())
        .arg(rawValue(status()));
}

QString MilestoneCard::goalText() const
{
    return QStringLiteral("%1 day goal").arg(m_milestone->requireDays());
}

QString MilestoneCard::countText() const
{
    return QStringLiteral("%1/%2 days").arg(daysMet()).arg(m_milestone->requireDays());
}

std::optional<QString> MilestoneCard::toGoText() const
{
    if (status() != MilestoneStatus::active)
        return std::nullopt;
    return QStringLiteral("%1 to go").arg(daysRemaining());
}

bool MilestoneCard::showsEarnedLine() const
{
    return m_style == MilestoneCardStyle::full && status() == MilestoneStatus::achieved;
}

bool MilestoneCard::showsPicture() const
{
    return !m_body->picture().isNull();
}

QRectF MilestoneCard::progressTrackRect() const
{
    if (m_style != MilestoneCardStyle::full)
        return {};
    const QRectF track = m_body->geometryForWidth(m_body->width()).track;
    return track.translated(m_body->mapTo(this, QPoint(0, 0)));
}

QRectF MilestoneCard::progressFillRect() const
{
    if (m_style != MilestoneCardStyle::full)
        return {};
    const QRectF track = m_body->geometryForWidth(m_body->width()).track;
    return m_body->fillRect(track).translated(m_body->mapTo(this, QPoint(0, 0)));
}

QRectF MilestoneCard::dividerRect() const
{
    const QRectF divider = m_body->geometryForWidth(m_body->width()).divider;
    if (divider.isEmpty())
        return {};
    return divider.translated(m_body->mapTo(this, QPoint(0, 0)));
}

QAccessible::Role MilestoneCard::accessibleValueRole() const
{
    return m_onTap ? QAccessible::Button : QAccessible::Grouping;
}

bool MilestoneCard::hitsCard(const QPointF &position) const
{
    return Painting::roundedRect(QRectF(rect()), LayoutTokens::radiusLG).contains(position);
}

void MilestoneCard::enterEvent(QEnterEvent *event)
{
    m_isHovered = true;
    m_hover.animateTo(1, MotionCurve::easeOut(0.15));
    QWidget::enterEvent(event);
}

void MilestoneCard::leaveEvent(QEvent *event)
{
    m_isHovered = false;
    m_hover.animateTo(0, MotionCurve::easeOut(0.15));
    QWidget::leaveEvent(event);
}

void MilestoneCard::mousePressEvent(QMouseEvent *event)
{
    m_pressInside = event->button() == Qt::LeftButton && hitsCard(event->position());
    event->accept();
}

void MilestoneCard::mouseReleaseEvent(QMouseEvent *event)
{
    const bool tapped = m_pressInside && event->button() == Qt::LeftButton && hitsCard(event->position());
    m_pressInside = false;
    event->accept();
    if (tapped && m_onTap) {
        // The action may remove this card: run it from a copy.
        const auto onTap = m_onTap;
        onTap();
    }
}

void MilestoneCard::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_shade->setGeometry(rect());
    m_shade->raise();
}

} // namespace ovlin
