#include "Editor/ReminderFormNameStep.h"

#include "Base/MainThread.h"
#include "DesignSystem/IconRegistry.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/OvlinButtonPressStyle.h"
#include "DesignSystem/OvlinInputModifier.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/TextBlock.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"
#include "Editor/ReminderFormParts.h"
#include "Editor/ReminderFormViewModel.h"

#include <QLineEdit>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace ovlin {

namespace {

constexpr double cardPadding = LayoutTokens::spacingLG;
constexpr double cardGap = LayoutTokens::spacingLG;

TextBlock titleBlock(ScheduleType type)
{
    return TextBlock{ReminderFormParts::scheduleTypeTitle(type), ThemeFonts::optionTitle(), ThemeColors::textPrimary()};
}

TextBlock summaryBlock(ScheduleType type)
{
    return TextBlock{ReminderFormParts::scheduleTypeSummary(type), ThemeFonts::callout(), ThemeColors::textSecondary()};
}

} // namespace

// ---- ScheduleTypeCard

ScheduleTypeCard::ScheduleTypeCard(ScheduleType type, QWidget *parent)
    : QAbstractButton(parent), m_type(type), m_press(new OvlinButtonPressStyle(this))
{
    OVLIN_ASSERT_MAIN_THREAD();
    setCheckable(true);
    setText(ReminderFormParts::scheduleTypeTitle(type));
    setAccessibleName(ReminderFormParts::scheduleTypeTitle(type));
    setFocusPolicy(Qt::TabFocus);
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void ScheduleTypeCard::setSelected(bool selected)
{
    if (selected == isChecked())
        return;
    setChecked(selected);
    update();
}

double ScheduleTypeCard::pressScale() const
{
    return m_press->scale();
}

// Room for the title and description: the card less its padding, the icon tile, the check box and the
// gaps on either side of the flexible space.
double ScheduleTypeCard::textWidthFor(double width) const
{
    return std::max(1.0, width - 2 * cardPadding - LayoutTokens::iconTileSmall - checkBoxSide - 3 * cardGap);
}

int ScheduleTypeCard::heightForWidth(int width) const
{
    const double textWidth = textWidthFor(width);
    const double textHeight = titleBlock(m_type).sizeForWidth(textWidth).height() + LayoutTokens::spacingXS +
                              summaryBlock(m_type).sizeForWidth(textWidth).height();
    return int(std::ceil(std::max(LayoutTokens::iconTileSmall, textHeight) + 2 * cardPadding));
}

QSize ScheduleTypeCard::sizeHint() const
{
    const double textWidth = std::max(titleBlock(m_type).naturalWidth(), summaryBlock(m_type).naturalWidth());
    const double width = textWidth + 2 * cardPadding + LayoutTokens::iconTileSmall + checkBoxSide + 3 * cardGap;
    const int w = int(std::ceil(width));
    return QSize(w, heightForWidth(w));
}

QSize ScheduleTypeCard::minimumSizeHint() const
{
    // The height at the natural width: a narrower card grows through heightForWidth, and a minimum taken
    // at the narrowest width would make every enclosing scroll area think it overflows.
    const double width = 2 * cardPadding + LayoutTokens::iconTileSmall + checkBoxSide + 3 * cardGap + 40;
    return QSize(int(std::ceil(width)), sizeHint().height());
}

void ScheduleTypeCard::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(rect());
    m_press->apply(p, r);
    const bool selected = isChecked();
    ReminderFormParts::paintOption(p, r, selected);

    const QRectF inner = r.adjusted(cardPadding, cardPadding, -cardPadding, -cardPadding);
    const QRectF tileRect(inner.left(), inner.center().y() - LayoutTokens::iconTileSmall / 2,
                          LayoutTokens::iconTileSmall, LayoutTokens::iconTileSmall);
    ReminderFormParts::paintIconTile(p, tileRect, selected, ReminderFormParts::scheduleTypeSymbolName(m_type));

    const double textWidth = textWidthFor(r.width());
    const TextBlock title = titleBlock(m_type);
    const TextBlock summary = summaryBlock(m_type);
    const double titleHeight = title.sizeForWidth(textWidth).height();
    const double summaryHeight = summary.sizeForWidth(textWidth).height();
    const double textTop = inner.center().y() - (titleHeight + LayoutTokens::spacingXS + summaryHeight) / 2;
    const double textLeft = tileRect.right() + cardGap;
    title.paint(p, QRectF(textLeft, textTop, textWidth, titleHeight));
    summary.paint(p, QRectF(textLeft, textTop + titleHeight + LayoutTokens::spacingXS, textWidth, summaryHeight));

    const QRectF box(inner.right() - checkBoxSide, inner.center().y() - checkBoxSide / 2, checkBoxSide, checkBoxSide);
    if (selected) {
        Painting::fillRounded(p, box, LayoutTokens::radiusSM, ThemeColors::green900());
        const double side = IconRegistry::symbolSize(ThemeFonts::caption());
        IconRegistry::paint(p, QRectF(box.center().x() - side / 2, box.center().y() - side / 2, side, side),
                            QStringLiteral("checkmark"), ThemeColors::surface());
    } else {
        Painting::strokeInside(p, box, LayoutTokens::radiusSM, ThemeColors::neutral300(), 1.5);
    }
    ReminderFormParts::paintOptionRing(p, this, r);
}

// ---- ReminderFormNameStep

ReminderFormNameStep::ReminderFormNameStep(ReminderFormViewModel *viewModel, QWidget *parent)
    : QWidget(parent), m_viewModel(viewModel)
{
    OVLIN_ASSERT_MAIN_THREAD();
    QVBoxLayout *stack = ReminderFormParts::makeStack(this, LayoutTokens::stackLoose);

    // Name section
    auto *nameSection = new QWidget(this);
    QVBoxLayout *nameStack = ReminderFormParts::makeStack(nameSection, LayoutTokens::stackRegular);
    nameStack->addWidget(ReminderFormParts::makeHeader(
        QStringLiteral("What are you tracking?"), QStringLiteral("Call it what you'd want thrown back at you later."),
        nameSection));
    auto *field = new QWidget(nameSection);
    QVBoxLayout *fieldStack = ReminderFormParts::makeStack(field, LayoutTokens::spacingXS);
    fieldStack->addWidget(
        ReminderFormParts::makeCaption(QStringLiteral("NAME"), ThemeColors::textSecondary(), 2.2, field));
    m_nameField = new QLineEdit(field);
    m_nameField->setText(m_viewModel->title());
    m_nameField->setAccessibleName(QStringLiteral("Reminder name"));
    OvlinInputModifier::apply(m_nameField);
    fieldStack->addWidget(m_nameField);
    nameStack->addWidget(field);
    stack->addWidget(nameSection);

    // Reminder-style section
    auto *styleSection = new QWidget(this);
    QVBoxLayout *styleStack = ReminderFormParts::makeStack(styleSection, LayoutTokens::stackRegular);
    styleStack->addWidget(ReminderFormParts::makeHeader(
        QStringLiteral("How should it remind you?"),
        QStringLiteral("Pick the least annoying setup that still gets you to do it."), styleSection));
    auto *cards = new QWidget(styleSection);
    QVBoxLayout *cardStack = ReminderFormParts::makeStack(cards, LayoutTokens::spacingSM);
    int index = 0;
    for (const ScheduleType type : allScheduleTypes) {
        auto *card = new ScheduleTypeCard(type, cards);
        connect(card, &QAbstractButton::clicked, this, [this, type] { m_viewModel->setScheduleType(type); });
        m_cards[size_t(index++)] = card;
        cardStack->addWidget(card);
    }
    styleStack->addWidget(cards);
    stack->addWidget(styleSection);

    connect(m_nameField, &QLineEdit::textEdited, m_viewModel, &ReminderFormViewModel::setTitle);
    connect(m_viewModel, &ReminderFormViewModel::changed, this, &ReminderFormNameStep::refresh);
    refresh();
}

ScheduleTypeCard *ReminderFormNameStep::card(ScheduleType type) const
{
    for (ScheduleTypeCard *card : m_cards) {
        if (card->scheduleType() == type)
            return card;
    }
    return nullptr;
}

void ReminderFormNameStep::refresh()
{
    m_nameField->setPlaceholderText(ReminderFormParts::namePlaceholder(m_viewModel->category()));
    if (m_nameField->text() != m_viewModel->title())
        m_nameField->setText(m_viewModel->title());
    for (ScheduleTypeCard *card : m_cards)
        card->setSelected(card->scheduleType() == m_viewModel->scheduleType());
}

} // namespace ovlin
