#include "Editor/ReminderFormCategoryStep.h"

#include "Base/MainThread.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"
#include "Editor/ReminderFormParts.h"
#include "Editor/ReminderFormViewModel.h"

#include <QFontMetricsF>
#include <QGridLayout>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace ovlin {

namespace {

constexpr double tilePadding = LayoutTokens::spacingLG;

double contentHeight()
{
    const QFontMetricsF fm(ThemeFonts::optionTitle());
    return LayoutTokens::iconTileSmall + LayoutTokens::spacingMD + fm.height();
}

} // namespace

// ---- CategoryTile

CategoryTile::CategoryTile(ReminderCategory category, QWidget *parent) : QAbstractButton(parent), m_category(category)
{
    OVLIN_ASSERT_MAIN_THREAD();
    setCheckable(true);
    setText(ReminderFormParts::categoryDisplayName(category));
    setAccessibleName(ReminderFormParts::categoryDisplayName(category));
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void CategoryTile::setSelected(bool selected)
{
    if (selected == isChecked())
        return;
    setChecked(selected);
    update();
}

QSize CategoryTile::sizeHint() const
{
    const QFontMetricsF fm(ThemeFonts::optionTitle());
    const double width = std::max(LayoutTokens::iconTileSmall, fm.horizontalAdvance(text())) + 2 * tilePadding;
    const double height = std::max(minimumContentHeight, contentHeight()) + 2 * tilePadding;
    return QSize(int(std::ceil(width)), int(std::ceil(height)));
}

QSize CategoryTile::minimumSizeHint() const
{
    // The grid's columns may shrink to 10 pixels; the tile keeps its height.
    return QSize(10, sizeHint().height());
}

void CategoryTile::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(rect());
    const bool selected = isChecked();
    ReminderFormParts::paintOption(p, r, selected);

    const QFontMetricsF fm(ThemeFonts::optionTitle());
    const double blockHeight = contentHeight();
    const double top = r.center().y() - blockHeight / 2;
    const QRectF tileRect(r.center().x() - LayoutTokens::iconTileSmall / 2, top, LayoutTokens::iconTileSmall,
                          LayoutTokens::iconTileSmall);
    ReminderFormParts::paintIconTile(p, tileRect, selected, ReminderFormParts::categorySymbolName(m_category));

    const QRectF textRect(r.left() + tilePadding, tileRect.bottom() + LayoutTokens::spacingMD,
                          std::max(0.0, r.width() - 2 * tilePadding), fm.height());
    p.setFont(ThemeFonts::optionTitle());
    p.setPen(ThemeColors::textPrimary());
    p.drawText(textRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine,
               fm.elidedText(text(), Qt::ElideRight, textRect.width()));
    ReminderFormParts::paintOptionRing(p, this, r);
}

// ---- ReminderFormCategoryStep

ReminderFormCategoryStep::ReminderFormCategoryStep(ReminderFormViewModel *viewModel, QWidget *parent)
    : QWidget(parent), m_viewModel(viewModel)
{
    OVLIN_ASSERT_MAIN_THREAD();
    QVBoxLayout *stack = ReminderFormParts::makeStack(this, LayoutTokens::stackRegular);
    stack->addWidget(ReminderFormParts::makeHeader(QStringLiteral("What kind of habit is this?"),
                                                   QStringLiteral("Pick the bucket. Don't overthink it."), this));

    auto *grid = new QGridLayout;
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(int(LayoutTokens::spacingSM));
    grid->setVerticalSpacing(int(LayoutTokens::spacingSM));
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnMinimumWidth(0, 10);
    grid->setColumnMinimumWidth(1, 10);
    int index = 0;
    for (const ReminderCategory category : allReminderCategories) {
        auto *tile = new CategoryTile(category, this);
        connect(tile, &QAbstractButton::clicked, this, [this, category] { m_viewModel->setCategory(category); });
        m_tiles[size_t(index)] = tile;
        grid->addWidget(tile, index / 2, index % 2);
        ++index;
    }
    stack->addLayout(grid);

    connect(m_viewModel, &ReminderFormViewModel::categoryChanged, this, &ReminderFormCategoryStep::refresh);
    refresh();
}

CategoryTile *ReminderFormCategoryStep::tile(ReminderCategory category) const
{
    for (CategoryTile *tile : m_tiles) {
        if (tile->category() == category)
            return tile;
    }
    return nullptr;
}

void ReminderFormCategoryStep::refresh()
{
    for (CategoryTile *tile : m_tiles)
        tile->setSelected(tile->category() == m_viewModel->category());
}

} // namespace ovlin
