#include "Today/TodayHeaderCard.h"

#include "DesignSystem/ImageAssets.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/OvlinText.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"
#include "ScreenParts/TodayWidgets.h"

#include <QBoxLayout>
#include <QCoreApplication>

namespace ovlin::today {

namespace {

constexpr double textBlockMaxWidth = 440;

void paintHeaderArtwork(QPainter &p, const QRectF &rect)
{
    // Decorative: stretched over the whole card.
    ImageAssets::paint(p, rect, QStringLiteral("HeaderCard"), Qt::IgnoreAspectRatio, Qt::AlignBottom | Qt::AlignRight);
}

} // namespace

TodayHeaderCard::TodayHeaderCard(QWidget *parent)
    : OvlinCard(LayoutTokens::spacingXXL, ThemeColors::surface(), paintHeaderArtwork, true, false, new QWidget, parent)
{
    setObjectName(QStringLiteral("headerCard"));
    auto *stack = vbox(content(), LayoutTokens::spacingXL);

    auto *textBlock = new QWidget;
    textBlock->setMaximumWidth(int(textBlockMaxWidth));
    auto *texts = vbox(textBlock, LayoutTokens::spacingSM);
    texts->addWidget(wrappingText(QStringLiteral("So, here's today"), ThemeFonts::title(), ThemeColors::textPrimary()));
    m_tip = wrappingText(QString(), ThemeFonts::callout(), ThemeColors::textSecondary());
    m_tip->setObjectName(QStringLiteral("tip"));
    texts->addWidget(m_tip);
    stack->addWidget(textBlock, 0, Qt::AlignLeft);

    m_pillRow = new QWidget;
    m_pillRow->setObjectName(QStringLiteral("pillRow"));
    hbox(m_pillRow, LayoutTokens::spacingSM);
    stack->addWidget(m_pillRow);
}

Pill *TodayHeaderCard::statPill(const QString &value, const QString &label, ReminderListView::StatPillStyle style)
{
    QColor valueColor = ThemeColors::textPrimary();
    QColor labelColor = ThemeColors::textSecondary();
    QColor fill = ThemeColors::surface();
    QColor outline = ThemeColors::border();
    switch (style) {
    case ReminderListView::StatPillStyle::plain: break;
    case ReminderListView::StatPillStyle::strong:
        valueColor = ThemeColors::neutral50();
        labelColor = Painting::withOpacity(ThemeColors::neutral50(), 0.8);
        fill = ThemeColors::green900();
        outline = Qt::transparent;
        break;
    case ReminderListView::StatPillStyle::muted: fill = ThemeColors::neutral100(); break;
    }
    const double pad = LayoutTokens::spacingSM;
    auto *pill =
        new Pill({{value, ThemeFonts::bodyEmphasis(), valueColor}, {label, ThemeFonts::subheadline(), labelColor}},
                 LayoutTokens::spacingXS, QMarginsF(pad, 8, pad, 8), fill, outline);
    pill->setObjectName(QStringLiteral("statPill"));
    return pill;
}

void TodayHeaderCard::refresh(const QString &tip, int leftToday, int done, int overdue)
{
    static_cast<OvlinText *>(m_tip)->setText(tip);
    // The pills stay as they are while their counts do.
    const QList<int> counts{leftToday, done, overdue};
    if (counts == m_counts)
        return;
    m_counts = counts;
    auto *row = static_cast<QBoxLayout *>(m_pillRow->layout());
    clearLayout(row);
    row->addWidget(
        statPill(QString::number(leftToday), QStringLiteral("Left today"), ReminderListView::StatPillStyle::plain));
    row->addWidget(statPill(QString::number(done), QStringLiteral("Done"), ReminderListView::StatPillStyle::strong));
    if (overdue > 0)
        row->addWidget(
            statPill(QString::number(overdue), QStringLiteral("Overdue"), ReminderListView::StatPillStyle::muted));
    row->addStretch(1);
}

QString TodayHeaderCard::tip() const
{
    return static_cast<OvlinText *>(m_tip)->text();
}

QList<Pill *> TodayHeaderCard::pills() const
{
    QList<Pill *> result;
    const auto *row = m_pillRow->layout();
    for (int i = 0; i < row->count(); ++i) {
        if (auto *pill = qobject_cast<Pill *>(row->itemAt(i)->widget()))
            result.append(pill);
    }
    return result;
}

} // namespace ovlin::today
