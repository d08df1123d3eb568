#pragma once

#include "Model/Enums.h"

#include <QAbstractButton>
#include <QWidget>

#include <array>

namespace ovlin {

class ReminderFormViewModel;

// One category of the first step: an icon tile over the category's name in a selectable option,
// at least 128 pixels tall and as wide as its column. Checkable only so that accessibility reports
// the selected state; the step decides it.
class CategoryTile : public QAbstractButton
{
    Q_OBJECT
public:
    CategoryTile(ReminderCategory category, QWidget *parent = nullptr);

    ReminderCategory category() const { return m_category; }
    bool isSelected() const { return isChecked(); }
    void setSelected(bool selected);

    static constexpr double minimumContentHeight = 96;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void nextCheckState() override {}

private:
    ReminderCategory m_category;
};

// Step 1: "What kind of habit is this?" and a two-column grid of the six categories. A tile click sets
// the view model's category and nothing else.
class ReminderFormCategoryStep : public QWidget
{
    Q_OBJECT
public:
    explicit ReminderFormCategoryStep(ReminderFormViewModel *viewModel, QWidget *parent = nullptr);

    CategoryTile *tile(ReminderCategory category) const;

private:
    void refresh();

    ReminderFormViewModel *m_viewModel;
    std::array<CategoryTile *, 6> m_tiles{};
};

} // namespace ovlin
