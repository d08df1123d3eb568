#include "DesignSystem/DaySelector.h"

#include "Base/MainThread.h"
#include "DesignSystem/KeyboardFocus.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QPainter>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace ovlin {

namespace {

QColor mix(const QColor &a, const QColor &b, double t)
{
    const double u = std::clamp(t, 0.0, 1.0);
    const QColor x = a.toRgb();
    const QColor y = b.toRgb();
    return QColor::fromRgbF(
        float(x.redF() + (y.redF() - x.redF()) * u), float(x.greenF() + (y.greenF() - x.greenF()) * u),
        float(x.blueF() + (y.blueF() - x.blueF()) * u), float(x.alphaF() + (y.alphaF() - x.alphaF()) * u));
}

int indexOf(Weekday day)
{
    return std::clamp(rawValue(day) - 1, 0, 6);
}

} // namespace

// ---- DayPill

DayPill::DayPill(Weekday day, bool isSelected, std::function<void()> onTap, QWidget *parent)
    : QAbstractButton(parent), m_day(day), m_isSelected(isSelected), m_onTap(std::move(onTap))
{
    OVLIN_ASSERT_MAIN_THREAD();
    const int side = int(LayoutTokens::dayPillSize);
    setFixedSize(side, side);
    // Checkable only so that accessibility reports the selected state.
    setCheckable(true);
    setChecked(isSelected);
    setText(letter(day));
    setAccessibleName(spokenName(day));
    m_selection.setImmediately(isSelected ? 1 : 0);
    connect(&m_selection, &AnimatedValue::valueChanged, this, qOverload<>(&QWidget::update));
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (m_onTap)
            m_onTap();
    });
}

void DayPill::setSelected(bool selected)
{
    if (selected == m_isSelected)
        return;
    m_isSelected = selected;
    setChecked(selected);
    m_selection.animateTo(selected ? 1 : 0, MotionCurve::easeOut(0.12));
    update();
}

void DayPill::setOnTap(std::function<void()> onTap)
{
    m_onTap = std::move(onTap);
}

QString DayPill::letter(Weekday day)
{
    static const std::array<const char *, 7> letters{"M", "T", "W", "T", "F", "S", "S"};
    return QString::fromLatin1(letters[size_t(indexOf(day))]);
}

QString DayPill::spokenName(Weekday day)
{
    static const std::array<const char *, 7> names{"Monday", "Tuesday",  "Wednesday", "Thursday",
                                                   "Friday", "Saturday", "Sunday"};
    return QString::fromLatin1(names[size_t(indexOf(day))]);
}

QSize DayPill::sizeHint() const
{
    const int side = int(LayoutTokens::dayPillSize);
    return QSize(side, side);
}

void DayPill::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(0, 0, LayoutTokens::dayPillSize, LayoutTokens::dayPillSize);
    const double t = std::clamp(m_selection.value(), 0.0, 1.0);
    Painting::fillRounded(p, r, LayoutTokens::radiusSM,
                          mix(ThemeColors::inputBackground(), ThemeColors::green900(), t));
    // The outline fades out as the pill turns selected.
    Painting::strokeInside(p, r, LayoutTokens::radiusSM, Painting::withOpacity(ThemeColors::border(), 1 - t), 1);

    const QFont &font = ThemeFonts::bodyEmphasis();
    const QFontMetricsF fm(font);
    const QString text = letter(m_day);
    const double x = r.center().x() - fm.horizontalAdvance(text) / 2;
    const double baseline = r.center().y() - (fm.ascent() + fm.descent()) / 2 + fm.ascent();
    p.setFont(font);
    p.setPen(mix(ThemeColors::textSecondary(), ThemeColors::surface(), t));
    p.drawText(QPointF(x, baseline), text);

    // Inside the pill with a small gap, light on a chosen day's dark fill, so it reads in either state.
    if (KeyboardFocus::hasRing(this))
        Painting::strokeInside(p, r.adjusted(3, 3, -3, -3), LayoutTokens::radiusSM - 2,
                               t > 0.5 ? ThemeColors::surface() : ThemeColors::neutral700(), 2);
}

// ---- DaySelector

DaySelector::DaySelector(const WeekdaySet &selectedDays, QWidget *parent)
    : QWidget(parent), m_selectedDays(selectedDays)
{
    OVLIN_ASSERT_MAIN_THREAD();
    installAccessibleValueFactory();
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(int(LayoutTokens::spacingSM));
    for (const Weekday day : allWeekdays) {
        auto *pill = new DayPill(
            day, m_selectedDays.contains(day), [this, day] { toggle(day); }, this);
        m_pills[size_t(indexOf(day))] = pill;
        row->addWidget(pill, 0, Qt::AlignVCenter);
    }
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(QStringLiteral("Active days"));
}

void DaySelector::setSelectedDays(const WeekdaySet &days)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (days == m_selectedDays)
        return;
    m_selectedDays = days;
    for (DayPill *pill : m_pills)
        pill->setSelected(m_selectedDays.contains(pill->day()));
    Q_EMIT selectedDaysChanged(m_selectedDays);
}

void DaySelector::toggle(Weekday day)
{
    WeekdaySet days = m_selectedDays;
    if (days.contains(day))
        days.erase(day);
    else
        days.insert(day);
    setSelectedDays(days);
}

DayPill *DaySelector::pill(Weekday day) const
{
    return m_pills[size_t(indexOf(day))];
}

QString DaySelector::accessibilityValue(const WeekdaySet &days)
{
    if (days.empty())
        return QStringLiteral("No days selected");
    QStringList names;
    // std::set keeps Monday-to-Sunday order whatever order the days were chosen in.
    for (const Weekday day : days)
        if (rawValue(day) >= 1 && rawValue(day) <= 7)
            names << DayPill::spokenName(day);
    if (names.isEmpty())
        return QStringLiteral("No days selected");
    return names.join(QStringLiteral(", "));
}

} // namespace ovlin
