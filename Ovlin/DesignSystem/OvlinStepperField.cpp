#include "DesignSystem/OvlinStepperField.h"

#include "Base/MainThread.h"
#include "DesignSystem/IconRegistry.h"
#include "DesignSystem/KeyboardFocus.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"

#include <QAbstractButton>
#include <QFocusEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QPointer>

#include <cmath>
#include <optional>

namespace ovlin {

namespace {

std::optional<qint64> checkedAdd(qint64 a, qint64 b)
{
    qint64 r = 0;
    if (__builtin_add_overflow(a, b, &r))
        return std::nullopt;
    return r;
}

std::optional<qint64> checkedSub(qint64 a, qint64 b)
{
    qint64 r = 0;
    if (__builtin_sub_overflow(a, b, &r))
        return std::nullopt;
    return r;
}

// Draws `text` with every digit in a cell of the widest digit's width, so numbers do not jump.
double tabularWidth(const QFontMetricsF &fm, const QString &text, double digit)
{
    double w = 0;
    for (const QChar c : text)
        w += c.isDigit() ? digit : fm.horizontalAdvance(c);
    return w;
}

void drawTabular(QPainter &p, const QFontMetricsF &fm, QPointF origin, const QString &text, double digit)
{
    double x = origin.x();
    for (const QChar c : text) {
        const double adv = fm.horizontalAdvance(c);
        if (c.isDigit()) {
            p.drawText(QPointF(x + (digit - adv) / 2, origin.y()), QString(c));
            x += digit;
        } else {
            p.drawText(QPointF(x, origin.y()), QString(c));
            x += adv;
        }
    }
}

class StepButton : public QAbstractButton
{
public:
    StepButton(const QString &symbol, QWidget *parent) : QAbstractButton(parent), m_symbol(symbol)
    {
        setFixedSize(int(LayoutTokens::controlHeightMedium), int(LayoutTokens::controlHeightMedium));
        setFocusPolicy(Qt::TabFocus);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r(rect());
        const bool on = isEnabled();
        const double radius = LayoutTokens::radiusSM;
        Painting::drawShadow(p, r, radius, LayoutTokens::cardShadow,
                             on ? Painting::withOpacity(ThemeColors::shadow(), 0.04) : QColor(Qt::transparent));
        Painting::fillRounded(p, r, radius, on ? ThemeColors::inputBackground() : ThemeColors::surfaceMuted());
        Painting::strokeInside(p, r, radius, ThemeColors::border(), 1);
        const double side = IconRegistry::symbolSize(ThemeFonts::bodyEmphasis());
        IconRegistry::paint(p, QRectF(r.center().x() - side / 2, r.center().y() - side / 2, side, side), m_symbol,
                            on ? ThemeColors::textPrimary() : ThemeColors::textDisabled());
        if (KeyboardFocus::hasRing(this))
            Painting::strokeInside(p, r, radius, ThemeColors::neutral700(), 2);
    }

private:
    QString m_symbol;
};

} // namespace

OvlinStepperField::OvlinStepperField(Binding<qint64> value, qint64 lower, qint64 upper, qint64 step,
                                     const QString &suffix, QWidget *parent)
    : QWidget(parent), m_value(std::move(value)), m_lower(lower), m_upper(upper), m_step(step), m_suffix(suffix)
{
    m_minus = new StepButton(QStringLiteral("minus"), this);
    m_plus = new StepButton(QStringLiteral("plus"), this);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(int(LayoutTokens::controlHeightMedium));
    // The step is read when the button is pressed: the binding is the single source of truth.
    connect(m_minus, &QAbstractButton::clicked, this, [this] {
        OVLIN_ASSERT_MAIN_THREAD();
        if (!canDecrement())
            return;
        const QPointer<OvlinStepperField> self(this);
        if (const auto next = checkedSub(m_value.value(), m_step))
            m_value.write(*next);
        if (self)
            refresh();
    });
    connect(m_plus, &QAbstractButton::clicked, this, [this] {
        OVLIN_ASSERT_MAIN_THREAD();
        if (!canIncrement())
            return;
        const QPointer<OvlinStepperField> self(this);
        if (const auto next = checkedAdd(m_value.value(), m_step))
            m_value.write(*next);
        if (self)
            refresh();
    });
    refresh();
}

void OvlinStepperField::setValue(Binding<qint64> value)
{
    m_value = std::move(value);
    refresh();
}

void OvlinStepperField::setRange(qint64 lower, qint64 upper)
{
    m_lower = lower;
    m_upper = upper;
    refresh();
}

void OvlinStepperField::setStep(qint64 step)
{
    m_step = step;
    refresh();
}

void OvlinStepperField::setSuffix(const QString &suffix)
{
    m_suffix = suffix;
    refresh();
}

bool OvlinStepperField::canDecrement() const
{
    const auto next = checkedSub(m_value.value(), m_step);
    return next && *next >= m_lower;
}

bool OvlinStepperField::canIncrement() const
{
    const auto next = checkedAdd(m_value.value(), m_step);
    return next && *next <= m_upper;
}

QString OvlinStepperField::valueText() const
{
    return QString::number(m_value.value()) + QLatin1Char(' ') + m_suffix;
}

void OvlinStepperField::refresh()
{
    m_minus->setEnabled(canDecrement());
    m_plus->setEnabled(canIncrement());
    m_minus->update();
    m_plus->update();
    update();
}

QSize OvlinStepperField::sizeHint() const
{
    const QFontMetricsF fm(ThemeFonts::bodyEmphasis());
    const double text = fm.horizontalAdvance(valueText()) + 2 * LayoutTokens::spacingSM;
    const double w = 2 * LayoutTokens::controlHeightMedium + 2 * LayoutTokens::spacingSM + text;
    return QSize(int(std::ceil(w)), int(LayoutTokens::controlHeightMedium));
}

void OvlinStepperField::resizeEvent(QResizeEvent *event)
{
    layoutButtons();
    QWidget::resizeEvent(event);
}

void OvlinStepperField::layoutButtons()
{
    const int side = int(LayoutTokens::controlHeightMedium);
    m_minus->setGeometry(0, 0, side, side);
    m_plus->setGeometry(width() - side, 0, side, side);
}

void OvlinStepperField::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const double side = LayoutTokens::controlHeightMedium;
    const double gap = LayoutTokens::spacingSM;
    const QRectF box(side + gap, 0, std::max(0.0, width() - 2 * (side + gap)), side);
    Painting::fillRounded(p, box, LayoutTokens::radiusSM, ThemeColors::inputBackground());
    Painting::strokeInside(p, box, LayoutTokens::radiusSM, ThemeColors::border(), 1);

    const QFont &font = ThemeFonts::bodyEmphasis();
    const QFontMetricsF fm(font);
    double digit = 0;
    for (char c = '0'; c <= '9'; ++c)
        digit = std::max(digit, fm.horizontalAdvance(QLatin1Char(c)));
    const QString text = valueText();
    const QRectF inner = box.adjusted(LayoutTokens::spacingSM, 0, -LayoutTokens::spacingSM, 0);
    const double w = tabularWidth(fm, text, digit);
    p.setFont(font);
    p.setPen(ThemeColors::textPrimary());
    p.setClipRect(inner);
    drawTabular(p, fm, QPointF(inner.center().x() - w / 2, inner.center().y() + (fm.ascent() - fm.descent()) / 2), text,
                digit);
}

} // namespace ovlin
