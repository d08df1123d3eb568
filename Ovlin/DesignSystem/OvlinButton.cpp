#include "DesignSystem/OvlinButton.h"

#include "Base/MainThread.h"
#include "DesignSystem/IconRegistry.h"
#include "DesignSystem/KeyboardFocus.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/OvlinButtonPressStyle.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"

#include <QEnterEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QVariantAnimation>

#include <cmath>

namespace ovlin {

OvlinButton::OvlinButton(const QString &title, OvlinButtonStyle style, OvlinButtonSize size, bool isLoading,
                         bool isDisabled, std::function<void()> action, QWidget *parent)
    : QAbstractButton(parent), m_title(title), m_style(style), m_size(size), m_isLoading(isLoading),
      m_isDisabled(isDisabled), m_action(std::move(action))
{
    m_press = new OvlinButtonPressStyle(this);
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
    setFont(ThemeFonts::bodyEmphasis());
    QAbstractButton::setText(title);
    connect(this, &QAbstractButton::clicked, this, &OvlinButton::performAction);
    connect(&m_hover, &AnimatedValue::valueChanged, this, qOverload<>(&QWidget::update));
    updateGeometryPolicy();
    updateAccessibility();
    updateSpinner();
    applyEnabled();
}

void OvlinButton::setTitle(const QString &title)
{
    if (title == m_title)
        return;
    m_title = title;
    QAbstractButton::setText(title);
    updateAccessibility();
    updateGeometry();
    update();
}

void OvlinButton::setButtonStyle(OvlinButtonStyle style)
{
    m_style = style;
    update();
}

void OvlinButton::setButtonSize(OvlinButtonSize size)
{
    m_size = size;
    updateGeometryPolicy();
    update();
}

void OvlinButton::setIsLoading(bool loading)
{
    if (loading == m_isLoading)
        return;
    m_isLoading = loading;
    if (loading)
        setDown(false);
    applyEnabled();
    updateAccessibility();
    updateSpinner();
    update();
}

void OvlinButton::setIsDisabled(bool disabled)
{
    if (disabled == m_isDisabled)
        return;
    m_isDisabled = disabled;
    if (disabled)
        setDown(false);
    applyEnabled();
    update();
}

void OvlinButton::setEnabled(bool enabled)
{
    m_ownerEnabled = enabled;
    applyEnabled();
}

void OvlinButton::applyEnabled()
{
    const QScopedValueRollback applying(m_applyingEnabled, true);
    QWidget::setEnabled(m_ownerEnabled && !blocked());
}

bool OvlinButton::showsMutedLook() const
{
    if (isEnabled() || m_isDisabled)
        return false;
    const QWidget *parent = parentWidget();
    return !m_ownerEnabled || (parent && !isWindow() && !parent->isEnabled());
}

void OvlinButton::setAction(std::function<void()> action)
{
    m_action = std::move(action);
}

void OvlinButton::performAction()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (m_isDisabled || m_isLoading || !m_action)
        return;
    // Copy first: the action may replace or destroy this button's action.
    const std::function<void()> action = m_action;
    action();
}

QColor OvlinButton::backgroundColor(OvlinButtonStyle style)
{
    switch (style) {
    case OvlinButtonStyle::primary: return ThemeColors::primary();
    case OvlinButtonStyle::accent: return ThemeColors::accent();
    case OvlinButtonStyle::secondary: return ThemeColors::surface();
    case OvlinButtonStyle::ghost: return Qt::transparent;
    case OvlinButtonStyle::destructive: return ThemeColors::surface();
    }
    return Qt::transparent;
}

QColor OvlinButton::foregroundColor(OvlinButtonStyle style)
{
    switch (style) {
    case OvlinButtonStyle::primary: return ThemeColors::textOnPrimary();
    case OvlinButtonStyle::accent: return ThemeColors::green900();
    case OvlinButtonStyle::secondary: return ThemeColors::textPrimary();
    case OvlinButtonStyle::ghost: return ThemeColors::primaryDark();
    case OvlinButtonStyle::destructive: return ThemeColors::destructive();
    }
    return ThemeColors::textPrimary();
}

QColor OvlinButton::borderColor(OvlinButtonStyle style)
{
    switch (style) {
    case OvlinButtonStyle::secondary: return ThemeColors::border();
    case OvlinButtonStyle::destructive: return Painting::withOpacity(ThemeColors::destructive(), 0.32);
    default: return Qt::transparent;
    }
}

bool OvlinButton::hasBorder(OvlinButtonStyle style)
{
    return style == OvlinButtonStyle::secondary || style == OvlinButtonStyle::destructive;
}

QColor OvlinButton::shadowColor(OvlinButtonStyle style)
{
    if (style == OvlinButtonStyle::primary || style == OvlinButtonStyle::accent)
        return Painting::withOpacity(ThemeColors::shadow(), 0.08);
    return Qt::transparent;
}

double OvlinButton::heightFor(OvlinButtonSize size)
{
    switch (size) {
    case OvlinButtonSize::small: return LayoutTokens::controlHeightSmall;
    case OvlinButtonSize::default_: return LayoutTokens::controlHeightMedium;
    case OvlinButtonSize::large:
    case OvlinButtonSize::icon: return LayoutTokens::controlHeightLarge;
    }
    return LayoutTokens::controlHeightMedium;
}

void OvlinButton::updateGeometryPolicy()
{
    const int h = int(heightFor(m_size));
    if (m_size == OvlinButtonSize::icon) {
        setFixedSize(h, h);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    } else {
        setMinimumSize(0, h);
        setMaximumSize(QWIDGETSIZE_MAX, h);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    updateGeometry();
}

void OvlinButton::updateAccessibility()
{
    // The title as it stands: no mnemonic, no translation.
    setAccessibleName(m_title);
    setAccessibleDescription(m_isLoading ? QStringLiteral("Loading") : QString());
}

void OvlinButton::updateSpinner()
{
    if (m_isLoading && Motion::animationsEnabled() && isVisible()) {
        if (!m_spin)
            m_spin = Motion::makeSpin(this, &m_spinPhase);
        m_spin->start();
    } else if (m_spin) {
        m_spin->stop();
        m_spinPhase = 0;
    }
}

QSize OvlinButton::sizeHint() const
{
    const int h = int(heightFor(m_size));
    if (m_size == OvlinButtonSize::icon)
        return QSize(h, h);
    // No inner padding: the ideal width is the content's.
    const double textWidth = m_isLoading ? spinnerSide : QFontMetricsF(font()).horizontalAdvance(m_title);
    return QSize(int(std::ceil(textWidth)), h);
}

QSize OvlinButton::minimumSizeHint() const
{
    return QSize(0, int(heightFor(m_size)));
}

bool OvlinButton::hitButton(const QPoint &pos) const
{
    return Painting::roundedRect(QRectF(rect()), LayoutTokens::radiusButton).contains(QPointF(pos) + QPointF(0.5, 0.5));
}

void OvlinButton::enterEvent(QEnterEvent *event)
{
    m_isHovered = true;
    m_hover.animateTo(1, MotionCurve::easeOut(0.15));
    QAbstractButton::enterEvent(event);
}

void OvlinButton::leaveEvent(QEvent *event)
{
    m_isHovered = false;
    m_hover.animateTo(0, MotionCurve::easeOut(0.15));
    QAbstractButton::leaveEvent(event);
}

void OvlinButton::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (isEnabled())
            animateClick();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void OvlinButton::focusInEvent(QFocusEvent *event)
{
    QAbstractButton::focusInEvent(event);
    update();
}

void OvlinButton::focusOutEvent(QFocusEvent *event)
{
    QAbstractButton::focusOutEvent(event);
    update();
}

void OvlinButton::showEvent(QShowEvent *event)
{
    QAbstractButton::showEvent(event);
    updateSpinner();
}

void OvlinButton::hideEvent(QHideEvent *event)
{
    QAbstractButton::hideEvent(event);
    updateSpinner();
}

void OvlinButton::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange) {
        // QWidget::setEnabled reached past ours (through a base pointer): its wish is the owner's. While
        // blocked, only a switch on shows here; the button stays off until it is free again.
        const bool ownerOff = testAttribute(Qt::WA_ForceDisabled);
        if (!m_applyingEnabled && ownerOff == (m_ownerEnabled && !blocked())) {
            m_ownerEnabled = !ownerOff;
            if (blocked())
                applyEnabled();
        }
        update();
    }
    QAbstractButton::changeEvent(event);
}

void paintSpinner(QPainter &p, const QRectF &rect, const QColor &color, double phase)
{
    constexpr int spokes = 12;
    const double side = std::min(rect.width(), rect.height());
    const double outer = side / 2;
    const double inner = outer * 0.48;
    const double width = std::max(1.0, side * 0.085);
    const int head = int(std::floor((std::isfinite(phase) ? phase - std::floor(phase) : 0) * spokes)) % spokes;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(rect.center());
    for (int i = 0; i < spokes; ++i) {
        // The spoke at the head is the darkest; the trail fades behind it.
        const int age = (head - i + spokes) % spokes;
        QColor c = color;
        c.setAlphaF(float(color.alphaF() * (1.0 - 0.75 * age / double(spokes - 1))));
        p.setPen(QPen(c, width, Qt::SolidLine, Qt::RoundCap));
        const double angle = 2 * M_PI * i / spokes - M_PI / 2;
        p.drawLine(QPointF(std::cos(angle) * inner, std::sin(angle) * inner),
                   QPointF(std::cos(angle) * (outer - width / 2), std::sin(angle) * (outer - width / 2)));
    }
    p.restore();
}

void OvlinButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF r(rect());
    m_press->apply(p, r);

    const double brightness = hoverBrightness * m_hover.value();
    QColor bg = Painting::brightened(backgroundColor(m_style), brightness);
    QColor fg = Painting::brightened(foregroundColor(m_style), brightness);
    QColor border = Painting::brightened(borderColor(m_style), brightness);
    QColor shadow = shadowColor(m_style);
    bool bordered = hasBorder(m_style);
    if (showsMutedLook()) {
        // Our painting has no platform disabled look to fall back on, so a button switched off from
        // outside would stay bright green while ignoring clicks: draw the design system's disabled look.
        const bool ghost = m_style == OvlinButtonStyle::ghost;
        bg = ghost ? QColor(Qt::transparent) : ThemeColors::surfaceMuted();
        fg = ThemeColors::textDisabled();
        border = ThemeColors::border();
        bordered = !ghost;
        shadow = Qt::transparent;
    }
    const double radius = LayoutTokens::radiusButton;

    Painting::drawLayer(p, r.adjusted(-40, -40, 40, 40), m_isDisabled ? disabledOpacity : 1.0, [&](QPainter &lp) {
        Painting::drawShadow(lp, r, radius, LayoutTokens::buttonShadow, shadow);
        Painting::fillRounded(lp, r, radius, bg);
        if (bordered)
            Painting::strokeInside(lp, r, radius, border, 1);

        // One centred row: spinner, then the glyph (icon size) or the title (empty while loading).
        const QFontMetricsF fm(font());
        const double spacing = LayoutTokens::spacingSM;
        const bool isIcon = m_size == OvlinButtonSize::icon;
        const double glyph = IconRegistry::symbolSize(font());
        double contentWidth = 0;
        QString text;
        if (m_isLoading)
            contentWidth += spinnerSide;
        if (isIcon) {
            contentWidth += (m_isLoading ? spacing : 0) + glyph;
        } else if (!m_isLoading) {
            text = fm.elidedText(m_title, Qt::ElideRight, r.width());
            contentWidth += fm.horizontalAdvance(text);
        }
        double x = r.center().x() - contentWidth / 2;
        if (m_isLoading) {
            paintSpinner(lp, QRectF(x, r.center().y() - spinnerSide / 2, spinnerSide, spinnerSide), fg, m_spinPhase);
            x += spinnerSide + spacing;
        }
        if (isIcon) {
            IconRegistry::paint(lp, QRectF(x, r.center().y() - glyph / 2, glyph, glyph), m_title, fg);
        } else if (!text.isEmpty()) {
            lp.setFont(font());
            lp.setPen(fg);
            const double baseline = r.center().y() + (fm.ascent() - fm.descent()) / 2;
            lp.drawText(QPointF(x, baseline), text);
        }
        if (KeyboardFocus::hasRing(this))
            Painting::strokeInside(lp, r, radius, ThemeColors::neutral700(), 2);
    });
}

} // namespace ovlin
