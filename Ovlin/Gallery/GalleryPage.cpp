#include "GalleryPage.h"

#include "DesignSystem/KeyboardFocus.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"

#include <QApplication>
#include <QEnterEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace ovlin::gallery {

namespace {
QLabel *caption(const QString &text, const QFont &font, const QColor &color)
{
    auto *label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, color);
    label->setPalette(pal);
    return label;
}
} // namespace

GalleryPage::GalleryPage(const QString &title, QWidget *parent) : QWidget(parent)
{
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ThemeColors::background());
    setPalette(pal);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(24, 20, 24, 24);
    outer->setSpacing(16);
    outer->addWidget(caption(title, ThemeFonts::heading(), ThemeColors::textPrimary()));
    m_grid = new QGridLayout;
    m_grid->setHorizontalSpacing(24);
    m_grid->setVerticalSpacing(20);
    m_grid->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    outer->addLayout(m_grid);
    outer->addStretch(1);
}

void GalleryPage::setBackground(const QColor &color)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, color);
    setPalette(pal);
}

void GalleryPage::addRow(const QString &text)
{
    ++m_row;
    m_column = 1;
    auto *label = caption(text, ThemeFonts::label(), ThemeColors::textSecondary());
    label->setMinimumWidth(110);
    m_grid->addWidget(label, m_row, 0, Qt::AlignLeft | Qt::AlignVCenter);
}

void GalleryPage::addCell(QWidget *widget, const QString &text, int width)
{
    if (m_row < 0)
        addRow(QString());
    auto *cell = new QWidget;
    auto *box = new QVBoxLayout(cell);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(6);
    if (width > 0)
        cell->setFixedWidth(width);
    box->addWidget(widget);
    if (!text.isEmpty())
        box->addWidget(caption(text, ThemeFonts::caption(), ThemeColors::textTertiary()), 0, Qt::AlignHCenter);
    m_grid->addWidget(cell, m_row, m_column++, Qt::AlignLeft | Qt::AlignTop);
}

void simulateHover(QWidget *widget)
{
    const QPointF local = QRectF(widget->rect()).center();
    QEnterEvent enter(local, widget->mapToGlobal(local), widget->mapToGlobal(local));
    QApplication::sendEvent(widget, &enter);
}

void simulatePress(QWidget *widget)
{
    simulateHover(widget);
    const QPointF local = QRectF(widget->rect()).center();
    QMouseEvent press(QEvent::MouseButtonPress, local, widget->mapToGlobal(local), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
}

void simulateFocus(QWidget *widget, Qt::FocusReason reason)
{
    // Real focus needs a shown, active window: the gallery gives it once the page is on screen.
    widget->setProperty("galleryFocusReason", int(reason));
}

void applyPendingFocus(QWidget *page)
{
    for (QWidget *w : page->findChildren<QWidget *>()) {
        const QVariant reason = w->property("galleryFocusReason");
        if (!reason.isValid())
            continue;
        QApplication::setActiveWindow(page);
        // Focus rings follow keyboard use: the gallery stands in for the key press.
        KeyboardFocus::noteKeyboardInput();
        w->setFocus(Qt::FocusReason(reason.toInt()));
        return;
    }
}

} // namespace ovlin::gallery
