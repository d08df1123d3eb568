#include "DesignSystem/EmptyState.h"

#include "DesignSystem/OvlinButton.h"

#include "Base/MainThread.h"
#include "DesignSystem/AnimatedValue.h"
#include "DesignSystem/ComponentImages.h"
#include "DesignSystem/IconRegistry.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/TextBlock.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"

#include <QAbstractButton>
#include <QEnterEvent>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace ovlin {

namespace {

constexpr double kCardShadowOpacity = 0.08;
constexpr double kCardHoverBrightness = -0.012;

// The call-to-action button: primary, large, not loading, not disabled.
QAbstractButton *makeActionButton(const QString &title, std::function<void()> action, QWidget *parent)
{
    return new OvlinButton(title, OvlinButtonStyle::primary, OvlinButtonSize::large, false, false, std::move(action),
                           parent);
}

TextBlock titleBlock(const QString &title)
{
    TextBlock block;
    block.text = title;
    block.font = ThemeFonts::emptyStateTitle();
    block.color = ThemeColors::textPrimary();
    block.alignment = Qt::AlignHCenter | Qt::AlignTop;
    return block;
}

TextBlock messageBlock(const QString &message)
{
    TextBlock block;
    block.text = message;
    block.font = ThemeFonts::body();
    block.color = ThemeColors::textSecondary();
    block.maxLines = EmptyState::messageMaxLines;
    block.lineSpacing = LayoutTokens::lineSpacingRegular;
    block.alignment = Qt::AlignHCenter | Qt::AlignTop;
    return block;
}

} // namespace

EmptyState::EmptyState(const QString &icon, const std::optional<QString> &imageAsset, const QString &title,
                       const QString &message, const std::optional<QString> &actionTitle, std::function<void()> action,
                       QWidget *parent)
    : QWidget(parent), m_icon(icon), m_imageAsset(imageAsset), m_title(title), m_message(message)
{
    OVLIN_ASSERT_MAIN_THREAD();
    // The button needs both its title and something to do.
    if (actionTitle && action)
        m_button = makeActionButton(*actionTitle, std::move(action), this);
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setAccessibleName(accessibilityLabel(title, message));
    setMouseTracking(true);
    connect(&m_cardHover, &AnimatedValue::valueChanged, this, qOverload<>(&QWidget::update));
}

QString EmptyState::accessibilityLabel(const QString &title, const QString &message)
{
    return QStringLiteral("%1. %2").arg(title, message);
}

double EmptyState::naturalContentWidth() const
{
    double width = LayoutTokens::emptyStateIconSize;
    width = std::max(width, titleBlock(m_title).naturalWidth());
    width = std::max(width, messageBlock(m_message).sizeForWidth(messageMaxWidth).width());
    if (m_button)
        width = std::max(width, buttonMaxWidth);
    return width;
}

EmptyState::Geometry EmptyState::geometryForWidth(double width) const
{
    const double pad = LayoutTokens::spacingXL;
    const double gap = LayoutTokens::spacingXL;
    // What the card's content is offered: the slot less the card's padding.
    const double offered = std::max(0.0, (std::isfinite(width) ? width : 0.0) - 2 * pad);

    const TextBlock title = titleBlock(m_title);
    const double titleWidth = std::min(title.naturalWidth(), offered);
    const QSizeF titleSize = title.sizeForWidth(std::max(1.0, titleWidth));
    const TextBlock message = messageBlock(m_message);
    const double messageWidth = std::max(1.0, std::min(offered, messageMaxWidth));
    const QSizeF messageSize = message.sizeForWidth(messageWidth);
    const double buttonWidth = m_button ? std::min(buttonMaxWidth, offered) : 0;

    // Whole pixels keep the icon and the button on the pixel grid.
    const double content =
        std::ceil(std::max({LayoutTokens::emptyStateIconSize, titleSize.width(), messageSize.width(), buttonWidth}));
    double contentHeight =
        LayoutTokens::emptyStateIconSize + gap + titleSize.height() + LayoutTokens::spacingSM + messageSize.height();
    if (m_button)
        contentHeight += gap + LayoutTokens::controlHeightLarge;

    Geometry g;
    const double cardWidth = content + 2 * pad;
    g.card = QRectF(std::round((width - cardWidth) / 2), 0, cardWidth, contentHeight + 2 * pad);
    const double cx = g.card.center().x();
    double y = g.card.top() + pad;
    const double icon = LayoutTokens::emptyStateIconSize;
    g.icon = QRectF(std::round(cx - icon / 2), y, icon, icon);
    y += icon + gap;
    // Text boxes keep the width the text was wrapped at; each line is centred in it.
    g.title = QRectF(cx - titleWidth / 2, y, titleWidth, titleSize.height());
    y += titleSize.height() + LayoutTokens::spacingSM;
    g.message = QRectF(cx - messageWidth / 2, y, messageWidth, messageSize.height());
    y += messageSize.height();
    if (m_button) {
        y += gap;
        g.button = QRectF(std::round(cx - buttonWidth / 2), y, buttonWidth, LayoutTokens::controlHeightLarge);
    }
    g.height = g.card.height();
    return g;
}

QSize EmptyState::sizeHint() const
{
    const double width = naturalContentWidth() + 2 * LayoutTokens::spacingXL;
    const Geometry g = geometryForWidth(width);
    return QSize(int(std::ceil(width)), int(std::ceil(g.height)));
}

QSize EmptyState::minimumSizeHint() const
{
    const double width = LayoutTokens::emptyStateIconSize + 2 * LayoutTokens::spacingXL;
    return QSize(int(width), int(std::ceil(geometryForWidth(width).height)));
}

int EmptyState::heightForWidth(int width) const
{
    return int(std::ceil(geometryForWidth(width).height));
}

void EmptyState::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_button)
        m_button->setGeometry(geometryForWidth(width()).button.toAlignedRect());
}

void EmptyState::setCardHovered(bool hovered)
{
    if (hovered == m_cardHovered)
        return;
    m_cardHovered = hovered;
    m_cardHover.animateTo(hovered ? 1 : 0, MotionCurve::easeOut(0.15));
}

void EmptyState::enterEvent(QEnterEvent *event)
{
    setCardHovered(geometryForWidth(width()).card.contains(event->position()));
    QWidget::enterEvent(event);
}

void EmptyState::leaveEvent(QEvent *event)
{
    setCardHovered(false);
    QWidget::leaveEvent(event);
}

void EmptyState::mouseMoveEvent(QMouseEvent *event)
{
    // The slot is wider than the card: only the card itself reacts.
    setCardHovered(geometryForWidth(width()).card.contains(event->position()));
    QWidget::mouseMoveEvent(event);
}

void EmptyState::paintEvent(QPaintEvent *)
{
    const Geometry g = geometryForWidth(width());
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);

    // The card: padding 24 on the surface colour, border and shadow on, slightly darker under the pointer.
    Painting::drawShadow(p, g.card, LayoutTokens::radiusLG, LayoutTokens::cardShadow,
                         Painting::withOpacity(ThemeColors::shadow(), kCardShadowOpacity));
    const double shade = kCardHoverBrightness * std::clamp(m_cardHover.value(), 0.0, 1.0);
    Painting::fillRounded(p, g.card, LayoutTokens::radiusLG, Painting::brightened(ThemeColors::surface(), shade));
    Painting::strokeInside(p, g.card, LayoutTokens::radiusLG, Painting::brightened(ThemeColors::border(), shade), 1);

    if (m_imageAsset) {
        ComponentImages::paintRounded(p, g.icon, LayoutTokens::radiusSM, *m_imageAsset, Qt::KeepAspectRatio);
    } else {
        Painting::fillRounded(p, g.icon, LayoutTokens::radiusSM, ThemeColors::surfaceMuted());
        const double glyph = IconRegistry::symbolSize(ThemeFonts::heading());
        IconRegistry::paint(p, QRectF(g.icon.center().x() - glyph / 2, g.icon.center().y() - glyph / 2, glyph, glyph),
                            m_icon, ThemeColors::textTertiary());
    }

    titleBlock(m_title).paint(p, g.title);
    messageBlock(m_message).paint(p, g.message);
}

} // namespace ovlin
