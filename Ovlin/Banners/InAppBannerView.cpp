#include "Banners/InAppBannerView.h"

#include "Base/MainThread.h"
#include "DesignSystem/IconRegistry.h"
#include "DesignSystem/KeyboardFocus.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/TextBlock.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"

#include <QAbstractButton>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace ovlin {

namespace {

constexpr double kIconSide = 56;
constexpr double kPressedOpacity = 0.7;

using Role = BannerAction::Role;

struct RoleColors
{
    QColor text;
    QColor background;
    QColor border;
};

RoleColors colorsFor(Role role)
{
    switch (role) {
    case Role::primary: return {ThemeColors::textOnPrimary(), ThemeColors::primary(), ThemeColors::primary()};
    case Role::secondary: return {ThemeColors::textPrimary(), ThemeColors::surfaceSubtle(), ThemeColors::border()};
    case Role::destructive:
        return {ThemeColors::destructive(), Qt::transparent, Painting::withOpacity(ThemeColors::destructive(), 0.5)};
    }
    return {ThemeColors::textPrimary(), ThemeColors::surfaceSubtle(), ThemeColors::border()};
}

// The header reads "OVLIN  NOTIFICATION": upper case by the font, not by changing the strings.
QFont headerFont()
{
    QFont f = ThemeFonts::caption();
    f.setCapitalization(QFont::AllUppercase);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 0.8);
    return f;
}

double lineHeight(const QFont &font)
{
    const QFontMetricsF fm(font);
    return fm.ascent() + fm.descent();
}

TextBlock titleBlock(const BannerData &banner)
{
    TextBlock block;
    block.text = banner.title;
    block.font = ThemeFonts::bodyEmphasis();
    block.color = ThemeColors::textPrimary();
    block.maxLines = 2;
    return block;
}

TextBlock messageBlock(const BannerData &banner)
{
    TextBlock block;
    block.text = banner.message;
    block.font = ThemeFonts::callout();
    block.color = ThemeColors::textSecondary();
    block.maxLines = 3;
    block.lineSpacing = LayoutTokens::lineSpacingTight;
    return block;
}

// Where everything of the card goes for a given offered width, in the view's coordinates.
struct CardGeometry
{
    QRectF card;
    QRectF icon;
    QRectF header;
    QRectF title;
    QRectF message;
    double buttonTop = 0;
};

CardGeometry layoutCard(const BannerData &banner, double width)
{
    CardGeometry g;
    const double offered = std::isfinite(width) ? std::max(0.0, width) : LayoutTokens::bannerMaxWidth;
    const double cardWidth = std::min(offered, LayoutTokens::bannerMaxWidth);
    const double left = std::floor((offered - cardWidth) / 2);
    const double innerLeft = left + LayoutTokens::spacingXL;
    const double contentWidth = std::max(0.0, cardWidth - 2 * LayoutTokens::spacingXL);
    // The text column keeps at least spacingLG free on its right.
    const double textLeft = innerLeft + kIconSide + LayoutTokens::spacingLG;
    const double textWidth = std::max(1.0, contentWidth - kIconSide - 2 * LayoutTokens::spacingLG);

    const double top = LayoutTokens::spacingLG;
    g.icon = QRectF(innerLeft, top, kIconSide, kIconSide);

    double y = top;
    const double headerHeight = lineHeight(headerFont());
    g.header = QRectF(textLeft, y, textWidth, headerHeight);
    y += headerHeight + LayoutTokens::spacingXS;
    const double titleHeight = titleBlock(banner).sizeForWidth(textWidth).height();
    g.title = QRectF(textLeft, y, textWidth, titleHeight);
    y += titleHeight + LayoutTokens::spacingXS;
    const double messageHeight = messageBlock(banner).sizeForWidth(textWidth).height();
    g.message = QRectF(textLeft, y, textWidth, messageHeight);
    y += messageHeight;

    const double topRowHeight = std::max(kIconSide, y - top);
    g.buttonTop = top + topRowHeight + LayoutTokens::spacingLG;
    const double height = g.buttonTop + LayoutTokens::controlHeightSmall + LayoutTokens::spacingLG;
    g.card = QRectF(left, 0, cardWidth, std::ceil(height));
    return g;
}

void paintAppIcon(QPainter &p, const QRectF &rect)
{
    const QIcon icon = QGuiApplication::windowIcon();
    const QSize side{int(kIconSide), int(kIconSide)};
    if (icon.isNull() || icon.actualSize(side).isEmpty()) {
        // No icon from the platform: the app's green tile with its bell.
        Painting::fillRounded(p, rect, LayoutTokens::radiusMD, ThemeColors::primary());
        const double inset = rect.width() * 0.25;
        IconRegistry::paint(p, rect.adjusted(inset, inset, -inset, -inset), QStringLiteral("bell.fill"),
                            ThemeColors::textOnPrimary());
        return;
    }
    const double dpr = p.device() ? std::max(1.0, p.device()->devicePixelRatioF()) : 1.0;
    const QPixmap pixmap = icon.pixmap(side, dpr);
    QSizeF fitted = QSizeF(pixmap.size()) / std::max(1.0, pixmap.devicePixelRatioF());
    fitted.scale(rect.size(), Qt::KeepAspectRatio);
    const QRectF target(rect.center() - QPointF(fitted.width() / 2, fitted.height() / 2), fitted);
    Painting::fillPathWith(p, Painting::roundedRect(rect, LayoutTokens::radiusMD), [&](QPainter &lp) {
        lp.setRenderHint(QPainter::SmoothPixmapTransform);
        lp.drawPixmap(target, pixmap, QRectF(pixmap.rect()));
    });
}

// One button of the row: the title in the role's colours on a rounded fill with a 1-pixel border.
// Its width follows the title; no hover effect. It takes focus only where its view lets the keyboard in.
class BannerButton : public QAbstractButton
{
public:
    BannerButton(const QString &title, Role role, QWidget *parent) : QAbstractButton(parent), m_role(role)
    {
        setText(title);
        setAccessibleName(title);
        setFocusPolicy(Qt::NoFocus);
    }

    Role role() const { return m_role; }

    QSize sizeHint() const override
    {
        const double textWidth = QFontMetricsF(ThemeFonts::label()).horizontalAdvance(text());
        return QSize(int(std::ceil(textWidth + 2 * LayoutTokens::spacingXL)), int(LayoutTokens::controlHeightSmall));
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        OVLIN_ASSERT_MAIN_THREAD();
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        const QRectF r = QRectF(rect());
        const RoleColors colors = colorsFor(m_role);
        Painting::drawLayer(p, r, isDown() ? kPressedOpacity : 1.0, [&](QPainter &lp) {
            if (colors.background.alpha() > 0)
                Painting::fillRounded(lp, r, LayoutTokens::radiusButton, colors.background);
            Painting::strokeInside(lp, r, LayoutTokens::radiusButton, colors.border, 1);
            lp.setFont(ThemeFonts::label());
            lp.setPen(colors.text);
            lp.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, text());
        });
        KeyboardFocus::paintRing(p, this, r, LayoutTokens::radiusButton);
    }

private:
    Role m_role;
};

} // namespace

InAppBannerView::InAppBannerView(BannerData banner, std::function<void()> onDismiss, QWidget *parent)
    : QWidget(parent), m_banner(std::move(banner)), m_onDismiss(std::move(onDismiss))
{
    OVLIN_ASSERT_MAIN_THREAD();
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setAccessibleName(QStringLiteral("Notification: ") + m_banner.title + QStringLiteral(". ") + m_banner.message);

    if (m_banner.actions.isEmpty()) {
        auto *ok = new BannerButton(QStringLiteral("OK"), Role::secondary, this);
        connect(ok, &QAbstractButton::clicked, this, [this] { performOk(); });
        m_buttons.append(ok);
    } else {
        // Destructive buttons lead; all others follow at the trailing edge, each group in the caller's order.
        QList<QAbstractButton *> leading;
        QList<QAbstractButton *> trailing;
        for (int i = 0; i < m_banner.actions.size(); ++i) {
            const BannerAction &action = m_banner.actions.at(i);
            auto *button = new BannerButton(action.title, action.role, this);
            connect(button, &QAbstractButton::clicked, this, [this, i] { performAction(i); });
            (action.role == Role::destructive ? leading : trailing).append(button);
        }
        m_buttons = leading + trailing;
    }
    placeButtons();
}

int InAppBannerView::cardHeight(const BannerData &banner, int width)
{
    return int(layoutCard(banner, width).card.height());
}

QRect InAppBannerView::cardRect() const
{
    return layoutCard(m_banner, width()).card.toRect();
}

QList<QAbstractButton *> InAppBannerView::buttons() const
{
    return m_buttons;
}

void InAppBannerView::setKeyboardReachable(bool reachable)
{
    m_keyboardReachable = reachable;
    for (QAbstractButton *button : std::as_const(m_buttons))
        button->setFocusPolicy(reachable ? Qt::TabFocus : Qt::NoFocus);
}

void InAppBannerView::keyPressEvent(QKeyEvent *event)
{
    // A button passes on the keys it does not use: Escape closes the banner, answering nothing.
    if (m_keyboardReachable && event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        performOk();
        return;
    }
    QWidget::keyPressEvent(event);
}

void InAppBannerView::setDrawsShadow(bool draws)
{
    if (draws == m_drawsShadow)
        return;
    m_drawsShadow = draws;
    update();
}

void InAppBannerView::paintShadow(QPainter &p, const QRectF &card)
{
    // The shadow belongs to the card's shape, so the texts cast none.
    Painting::drawShadow(p, card, LayoutTokens::radiusLG, LayoutTokens::overlayShadow,
                         Painting::withOpacity(ThemeColors::shadow(), 0.12));
}

QSize InAppBannerView::sizeHint() const
{
    const int w = int(LayoutTokens::bannerMaxWidth);
    return QSize(w, heightForWidth(w));
}

QSize InAppBannerView::minimumSizeHint() const
{
    // Narrow enough to wrap the texts, wide enough to keep the buttons apart.
    double w = 2 * LayoutTokens::spacingXL;
    bool hasLeading = false;
    bool hasTrailing = false;
    for (const QAbstractButton *b : m_buttons) {
        w += b->sizeHint().width();
        (static_cast<const BannerButton *>(b)->role() == Role::destructive ? hasLeading : hasTrailing) = true;
    }
    w += LayoutTokens::spacingSM * double(std::max<qsizetype>(0, m_buttons.size() - 1));
    if (hasLeading && hasTrailing)
        w += LayoutTokens::spacingSM;
    const int width = int(std::ceil(w));
    return QSize(width, heightForWidth(width));
}

int InAppBannerView::heightForWidth(int width) const
{
    return cardHeight(m_banner, width);
}

void InAppBannerView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeButtons();
}

void InAppBannerView::placeButtons()
{
    const CardGeometry g = layoutCard(m_banner, width());
    const int top = int(std::lround(g.buttonTop));
    const int height = int(LayoutTokens::controlHeightSmall);
    const int gap = int(LayoutTokens::spacingSM);

    QList<QAbstractButton *> leading;
    QList<QAbstractButton *> trailing;
    for (QAbstractButton *b : m_buttons)
        (static_cast<BannerButton *>(b)->role() == Role::destructive ? leading : trailing).append(b);

    int x = int(std::lround(g.card.left() + LayoutTokens::spacingXL));
    for (QAbstractButton *b : leading) {
        const int w = b->sizeHint().width();
        b->setGeometry(x, top, w, height);
        x += w + gap;
    }
    int right = int(std::lround(g.card.right() - LayoutTokens::spacingXL));
    for (auto it = trailing.crbegin(); it != trailing.crend(); ++it) {
        const int w = (*it)->sizeHint().width();
        (*it)->setGeometry(right - w, top, w, height);
        right -= w + gap;
    }
}

void InAppBannerView::paintEvent(QPaintEvent *)
{
    OVLIN_ASSERT_MAIN_THREAD();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const CardGeometry g = layoutCard(m_banner, width());

    if (m_drawsShadow)
        paintShadow(p, g.card);
    Painting::fillRounded(p, g.card, LayoutTokens::radiusLG, ThemeColors::surface());

    paintAppIcon(p, g.icon);

    const QFont header = headerFont();
    const QFontMetricsF fm(header);
    const double baseline = g.header.top() + fm.ascent();
    const QString product = QStringLiteral("Ovlin");
    p.setFont(header);
    p.setPen(ThemeColors::textSecondary());
    p.drawText(QPointF(g.header.left(), baseline), product);
    p.setPen(ThemeColors::textTertiary());
    p.drawText(QPointF(g.header.left() + fm.horizontalAdvance(product) + LayoutTokens::spacingSM, baseline),
               QStringLiteral("Notification"));

    titleBlock(m_banner).paint(p, g.title);
    messageBlock(m_banner).paint(p, g.message);

    Painting::strokeInside(p, g.card, LayoutTokens::radiusLG, ThemeColors::border(), 1);
}

void InAppBannerView::performAction(int actionIndex)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (m_answered || actionIndex < 0 || actionIndex >= m_banner.actions.size())
        return;
    // One answer per banner: the card may linger while its place animates it away.
    m_answered = true;
    // Copies: the handler or the dismissal may replace or delete this view.
    const std::function<void()> handler = m_banner.actions.at(actionIndex).handler;
    const std::function<void()> onDismiss = m_onDismiss;
    if (handler)
        handler();
    if (onDismiss)
        onDismiss();
}

void InAppBannerView::performOk()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (m_answered)
        return;
    m_answered = true;
    const std::function<void()> onDismiss = m_onDismiss;
    if (onDismiss)
        onDismiss();
}

} // namespace ovlin
