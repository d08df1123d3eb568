#include "Today/MomentumCard.h"

#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/OvlinText.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"
#include "ScreenParts/TodayWidgets.h"
#include "Today/ReminderListView.h"

#include <QBoxLayout>
#include <QCoreApplication>

namespace ovlin::today {

namespace {

// These texts are short and have no line limit: a narrow window stacks the card under the rewards card
// rather than cutting them.
QWidget *wholeText(const QString &text, const QFont &font, const QColor &color)
{
    QWidget *label = singleLineText(text, font, color);
    label->setMinimumWidth(label->sizeHint().width());
    return label;
}

QWidget *momentumTile(const QString &caption, double rate, QWidget **value)
{
    auto *tile = new QWidget;
    tile->setObjectName(QStringLiteral("momentumTile"));
    auto *column = vbox(tile, LayoutTokens::spacingXS);
    *value = wholeText(QStringLiteral("%1%").arg(ReminderListView::momentumPercent(rate)), ThemeFonts::statNumber(),
                       ThemeColors::textPrimary());
    column->addWidget(*value);
    column->addWidget(wholeText(caption, ThemeFonts::subheadline(), ThemeColors::textSecondary()));
    return tile;
}

} // namespace

MomentumCard::MomentumCard(double weekRate, double monthRate, qint64 streak, QWidget *parent)
    : OvlinCard(0, ThemeColors::surface(), {}, true, true, new QWidget, parent)
{
    setObjectName(QStringLiteral("momentumCard"));
    const double pad = LayoutTokens::spacingXL;
    auto *stack = vbox(content(), LayoutTokens::spacingLG, QMarginsF(pad, pad, pad, pad));
    stack->addWidget(wholeText(QStringLiteral("Momentum"), ThemeFonts::heading(), ThemeColors::textPrimary()));

    auto *rates = new QWidget;
    auto *rateRow = hbox(rates, LayoutTokens::spacingXXL);
    rateRow->addWidget(momentumTile(QStringLiteral("This week"), weekRate, &m_week), 0, Qt::AlignBottom);
    rateRow->addWidget(momentumTile(QStringLiteral("This month"), monthRate, &m_month), 0, Qt::AlignBottom);
    rateRow->addStretch(1);
    stack->addWidget(rates);

    auto *streakRow = new RoundedPanel(ThemeColors::surfaceSubtle(), LayoutTokens::radiusMD);
    streakRow->setObjectName(QStringLiteral("streakRow"));
    const double inner = LayoutTokens::spacingMD;
    auto *row = hbox(streakRow, LayoutTokens::spacingSM, QMarginsF(inner, inner, inner, inner));
    row->addWidget(new IconTile(LayoutTokens::iconTileSmall, LayoutTokens::radiusSM, ThemeColors::green200(),
                                QStringLiteral("flame.fill"), ThemeFonts::headline(), ThemeColors::green500()));
    auto *texts = new QWidget;
    auto *column = vbox(texts, LayoutTokens::spacingXS);
    m_streak = wholeText(ReminderListView::streakTitle(streak), ThemeFonts::bodyEmphasis(), ThemeColors::textPrimary());
    m_encouragement = wholeText(ReminderListView::streakEncouragement(streak), ThemeFonts::subheadline(),
                                ThemeColors::textSecondary());
    column->addWidget(m_streak);
    column->addWidget(m_encouragement);
    row->addWidget(texts, 1, Qt::AlignVCenter);
    stack->addWidget(streakRow);
    stack->addStretch(1);
}

QString MomentumCard::weekText() const
{
    return static_cast<OvlinText *>(m_week)->text();
}

QString MomentumCard::monthText() const
{
    return static_cast<OvlinText *>(m_month)->text();
}

QString MomentumCard::streakText() const
{
    return static_cast<OvlinText *>(m_streak)->text();
}

QString MomentumCard::encouragement() const
{
    return static_cast<OvlinText *>(m_encouragement)->text();
}

} // namespace ovlin::today
