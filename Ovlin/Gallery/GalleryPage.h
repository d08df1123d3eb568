#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

class QGridLayout;
class QVBoxLayout;

namespace ovlin::gallery {

// A plain sheet for a gallery page: a title, then rows of labelled cells on the app background.
class GalleryPage : public QWidget
{
public:
    explicit GalleryPage(const QString &title, QWidget *parent = nullptr);

    // Starts a new row with a caption on its left.
    void addRow(const QString &caption);
    // Adds a cell to the current row: the widget with a small caption under it. `width` > 0 fixes the
    // cell's width (components that fill the width offered are shown at a fixed width, as screens do).
    void addCell(QWidget *widget, const QString &caption = {}, int width = 0);
    // Shows the page on another background (controls meant for white cards).
    void setBackground(const QColor &color);

private:
    QGridLayout *m_grid;
    int m_row = -1;
    int m_column = 0;
};

// Puts a widget into a state by sending it the events a user would cause.
void simulateHover(QWidget *widget);
void simulatePress(QWidget *widget);
// Only one widget per page can hold the focus.
void simulateFocus(QWidget *widget, Qt::FocusReason reason = Qt::TabFocusReason);
// Called by the gallery once the page is shown.
void applyPendingFocus(QWidget *page);

} // namespace ovlin::gallery
