#include "ScreenParts/TodayWidgets.h"

#include "DesignSystem/FocusOrder.h"
#include "DesignSystem/IconRegistry.h"
#include "DesignSystem/KeyboardFocus.h"
#include "DesignSystem/Motion.h"
#include "DesignSystem/OvlinText.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/TextBlock.h"
#include "DesignSystem/ThemeColors.h"

#include <QApplication>
#include <QBoxLayout>
#include <QFontMetricsF>
#include <QGraphicsOpacityEffect>
#include <QLayoutItem>
#include <QLocale>
#include <QPainter>
#include <QPointer>
#include <QPropertyAnimation>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>
#include <cmath>

namespace ovlin::today {

namespace {

int ceilPx(double v)
{
    return int(std::ceil(std::isfinite(v) ? std::max(0.0, v) : 0.0));
}

double finiteFraction(double v)
{
    return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0;
}

QMargins roundedMargins(const QMarginsF &m)
{
    return QMargins(int(std::lround(m.left())), int(std::lround(m.top())), int(std::lround(m.right())),
                    int(std::lround(m.bottom())));
}

// Fades its widget, but not the keyboard ring of a control inside: a dimmed row's focus stays clear.
class DimmingEffect : public QGraphicsOpacityEffect
{
public:
    explicit DimmingEffect(QWidget *widget) : QGraphicsOpacityEffect(widget), m_widget(widget) {}

protected:
    void draw(QPainter *painter) override
    {
        QGraphicsOpacityEffect::draw(painter);
        if (opacity() < 1)
            KeyboardFocus::paintRingOver(*painter, m_widget);
    }

private:
    QPointer<QWidget> m_widget;
};

} // namespace

// ---- IconTile

IconTile::IconTile(double side, double radius, const QColor &fill, const QString &symbol, const QFont &symbolFont,
                   const QColor &symbolColor, QWidget *parent)
    : QWidget(parent), m_side(side), m_radius(radius), m_fill(fill), m_symbol(symbol), m_symbolFont(symbolFont),
      m_symbolColor(symbolColor)
{
    setFixedSize(ceilPx(side), ceilPx(side));
}

void IconTile::setImage(const QImage &image)
{
    m_image = image;
    update();
}

void IconTile::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(0, 0, m_side, m_side);
    if (!m_image.isNull()) {
        Painting::fillPathWith(p, Painting::roundedRect(r, m_radius), [&](QPainter &lp) {
            const QSizeF scaled = QSizeF(m_image.size()).scaled(r.size(), Qt::KeepAspectRatioByExpanding);
            const QRectF target(r.center().x() - scaled.width() / 2, r.center().y() - scaled.height() / 2,
                                scaled.width(), scaled.height());
            lp.setRenderHint(QPainter::SmoothPixmapTransform);
            lp.drawImage(target, m_image);
        });
        return;
    }
    Painting::fillRounded(p, r, m_radius, m_fill);
    const double glyph = std::min(IconRegistry::symbolSize(m_symbolFont), m_side);
    const QRectF box(r.center().x() - glyph / 2, r.center().y() - glyph / 2, glyph, glyph);
    IconRegistry::paint(p, box, m_symbol, m_symbolColor);
}

// ---- Pill

Pill::Pill(const QList<PillSegment> &segments, double spacing, const QMarginsF &padding, const QColor &fill,
           const QColor &outline, QWidget *parent)
    : QWidget(parent), m_segments(segments), m_spacing(spacing), m_padding(padding), m_fill(fill), m_outline(outline),
      m_radius(9999)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(text());
}

void Pill::setRadius(double radius)
{
    m_radius = radius;
    update();
}

QString Pill::text() const
{
    QStringList parts;
    for (const auto &segment : m_segments)
        parts << segment.text;
    return parts.join(QLatin1Char(' '));
}

QSize Pill::sizeHint() const
{
    double width = 0;
    double height = 0;
    for (int i = 0; i < m_segments.size(); ++i) {
        const QFontMetricsF metrics(m_segments[i].font);
        width += metrics.horizontalAdvance(m_segments[i].text) + (i > 0 ? m_spacing : 0);
        height = std::max(height, metrics.height());
    }
    return QSize(ceilPx(width + m_padding.left() + m_padding.right()),
                 ceilPx(height + m_padding.top() + m_padding.bottom()));
}

void Pill::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(rect());
    Painting::fillRounded(p, r, m_radius, m_fill);
    if (m_outline.alpha() > 0)
        Painting::strokeInside(p, r, m_radius, m_outline, 1);

    // Segments share one baseline, centred as a group.
    double ascent = 0;
    double descent = 0;
    double total = 0;
    for (int i = 0; i < m_segments.size(); ++i) {
        const QFontMetricsF metrics(m_segments[i].font);
        ascent = std::max(ascent, metrics.ascent());
        descent = std::max(descent, metrics.descent());
        total += metrics.horizontalAdvance(m_segments[i].text) + (i > 0 ? m_spacing : 0);
    }
    const QRectF inner = r.marginsRemoved(m_padding);
    double x = inner.left() + std::max(0.0, (inner.width() - total) / 2);
    const double baseline = inner.center().y() + (ascent - descent) / 2;
    for (int i = 0; i < m_segments.size(); ++i) {
        const auto &segment = m_segments[i];
        if (i > 0)
            x += m_spacing;
        p.setFont(segment.font);
        p.setPen(segment.color);
        p.drawText(QPointF(x, baseline), segment.text);
        x += QFontMetricsF(segment.font).horizontalAdvance(segment.text);
    }
}

// ---- LabelButton

LabelButton::LabelButton(const QString &title, const Look &look, std::function<void()> action, QWidget *parent)
    : QAbstractButton(parent), m_look(look), m_action(std::move(action))
{
    setText(title);
    setFont(look.font);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFocusPolicy(Qt::TabFocus);
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (m_action)
            m_action();
    });
}

QSize LabelButton::sizeHint() const
{
    const double textWidth = QFontMetricsF(m_look.font).horizontalAdvance(text());
    const double height = m_look.height > 0 ? m_look.height : QFontMetricsF(m_look.font).height();
    return QSize(ceilPx(textWidth + 2 * m_look.horizontalPadding), ceilPx(height));
}

void LabelButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(rect());
    if (isDown())
        p.setOpacity(0.7);
    if (m_look.fill.alpha() > 0)
        Painting::fillRounded(p, r, m_look.radius, m_look.fill);
    if (m_look.outline.alpha() > 0)
        Painting::strokeInside(p, r, m_look.radius, m_look.outline, 1);
    TextBlock label;
    label.text = text();
    label.font = m_look.font;
    label.color = m_look.textColor;
    label.maxLines = 1;
    label.alignment = m_look.horizontalPadding > 0 ? Qt::AlignCenter : (Qt::AlignLeft | Qt::AlignVCenter);
    label.paint(p, r.adjusted(m_look.horizontalPadding, 0, -m_look.horizontalPadding, 0));
    p.setOpacity(1);
    KeyboardFocus::paintRing(p, this, r, m_look.radius);
}

// ---- ProgressBar

ProgressBar::ProgressBar(double height, const QColor &track, const QColor &fill, double fraction, double minimumFill,
                         QWidget *parent)
    : QWidget(parent), m_height(height), m_track(track), m_fill(fill), m_fraction(finiteFraction(fraction)),
      m_minimumFill(minimumFill)
{
    setFixedHeight(ceilPx(height));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

double ProgressBar::fillWidth(double width) const
{
    return std::min(width, std::max(width * m_fraction, m_minimumFill));
}

void ProgressBar::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF track(0, 0, width(), m_height);
    Painting::fillRounded(p, track, 9999, m_track);
    Painting::fillRounded(p, QRectF(0, 0, fillWidth(width()), m_height), 9999, m_fill);
}

// ---- RoundedPanel

RoundedPanel::RoundedPanel(const QColor &fill, double radius, QWidget *parent)
    : QWidget(parent), m_fill(fill), m_radius(radius)
{
}

void RoundedPanel::setOutline(const QColor &color, double width)
{
    m_outline = color;
    m_outlineWidth = width;
    update();
}

void RoundedPanel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    Painting::fillRounded(p, QRectF(rect()), m_radius, m_fill);
    if (m_outline.alpha() > 0)
        Painting::strokeInside(p, QRectF(rect()), m_radius, m_outline, m_outlineWidth);
}

// ---- helpers

QWidget *wrappingText(const QString &text, const QFont &font, const QColor &color, QWidget *parent)
{
    return new OvlinText(text, font, color, parent);
}

QWidget *singleLineText(const QString &text, const QFont &font, const QColor &color, QWidget *parent)
{
    auto *label = new OvlinText(text, font, color, parent);
    label->setSingleLine(true);
    label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    return label;
}

QWidget *readableSingleLineText(const QString &text, const QFont &font, const QColor &color, QWidget *parent)
{
    QWidget *label = singleLineText(text, font, color, parent);
    // Squeezed to nothing, a text would leave its place blank without even an ellipsis.
    const QFontMetricsF fm(font);
    const double whole = fm.horizontalAdvance(text);
    const double kept = fm.horizontalAdvance(text.left(readableCharacters).trimmed() + QChar(0x2026));
    label->setMinimumWidth(ceilPx(std::min(whole, kept)));
    return label;
}

// ---- ItemListLayout

ItemListLayout::~ItemListLayout()
{
    while (QLayoutItem *item = takeAt(0))
        delete item;
}

Qt::LayoutDirection ItemListLayout::direction() const
{
    const QWidget *owner = parentWidget();
    return owner ? owner->layoutDirection() : QGuiApplication::layoutDirection();
}

void ItemListLayout::addItem(QLayoutItem *item)
{
    m_items.append(item);
}

int ItemListLayout::count() const
{
    return int(m_items.size());
}

QLayoutItem *ItemListLayout::itemAt(int index) const
{
    return index >= 0 && index < m_items.size() ? m_items.at(index) : nullptr;
}

QLayoutItem *ItemListLayout::takeAt(int index)
{
    return index >= 0 && index < m_items.size() ? m_items.takeAt(index) : nullptr;
}

// ---- WrappingRowLayout

WrappingRowLayout::WrappingRowLayout(QWidget *owner, double spacing, double wrapSpacing, const QMarginsF &margins)
    : ItemListLayout(owner), m_wrapSpacing(ceilPx(wrapSpacing))
{
    setSpacing(ceilPx(spacing));
    setContentsMargins(roundedMargins(margins));
}

QLayoutItem *WrappingRowLayout::part(int index) const
{
    QLayoutItem *item = itemAt(index);
    return item && !item->isEmpty() ? item : nullptr;
}

int WrappingRowLayout::partHeight(int index, int width) const
{
    const QLayoutItem *item = part(index);
    if (!item)
        return 0;
    return item->hasHeightForWidth() ? item->heightForWidth(width) : item->sizeHint().height();
}

bool WrappingRowLayout::wrapsAt(int width) const
{
    const QLayoutItem *leading = part(0);
    const QLayoutItem *trailing = part(1);
    if (!leading || !trailing)
        return false;
    const QMargins m = contentsMargins();
    const int inner = width - m.left() - m.right();
    const int needs = std::max(leading->minimumSize().width(), m_leadingNeeds);
    return inner < needs + spacing() + trailing->sizeHint().width();
}

QSize WrappingRowLayout::sizeHint() const
{
    const QMargins m = contentsMargins();
    int width = 0;
    int height = 0;
    for (int i = 0; i < 2; ++i) {
        if (const QLayoutItem *item = part(i)) {
            width += item->sizeHint().width() + (width > 0 ? spacing() : 0);
            height = std::max(height, item->sizeHint().height());
        }
    }
    return QSize(width + m.left() + m.right(), height + m.top() + m.bottom());
}

QSize WrappingRowLayout::minimumSize() const
{
    const QMargins m = contentsMargins();
    int width = 0;
    int height = 0;
    for (int i = 0; i < 2; ++i) {
        if (const QLayoutItem *item = part(i)) {
            width = std::max(width, item->minimumSize().width());
            height = std::max(height, item->minimumSize().height());
        }
    }
    return QSize(width + m.left() + m.right(), height + m.top() + m.bottom());
}

Qt::Orientations WrappingRowLayout::expandingDirections() const
{
    const QLayoutItem *leading = part(0);
    return leading ? leading->expandingDirections() : Qt::Orientations();
}

int WrappingRowLayout::heightForWidth(int width) const
{
    const QMargins m = contentsMargins();
    const int inner = std::max(0, width - m.left() - m.right());
    const QLayoutItem *trailing = part(1);
    const int trailingWidth = trailing ? trailing->sizeHint().width() : 0;
    if (wrapsAt(width))
        return m.top() + partHeight(0, inner) + m_wrapSpacing + partHeight(1, trailingWidth) + m.bottom();
    const int leadingWidth = trailing ? std::max(0, inner - spacing() - trailingWidth) : inner;
    return m.top() + std::max(partHeight(0, leadingWidth), partHeight(1, trailingWidth)) + m.bottom();
}

void WrappingRowLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    const QRect inner = rect.marginsRemoved(contentsMargins());
    QLayoutItem *leading = part(0);
    QLayoutItem *trailing = part(1);
    const int trailingWidth = trailing ? std::min(inner.width(), trailing->sizeHint().width()) : 0;
    // Mirrored in a right-to-left layout, as a box layout is.
    const auto place = [this, inner](QLayoutItem *item, const QRect &r) {
        item->setGeometry(QStyle::visualRect(direction(), inner, r));
    };
    const auto centred = [place](QLayoutItem *item, int x, int top, int width, int height) {
        const int h =
            std::min(height, item->hasHeightForWidth() ? item->heightForWidth(width) : item->sizeHint().height());
        place(item, QRect(x, top + (height - h) / 2, width, h));
    };
    if (trailing && leading && wrapsAt(rect.width())) {
        const int leadingHeight = partHeight(0, inner.width());
        place(leading, QRect(inner.left(), inner.top(), inner.width(), leadingHeight));
        const int top = inner.top() + leadingHeight + m_wrapSpacing;
        centred(trailing, inner.right() + 1 - trailingWidth, top, trailingWidth, inner.bottom() + 1 - top);
        return;
    }
    const int leadingWidth = trailing ? std::max(0, inner.width() - spacing() - trailingWidth) : inner.width();
    if (leading)
        place(leading, QRect(inner.left(), inner.top(), leadingWidth, inner.height()));
    if (trailing)
        centred(trailing, inner.right() + 1 - trailingWidth, inner.top(), trailingWidth, inner.height());
}

// ---- FlowRowLayout

FlowRowLayout::FlowRowLayout(QWidget *owner, double spacing, double lineSpacing)
    : ItemListLayout(owner), m_lineSpacing(ceilPx(lineSpacing))
{
    setSpacing(ceilPx(spacing));
    setContentsMargins(0, 0, 0, 0);
}

QSize FlowRowLayout::sizeHint() const
{
    int width = 0;
    int height = 0;
    for (const QLayoutItem *item : m_items) {
        if (item->isEmpty())
            continue;
        width += item->sizeHint().width() + (width > 0 ? spacing() : 0);
        height = std::max(height, item->sizeHint().height());
    }
    const QMargins m = contentsMargins();
    return QSize(width + m.left() + m.right(), height + m.top() + m.bottom());
}

QSize FlowRowLayout::minimumSize() const
{
    int width = 0;
    int height = 0;
    for (const QLayoutItem *item : m_items) {
        if (item->isEmpty())
            continue;
        width = std::max(width, item->minimumSize().width());
        height = std::max(height, item->minimumSize().height());
    }
    const QMargins m = contentsMargins();
    return QSize(width + m.left() + m.right(), height + m.top() + m.bottom());
}

int FlowRowLayout::heightForWidth(int width) const
{
    return arrange(QRect(0, 0, width, 0), false);
}

void FlowRowLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

int FlowRowLayout::widthForLines(int lines) const
{
    // Lines are filled greedily, which takes the fewest lines: the answer is the width of some run of
    // items on one line.
    QList<int> widths;
    for (const QLayoutItem *item : m_items) {
        if (!item->isEmpty())
            widths.append(item->sizeHint().width());
    }
    QList<int> candidates;
    for (qsizetype first = 0; first < widths.size(); ++first) {
        int run = 0;
        for (qsizetype last = first; last < widths.size(); ++last) {
            run += widths.at(last) + (last > first ? spacing() : 0);
            candidates.append(run);
        }
    }
    std::sort(candidates.begin(), candidates.end());
    const QMargins m = contentsMargins();
    for (const int width : std::as_const(candidates)) {
        int taken = 0;
        arrange(QRect(0, 0, width + m.left() + m.right(), 0), false, &taken);
        if (taken <= lines)
            return width + m.left() + m.right();
    }
    return sizeHint().width();
}

int FlowRowLayout::arrange(const QRect &rect, bool place, int *lineCount) const
{
    const QMargins m = contentsMargins();
    const QRect inner = rect.marginsRemoved(m);
    const int width = std::max(0, inner.width());
    // Lines of (item, width), then each line placed at its height.
    QList<QList<std::pair<QLayoutItem *, int>>> lines;
    int x = 0;
    for (QLayoutItem *item : m_items) {
        if (item->isEmpty())
            continue;
        const int w = std::min(width, item->sizeHint().width());
        if (lines.isEmpty() || (x > 0 && x + spacing() + w > width)) {
            lines.emplaceBack();
            x = 0;
        }
        x += (x > 0 ? spacing() : 0) + w;
        lines.last().append({item, w});
    }
    int y = inner.top();
    for (const auto &line : std::as_const(lines)) {
        int lineHeight = 0;
        for (const auto &[item, w] : line)
            lineHeight = std::max(lineHeight, item->sizeHint().height());
        if (place) {
            int left = inner.left();
            for (const auto &[item, w] : line) {
                const int h = item->sizeHint().height();
                item->setGeometry(QStyle::visualRect(direction(), inner, QRect(left, y + (lineHeight - h) / 2, w, h)));
                left += w + spacing();
            }
        }
        y += lineHeight + m_lineSpacing;
    }
    if (!lines.isEmpty())
        y -= m_lineSpacing;
    if (lineCount)
        *lineCount = int(lines.size());
    return y - inner.top() + m.top() + m.bottom();
}

// ---- CornerColumnLayout

CornerColumnLayout::CornerColumnLayout(QWidget *owner, double spacing, const QSizeF &corner)
    : ItemListLayout(owner), m_corner(corner)
{
    setSpacing(ceilPx(spacing));
    setContentsMargins(0, 0, 0, 0);
}

void CornerColumnLayout::setCorner(const QSizeF &corner)
{
    m_corner = corner;
    invalidate();
}

QSize CornerColumnLayout::sizeHint() const
{
    // Each text on one line beside the corner.
    int width = 0;
    for (const QLayoutItem *item : m_items) {
        if (item->isEmpty())
            continue;
        const auto *text = qobject_cast<const OvlinText *>(item->widget());
        width = std::max(width, text ? ceilPx(text->block().naturalWidth()) : item->sizeHint().width());
    }
    width += ceilPx(m_corner.width());
    const QMargins m = contentsMargins();
    return QSize(width + m.left() + m.right(), heightForWidth(width + m.left() + m.right()));
}

QSize CornerColumnLayout::minimumSize() const
{
    int width = 0;
    int height = 0;
    for (const QLayoutItem *item : m_items) {
        if (item->isEmpty())
            continue;
        width = std::max(width, item->minimumSize().width());
        height += item->minimumSize().height() + (height > 0 ? spacing() : 0);
    }
    // Beside the corner a text keeps at least its own minimum.
    width += ceilPx(m_corner.width());
    const QMargins m = contentsMargins();
    return QSize(width + m.left() + m.right(), height + m.top() + m.bottom());
}

Qt::Orientations CornerColumnLayout::expandingDirections() const
{
    Qt::Orientations directions;
    for (const QLayoutItem *item : m_items)
        directions |= item->expandingDirections();
    return directions;
}

int CornerColumnLayout::heightForWidth(int width) const
{
    return arrange(QRect(0, 0, width, 0), false);
}

void CornerColumnLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

int CornerColumnLayout::arrange(const QRect &rect, bool place) const
{
    const QMargins m = contentsMargins();
    const QRect inner = rect.marginsRemoved(m);
    const int width = std::max(1, inner.width());
    int y = 0;
    bool first = true;
    for (QLayoutItem *item : m_items) {
        if (item->isEmpty())
            continue;
        if (!first)
            y += spacing();
        first = false;
        // The corner as this item sees it: what is left of it below the item's top.
        const double besideHeight = m_corner.height() - y;
        QSizeF corner = besideHeight > 0 ? QSizeF(m_corner.width(), besideHeight) : QSizeF();
        // A text's free corner is on its right: right to left, where the corner is on the left, a text
        // beside it is moved clear of it whole instead.
        int inset = 0;
        if (direction() == Qt::RightToLeft && !corner.isEmpty()) {
            inset = std::min(width - 1, int(std::ceil(corner.width())));
            corner = QSizeF();
        }
        int height = 0;
        auto *text = qobject_cast<OvlinText *>(item->widget());
        if (text && text->hasHeightForWidth()) {
            TextBlock block = text->block();
            block.freeCorner = corner;
            height = int(std::ceil(block.sizeForWidth(width - inset).height()));
            if (place)
                text->setFreeCorner(corner);
        } else {
            height = item->hasHeightForWidth() ? item->heightForWidth(width - inset) : item->sizeHint().height();
        }
        if (place)
            item->setGeometry(QRect(inner.left() + inset, inner.top() + y, inner.width() - inset, height));
        y += height;
    }
    return y + m.top() + m.bottom();
}

void setOpacity(QWidget *widget, double opacity)
{
    if (!widget)
        return;
    if (opacity >= 1) {
        widget->setGraphicsEffect(nullptr);
        return;
    }
    auto *effect = new DimmingEffect(widget);
    effect->setOpacity(std::clamp(opacity, 0.0, 1.0));
    widget->setGraphicsEffect(effect);
}

void fadeIn(QWidget *widget, double opacity, double seconds)
{
    if (!widget)
        return;
    const double target = std::clamp(opacity, 0.0, 1.0);
    const int ms = Motion::durationMs(MotionCurve::easeOut(seconds));
    if (ms <= 0) {
        setOpacity(widget, target);
        return;
    }
    auto *effect = new QGraphicsOpacityEffect(widget);
    effect->setOpacity(0);
    widget->setGraphicsEffect(effect);
    auto *animation = new QPropertyAnimation(effect, "opacity", effect);
    animation->setStartValue(0.0);
    animation->setEndValue(target);
    animation->setDuration(ms);
    animation->setEasingCurve(Motion::easeOutCurve());
    if (target >= 1) {
        // A fully opaque widget needs no effect; it goes once the animation has returned.
        QPointer<QWidget> guard(widget);
        QPointer<QGraphicsOpacityEffect> done(effect);
        QObject::connect(animation, &QAbstractAnimation::finished, widget, [guard, done] {
            QMetaObject::invokeMethod(
                guard.data(),
                [guard, done] {
                    if (guard && done && guard->graphicsEffect() == done)
                        guard->setGraphicsEffect(nullptr);
                },
                Qt::QueuedConnection);
        });
    }
    animation->start();
}

double opacityOf(const QWidget *widget)
{
    if (!widget)
        return 1;
    if (const auto *effect = qobject_cast<QGraphicsOpacityEffect *>(widget->graphicsEffect()))
        return effect->opacity();
    return 1;
}

QScrollArea *screenScrollArea(QWidget *parent, const QString &objectName)
{
    auto *area = new QScrollArea(parent);
    area->setObjectName(objectName);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // No Tab stop of its own (nothing shows it has focus): Tab goes to the controls inside, each scrolled
    // into view, and Page Up/Down from them still reach the area.
    area->setFocusPolicy(Qt::NoFocus);
    QPalette background = area->palette();
    background.setColor(QPalette::Window, ThemeColors::background());
    background.setColor(QPalette::Base, ThemeColors::background());
    area->setPalette(background);
    area->setBackgroundRole(QPalette::Window);
    return area;
}

bool nearScrollEnd(const QScrollArea &area)
{
    const QScrollBar *bar = area.verticalScrollBar();
    return bar->value() + 2 * area.viewport()->height() >= bar->maximum();
}

QVBoxLayout *vbox(QWidget *owner, double spacing, const QMarginsF &margins)
{
    auto *layout = new QVBoxLayout(owner);
    layout->setSpacing(int(std::lround(spacing)));
    layout->setContentsMargins(roundedMargins(margins));
    return layout;
}

QHBoxLayout *hbox(QWidget *owner, double spacing, const QMarginsF &margins)
{
    auto *layout = new QHBoxLayout(owner);
    layout->setSpacing(int(std::lround(spacing)));
    layout->setContentsMargins(roundedMargins(margins));
    return layout;
}

void addFlexibleSpace(QBoxLayout *layout, double minimum)
{
    const int min = int(std::lround(minimum));
    const bool horizontal =
        layout->direction() == QBoxLayout::LeftToRight || layout->direction() == QBoxLayout::RightToLeft;
    if (horizontal)
        layout->addSpacerItem(new QSpacerItem(min, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
    else
        layout->addSpacerItem(new QSpacerItem(0, min, QSizePolicy::Minimum, QSizePolicy::Expanding));
}

void clearLayout(QLayout *layout, int from)
{
    if (!layout)
        return;
    while (layout->count() > from) {
        QLayoutItem *item = layout->takeAt(from);
        if (QWidget *widget = item->widget()) {
            // Hiding a focused widget hands focus on as if Tab were pressed: the scroll area would jump to
            // the next control and that control would show its keyboard ring. Keep focus on the holder.
            if (QWidget *focus = QApplication::focusWidget(); focus && (focus == widget || widget->isAncestorOf(focus)))
                if (QWidget *holder = layout->parentWidget())
                    holder->setFocus(Qt::OtherFocusReason);
            widget->hide();
            widget->deleteLater();
        } else if (QLayout *child = item->layout()) {
            clearLayout(child);
        }
        delete item;
    }
}

bool KeyedWidgets::reconcile(QBoxLayout *layout, int from, const QList<KeyedItem> &items, QWidget *focusFallback)
{
    QStringList keys;
    keys.reserve(items.size());
    for (const KeyedItem &item : items)
        keys.append(item.key);
    const bool allAlive = std::all_of(m_widgets.cbegin(), m_widgets.cend(), [](const auto &w) { return !w.isNull(); });
    if (keys == m_keys && allAlive && layout->count() == from + keys.size())
        return false;

    // Where focus is now, if inside a widget that goes.
    QWidget *focus = QApplication::focusWidget();
    int focusIndex = -1;
    QWidget *leaving = nullptr;
    QVariant leavingIdentity;
    qsizetype focusPosition = 0;
    const bool focusRing = KeyboardFocus::hasRing(focus);

    QHash<QString, QPointer<QWidget>> widgets;
    QList<QWidget *> ordered;
    ordered.reserve(items.size());
    for (const KeyedItem &item : items) {
        QPointer<QWidget> w = m_widgets.value(item.key);
        if (!w && item.make) {
            w = item.make();
            if (w)
                w->setProperty("ovlinNewRow", true);
        }
        if (!w)
            continue;
        widgets.insert(item.key, w);
        ordered.append(w);
    }
    for (int i = 0; i < m_keys.size(); ++i) {
        QWidget *old = m_widgets.value(m_keys.at(i));
        if (!old || widgets.contains(m_keys.at(i)))
            continue;
        if (focus && (old == focus || old->isAncestorOf(focus))) {
            focusIndex = i;
            leaving = old;
            // The row that holds the focus: the widget itself or the row inside it (a section of rows).
            for (QWidget *w = focus; w; w = w == old ? nullptr : w->parentWidget()) {
                if (w->property("reminderId").isValid()) {
                    leavingIdentity = w->property("reminderId");
                    focusPosition = std::max<qsizetype>(0, FocusOrder::controlsOf(w).indexOf(focus));
                    break;
                }
            }
            if (!leavingIdentity.isValid())
                focusPosition = std::max<qsizetype>(0, FocusOrder::controlsOf(old).indexOf(focus));
        }
    }

    while (layout->count() > from)
        delete layout->takeAt(from);
    QWidget *parent = layout->parentWidget();
    for (QWidget *w : std::as_const(ordered)) {
        layout->addWidget(w);
        if (w->property("ovlinNewRow").toBool()) {
            w->setProperty("ovlinNewRow", QVariant());
            // Shown now rather than on the layout's queued show, so focus and sizes are right at once.
            if (parent && parent->isVisible())
                w->show();
        }
    }

    if (leaving) {
        // Only a control shows a ring; the fallback holds the focus out of sight so Space does nothing.
        QWidget *sameHabit = nullptr;
        for (QWidget *w : std::as_const(ordered))
            if (leavingIdentity.isValid() && w->property("reminderId") == leavingIdentity)
                sameHabit = w;
        if (QWidget *target = FocusOrder::successor(sameHabit, ordered, focusIndex, focusPosition))
            KeyboardFocus::handOver(target, focusRing);
        else if (focusFallback)
            focusFallback->setFocus(Qt::OtherFocusReason);
    }
    for (auto it = m_widgets.cbegin(); it != m_widgets.cend(); ++it) {
        if (it.value() && !widgets.contains(it.key())) {
            it.value()->hide();
            it.value()->setParent(nullptr);
            it.value()->deleteLater();
        }
    }
    m_keys = keys;
    m_widgets = std::move(widgets);
    return true;
}

QWidget *KeyedWidgets::widget(const QString &key) const
{
    return m_widgets.value(key);
}

void KeyedWidgets::forget()
{
    m_keys.clear();
    m_widgets.clear();
}

QString shortTime(const QDateTime &moment)
{
    if (!moment.isValid())
        return {};
    // Some locales' short form carries seconds ("HH:mm:ss" in the C locale): hours and minutes only.
    const QLocale locale;
    static const QRegularExpression seconds(QStringLiteral("[:.]?s+"));
    QString format = locale.timeFormat(QLocale::ShortFormat);
    format.remove(seconds);
    return locale.toString(moment.toLocalTime().time(), format.trimmed());
}

} // namespace ovlin::today
