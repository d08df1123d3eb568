#include "DesignSystem/NotificationPreview.h"

#include "Base/MainThread.h"
#include "DesignSystem/ComponentImages.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/TextBlock.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace ovlin {

namespace {

QFont nameFont()
{
    QFont font = ThemeFonts::captionEmphasis();
    font.setLetterSpacing(QFont::AbsoluteSpacing, NotificationPreview::nameTracking);
    return font;
}

QString appName()
{
    return QStringLiteral("OVLIN");
}

QString timeWord()
{
    return QStringLiteral("now");
}

TextBlock titleBlock(const QString &title)
{
    TextBlock block;
    block.text = title;
    block.font = ThemeFonts::bodyEmphasis();
    block.color = ThemeColors::textPrimary();
    block.maxLines = 1;
    return block;
}

TextBlock messageBlock(const QString &message)
{
    TextBlock block;
    block.text = message;
    block.font = ThemeFonts::body();
    block.color = ThemeColors::textSecondary();
    block.maxLines = NotificationPreview::messageMaxLines;
    return block;
}

// A text line's height: the tallest ascent plus the deepest descent of the fonts on it.
double headerHeight()
{
    const QFontMetricsF name(nameFont());
    const QFontMetricsF time(ThemeFonts::callout());
    return std::max(name.ascent(), time.ascent()) + std::max(name.descent(), time.descent());
}

double singleLineHeight(const QFont &font)
{
    const QFontMetricsF fm(font);
    return fm.ascent() + fm.descent();
}

} // namespace

NotificationPreview::NotificationPreview(const QString &title, const QString &message, QWidget *parent)
    : QWidget(parent), m_title(title), m_message(message)
{
    OVLIN_ASSERT_MAIN_THREAD();
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    refresh();
}

void NotificationPreview::setTitle(const QString &title)
{
    if (title == m_title)
        return;
    m_title = title;
    refresh();
}

void NotificationPreview::setMessage(const QString &message)
{
    if (message == m_message)
        return;
    m_message = message;
    refresh();
}

void NotificationPreview::refresh()
{
    setAccessibleName(accessibilityLabel(m_title, m_message));
    updateGeometry();
    update();
}

QString NotificationPreview::accessibilityLabel(const QString &title, const QString &message)
{
    return QStringLiteral("Notification: %1. %2").arg(title, message);
}

NotificationPreview::Geometry NotificationPreview::geometryForWidth(double width) const
{
    const double pad = LayoutTokens::spacingLG;
    const double thumb = LayoutTokens::iconTileMedium;
    const double w = std::isfinite(width) ? width : 0.0;
    const double columnLeft = pad + thumb + LayoutTokens::spacingLG;
    const double columnWidth = std::max(1.0, w - columnLeft - pad);

    Geometry g;
    g.thumbnail = QRectF(pad, pad, thumb, thumb);
    double y = pad;
    g.header = QRectF(columnLeft, y, columnWidth, headerHeight());
    y += g.header.height() + LayoutTokens::spacingSM;
    // An empty title still takes its line, like the text it stands for.
    const double titleHeight = singleLineHeight(ThemeFonts::bodyEmphasis());
    g.title = QRectF(columnLeft, y, columnWidth, titleHeight);
    y += titleHeight + LayoutTokens::spacingSM;
    const double messageHeight = messageBlock(m_message).sizeForWidth(columnWidth).height();
    g.message = QRectF(columnLeft, y, columnWidth, messageHeight);
    y += messageHeight;
    const double columnHeight = y - pad;
    g.height = pad + std::max(thumb, columnHeight) + pad;
    return g;
}

QSize NotificationPreview::sizeHint() const
{
    const int width = 400;
    return QSize(width, heightForWidth(width));
}

QSize NotificationPreview::minimumSizeHint() const
{
    const QFontMetricsF name(nameFont());
    const QFontMetricsF time(ThemeFonts::callout());
    const double header =
        name.horizontalAdvance(appName()) + LayoutTokens::spacingSM + time.horizontalAdvance(timeWord());
    const double width = 2 * LayoutTokens::spacingLG + LayoutTokens::iconTileMedium + LayoutTokens::spacingLG + header;
    const int w = int(std::ceil(width));
    return QSize(w, heightForWidth(w));
}

int NotificationPreview::heightForWidth(int width) const
{
    return int(std::ceil(geometryForWidth(width).height));
}

void NotificationPreview::paintEvent(QPaintEvent *)
{
    const Geometry g = geometryForWidth(width());
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF card(0, 0, width(), height());
    Painting::fillRounded(p, card, LayoutTokens::radiusLG, ThemeColors::surface());

    ComponentImages::paintRounded(p, g.thumbnail, LayoutTokens::radiusLG, QStringLiteral("OvlinThumb"),
                                  Qt::KeepAspectRatioByExpanding);

    // Header: the name at the leading edge, "now" at the trailing edge, on one baseline.
    const QFont name = nameFont();
    const QFont &time = ThemeFonts::callout();
    const QFontMetricsF nameMetrics(name);
    const QFontMetricsF timeMetrics(time);
    const double baseline = g.header.top() + std::max(nameMetrics.ascent(), timeMetrics.ascent());
    const QString word = timeWord();
    const double wordWidth = timeMetrics.horizontalAdvance(word);
    p.setPen(ThemeColors::textTertiary());
    p.setFont(time);
    p.drawText(QPointF(g.header.right() - wordWidth, baseline), word);
    p.setFont(name);
    const double nameRoom = std::max(0.0, g.header.width() - wordWidth - LayoutTokens::spacingSM);
    p.drawText(QPointF(g.header.left(), baseline), nameMetrics.elidedText(appName(), Qt::ElideRight, nameRoom));

    titleBlock(m_title).paint(p, g.title);
    messageBlock(m_message).paint(p, g.message);

    Painting::strokeInside(p, card, LayoutTokens::radiusLG, ThemeColors::border(), 1);
}

} // namespace ovlin
