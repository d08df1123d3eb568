#include "DesignSystem/OvlinTimeField.h"

#include "Base/Clock.h"
#include "Base/Days.h"
#include "Base/MainThread.h"
#include "DesignSystem/IconRegistry.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace ovlin {

namespace {

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

// A decimal integer: an optional sign, then ASCII digits only. Anything else, or nothing, is no number.
// Saturates instead of overflowing (the caller clamps to a small range anyway).
std::optional<int> parseInteger(const QString &text)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    if (i >= text.size())
        return std::nullopt;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = std::min<qint64>(value * 10 + (c - u'0'), 1'000'000);
    }
    return int(negative ? -value : value);
}

QColor mix(const QColor &a, const QColor &b, double t)
{
    const double u = std::clamp(t, 0.0, 1.0);
    const QColor x = a.toRgb();
    const QColor y = b.toRgb();
    return QColor::fromRgbF(
        float(x.redF() + (y.redF() - x.redF()) * u), float(x.greenF() + (y.greenF() - x.greenF()) * u),
        float(x.blueF() + (y.blueF() - x.blueF()) * u), float(x.alphaF() + (y.alphaF() - x.alphaF()) * u));
}

// A chevron on a small input-coloured tile. It takes no keyboard focus, so clicking it never counts as
// focus leaving a field.
class StepButton : public QAbstractButton
{
public:
    StepButton(const QString &symbol, const QString &accessibleLabel, QWidget *parent)
        : QAbstractButton(parent), m_symbol(symbol)
    {
        const int side = int(OvlinTimeField::stepSide);
        setFixedSize(side, side);
        setFocusPolicy(Qt::NoFocus);
        setAccessibleName(accessibleLabel);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r(0, 0, OvlinTimeField::stepSide, OvlinTimeField::stepSide);
        Painting::fillRounded(p, r, LayoutTokens::radiusSM, ThemeColors::inputBackground());
        const double glyph = IconRegistry::symbolSize(ThemeFonts::label());
        IconRegistry::paint(p, QRectF(r.center().x() - glyph / 2, r.center().y() - glyph / 2, glyph, glyph), m_symbol,
                            ThemeColors::textTertiary());
        Painting::strokeInside(p, r, LayoutTokens::radiusSM, ThemeColors::border(), 1);
    }

private:
    QString m_symbol;
};

class ColonLabel : public QWidget
{
public:
    explicit ColonLabel(QWidget *parent) : QWidget(parent)
    {
        const QFontMetricsF fm(ThemeFonts::heading());
        setFixedSize(int(std::ceil(fm.horizontalAdvance(QStringLiteral(":")))),
                     int(std::ceil(fm.ascent() + fm.descent())));
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setFont(ThemeFonts::heading());
        p.setPen(ThemeColors::textTertiary());
        p.drawText(QPointF(0, QFontMetricsF(ThemeFonts::heading()).ascent()), QStringLiteral(":"));
    }
};

} // namespace

// The rounded input box around one text field; its outline thickens and darkens while it has focus.
class OvlinTimeField::FieldBox : public QWidget
{
public:
    FieldBox(QLineEdit *edit, QWidget *parent) : QWidget(parent), m_edit(edit)
    {
        setFixedSize(int(fieldWidth), int(fieldHeight));
        edit->setParent(this);
        edit->setGeometry(rect().adjusted(2, 2, -2, -2));
        connect(&m_focus, &AnimatedValue::valueChanged, this, qOverload<>(&QWidget::update));
    }

    void setFocused(bool focused) { m_focus.animateTo(focused ? 1 : 0, MotionCurve::easeOut(0.12)); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r(0, 0, fieldWidth, fieldHeight);
        const double t = std::clamp(m_focus.value(), 0.0, 1.0);
        Painting::fillRounded(p, r, LayoutTokens::radiusSM, ThemeColors::inputBackground());
        Painting::strokeInside(p, r, LayoutTokens::radiusSM, mix(ThemeColors::border(), ThemeColors::neutral700(), t),
                               1 + t);
    }

private:
    QLineEdit *m_edit;
    AnimatedValue m_focus{0.0};
};

OvlinTimeField::OvlinTimeField(const QDateTime &selection, int minuteInterval, double minWidth, QWidget *parent)
    : QWidget(parent), m_selection(selection.isValid() ? selection : Clock::now()),
      m_minuteInterval(std::max(1, minuteInterval)),
      m_minWidth(std::isfinite(minWidth) ? std::clamp(minWidth, 0.0, 16384.0) : 0.0)
{
    OVLIN_ASSERT_MAIN_THREAD();
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(int(LayoutTokens::spacingMD));
    row->addWidget(fieldColumn(QStringLiteral("Hour"), EditableField::hour), 0, Qt::AlignVCenter);
    m_colon = new ColonLabel(this);
    row->addWidget(m_colon, 0, Qt::AlignVCenter);
    row->addWidget(fieldColumn(QStringLiteral("Minute"), EditableField::minute), 0, Qt::AlignVCenter);
    // The columns stay together, centred in any extra width.
    row->setAlignment(Qt::AlignCenter);
    setMinimumWidth(int(std::ceil(std::max(m_minWidth, contentWidth()))));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    if (auto *app = qobject_cast<QApplication *>(QCoreApplication::instance()))
        m_focusConnection = connect(app, &QApplication::focusChanged, this,
                                    [this](QWidget *, QWidget *now) { handleFocusChange(now); });
}

OvlinTimeField::~OvlinTimeField()
{
    // The fields may still hold focus while they are destroyed after this object's own part.
    disconnect(m_focusConnection);
}

QWidget *OvlinTimeField::fieldColumn(const QString &title, EditableField field)
{
    const int f = field == EditableField::hour ? 0 : 1;
    auto *column = new QWidget(this);
    column->setAccessibleName(title);
    auto *stack = new QVBoxLayout(column);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(int(LayoutTokens::spacingXS));

    const QString lower = title.toLower();
    auto *up = new StepButton(QStringLiteral("chevron.up"), QStringLiteral("Increase %1").arg(lower), column);
    auto *down = new StepButton(QStringLiteral("chevron.down"), QStringLiteral("Decrease %1").arg(lower), column);
    m_steps[f][0] = up;
    m_steps[f][1] = down;

    auto *edit = new QLineEdit;
    edit->setObjectName(field == EditableField::hour ? QStringLiteral("hourField") : QStringLiteral("minuteField"));
    edit->setAccessibleName(title);
    edit->setPlaceholderText(title);
    edit->setFrame(false);
    edit->setAlignment(Qt::AlignCenter);
    edit->setFont(ThemeFonts::heading());
    edit->setTextMargins(0, 0, 0, 0);
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Text, ThemeColors::textPrimary());
    palette.setColor(QPalette::PlaceholderText, ThemeColors::textTertiary());
    edit->setPalette(palette);
    edit->setFocusPolicy(Qt::StrongFocus);
    (field == EditableField::hour ? m_hourEdit : m_minuteEdit) = edit;
    auto *box = new FieldBox(edit, column);
    (field == EditableField::hour ? m_hourBox : m_minuteBox) = box;

    stack->addWidget(up, 0, Qt::AlignHCenter);
    stack->addWidget(box, 0, Qt::AlignHCenter);
    stack->addWidget(down, 0, Qt::AlignHCenter);

    if (field == EditableField::hour) {
        connect(up, &QAbstractButton::clicked, this, &OvlinTimeField::incrementHour);
        connect(down, &QAbstractButton::clicked, this, &OvlinTimeField::decrementHour);
    } else {
        connect(up, &QAbstractButton::clicked, this, &OvlinTimeField::incrementMinute);
        connect(down, &QAbstractButton::clicked, this, &OvlinTimeField::decrementMinute);
    }
    // Only what the user types is filtered and applied; the control's own text updates are not.
    connect(edit, &QLineEdit::textEdited, this, [this, field](const QString &text) { handleTextChange(text, field); });
    connect(edit, &QLineEdit::returnPressed, this, [this, field] {
        commitField(field);
        finishAction();
    });
    return column;
}

double OvlinTimeField::contentWidth() const
{
    const double colon = m_colon ? m_colon->width() : 0;
    return 2 * fieldWidth + colon + 2 * LayoutTokens::spacingMD;
}

QString OvlinTimeField::hourText() const
{
    return m_hourEdit->text();
}

QString OvlinTimeField::minuteText() const
{
    return m_minuteEdit->text();
}

QAbstractButton *OvlinTimeField::stepButton(EditableField field, bool up) const
{
    return m_steps[field == EditableField::hour ? 0 : 1][up ? 0 : 1];
}

QLineEdit *OvlinTimeField::editFor(EditableField field) const
{
    return field == EditableField::hour ? m_hourEdit : m_minuteEdit;
}

void OvlinTimeField::setSelection(const QDateTime &selection)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!selection.isValid() || selection == m_selection)
        return;
    m_selection = selection;
    m_selectionChangedDuringAction = true;
    Q_EMIT selectionChanged(m_selection);
    finishAction();
}

void OvlinTimeField::setMinuteInterval(int minutes)
{
    m_minuteInterval = std::max(1, minutes);
}

int OvlinTimeField::currentHour() const
{
    return m_selection.toLocalTime().time().hour();
}

int OvlinTimeField::currentMinute() const
{
    return m_selection.toLocalTime().time().minute();
}

void OvlinTimeField::writeSelection(const QDateTime &moment)
{
    if (moment == m_selection)
        return;
    m_selection = moment;
    m_selectionChangedDuringAction = true;
    Q_EMIT selectionChanged(m_selection);
}

void OvlinTimeField::finishAction()
{
    // The texts follow a changed selection once the whole action is done (a carry or a commit of
    // both fields first finishes with what the fields held), and only while no field has focus.
    if (!m_selectionChangedDuringAction)
        return;
    m_selectionChangedDuringAction = false;
    if (!m_focusedField)
        syncTexts();
}

void OvlinTimeField::setHour(int hour)
{
    // Same day, seconds zeroed; a time in a daylight-saving gap moves to the next one that exists.
    const QDateTime moment = Days::atTime(m_selection.toLocalTime().date(), hour, currentMinute(), 0);
    if (!moment.isValid())
        return;
    writeSelection(moment);
    if (m_focusedField != EditableField::hour)
        m_hourEdit->setText(twoDigits(moment.toLocalTime().time().hour()));
}

void OvlinTimeField::setMinute(int minute)
{
    const QDateTime moment = Days::atTime(m_selection.toLocalTime().date(), currentHour(), minute, 0);
    if (!moment.isValid())
        return;
    writeSelection(moment);
    if (m_focusedField != EditableField::minute)
        m_minuteEdit->setText(twoDigits(moment.toLocalTime().time().minute()));
}

void OvlinTimeField::stepHour(int delta)
{
    setHour((currentHour() + delta + 24) % 24);
}

void OvlinTimeField::stepMinute(bool up)
{
    const int m = currentMinute();
    const int s = m_minuteInterval;
    if (up) {
        // The smallest multiple of s above m; past the hour it carries.
        int next = (m / s + 1) * s;
        if (next >= 60) {
            stepHour(+1);
            next = 0;
        }
        setMinute(next);
        return;
    }
    // The largest multiple of s below m; below the hour it borrows.
    int previous = ((m - 1) / s) * s;
    if (m < 1) {
        stepHour(-1);
        previous = (59 / s) * s;
    } else {
        previous = std::max(previous, 0);
    }
    setMinute(previous);
}

void OvlinTimeField::incrementHour()
{
    OVLIN_ASSERT_MAIN_THREAD();
    stepHour(+1);
    finishAction();
}

void OvlinTimeField::decrementHour()
{
    OVLIN_ASSERT_MAIN_THREAD();
    stepHour(-1);
    finishAction();
}

void OvlinTimeField::incrementMinute()
{
    OVLIN_ASSERT_MAIN_THREAD();
    stepMinute(true);
    finishAction();
}

void OvlinTimeField::decrementMinute()
{
    OVLIN_ASSERT_MAIN_THREAD();
    stepMinute(false);
    finishAction();
}

void OvlinTimeField::syncTexts()
{
    m_hourEdit->setText(twoDigits(currentHour()));
    m_minuteEdit->setText(twoDigits(currentMinute()));
}

void OvlinTimeField::commitHourText()
{
    const int value = std::clamp(parseInteger(m_hourEdit->text()).value_or(currentHour()), 0, 23);
    setHour(value);
    m_hourEdit->setText(twoDigits(value));
}

void OvlinTimeField::commitMinuteText()
{
    const int value = std::clamp(parseInteger(m_minuteEdit->text()).value_or(currentMinute()), 0, 59);
    setMinute(value);
    m_minuteEdit->setText(twoDigits(value));
}

void OvlinTimeField::commitField(EditableField field)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (field == EditableField::hour)
        commitHourText();
    else
        commitMinuteText();
}

void OvlinTimeField::handleTextChange(const QString &text, EditableField field)
{
    OVLIN_ASSERT_MAIN_THREAD();
    // Numerals only (any script), at most two; a third never reaches the field.
    QString filtered;
    int count = 0;
    for (const char32_t cp : text.toUcs4()) {
        if (count == 2)
            break;
        if (!QChar::isNumber(cp))
            continue;
        filtered += QString::fromUcs4(&cp, 1);
        ++count;
    }
    QLineEdit *edit = editFor(field);
    if (filtered != text)
        edit->setText(filtered);
    if (count == 2)
        commitField(field);
    finishAction();
}

void OvlinTimeField::handleFocusChange(QWidget *now)
{
    std::optional<EditableField> next;
    if (now && now == m_hourEdit)
        next = EditableField::hour;
    else if (now && now == m_minuteEdit)
        next = EditableField::minute;
    if (next == m_focusedField)
        return;
    const bool hadFocus = m_focusedField.has_value();
    m_focusedField = next;
    m_hourBox->setFocused(next == EditableField::hour);
    m_minuteBox->setFocused(next == EditableField::minute);
    // Moving between the two fields applies nothing; leaving the control applies both.
    if (hadFocus && !next) {
        commitHourText();
        commitMinuteText();
        syncTexts();
    }
    finishAction();
}

void OvlinTimeField::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    syncTexts();
}

} // namespace ovlin
