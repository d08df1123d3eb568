#pragma once

#include <QBoxLayout>

namespace ovlin {

// A row that turns into a column where it is too narrow. While every item can have at least its minimum
// width side by side, it lays them out exactly as a QHBoxLayout does (stretch and alignment included);
// narrower, the items go one under the other, `stackSpacing` apart, each as wide as the row (or its own
// maximum) at the leading edge. Its minimum width is that of its widest item, so it never holds its
// owner wider than one item needs. It grows only sideways: its height is what its items need at its width.
class StackingRowLayout : public QHBoxLayout
{
public:
    StackingRowLayout(QWidget *owner, int spacing, int stackSpacing);

    // Whether the items go one under the other at this width of the owner's layout area.
    bool stacksAt(int width) const;

    QSize minimumSize() const override;
    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    void setGeometry(const QRect &rect) override;

private:
    int stackedHeight(int innerWidth) const;
    template <typename Visit> void forEachShown(Visit visit) const;

    int m_stackSpacing;
};

} // namespace ovlin
