#include "DesignSystem/OvlinMenuField.h"

#include "Base/MainThread.h"
#include "DesignSystem/IconRegistry.h"
#include "DesignSystem/KeyboardFocus.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/OvlinStyle.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"

#include <QFocusEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QScreen>

#include <cmath>

namespace ovlin {

OvlinMenuFieldBase::OvlinMenuFieldBase(const QString &title, std::optional<double> width, QWidget *parent)
    : QWidget(parent), m_title(title)
{
    setFocusPolicy(Qt::TabFocus);
    setFixedHeight(int(LayoutTokens::controlHeightMedium));
    setFieldWidth(width);
}

void OvlinMenuFieldBase::setTitle(const QString &title)
{
    m_title = title;
    refresh();
}

void OvlinMenuFieldBase::setFieldWidth(std::optional<double> width)
{
    if (width && std::isfinite(*width) && *width >= 0) {
        m_width = width;
        setFixedWidth(int(std::lround(*width)));
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    } else {
        m_width.reset();
        setMinimumWidth(0);
        setMaximumWidth(QWIDGETSIZE_MAX);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    updateGeometry();
    update();
}

QString OvlinMenuFieldBase::displayedTitle() const
{
    for (int i = 0; i < optionCount(); ++i)
        if (isOptionSelected(i))
            return optionTitle(i);
    return m_title;
}

void OvlinMenuFieldBase::refresh()
{
    updateGeometry();
    update();
}

QSize OvlinMenuFieldBase::sizeHint() const
{
    const QFontMetricsF fm(ThemeFonts::body());
    const double w = 2 * LayoutTokens::spacingLG + fm.horizontalAdvance(displayedTitle()) + LayoutTokens::spacingSM +
                     LayoutTokens::menuIconSize;
    return QSize(m_width ? int(std::lround(*m_width)) : int(std::ceil(w)), int(LayoutTokens::controlHeightMedium));
}

QMenu *OvlinMenuFieldBase::popupMenu()
{
    OVLIN_ASSERT_MAIN_THREAD();
    // Parentless, so that a screen rebuilding this field while the menu is open cannot delete the menu
    // under its own signal; it deletes itself when it closes.
    auto *menu = new QMenu;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    OvlinStyle::styleMenu(menu);
    menu->setMinimumWidth(width());
    const QPointer<OvlinMenuFieldBase> self(this);
    const double icon = OvlinStyle::menuIcon;
    for (int i = 0; i < optionCount(); ++i) {
        QAction *action = menu->addAction(optionTitle(i));
        if (const auto image = optionImage(i); image && !image->isEmpty()) {
            const double dpr = devicePixelRatioF();
            action->setIcon(QIcon(IconRegistry::pixmap(*image, icon, ThemeColors::textPrimary(), dpr)));
        }
        action->setCheckable(true);
        action->setChecked(isOptionSelected(i));
        connect(action, &QAction::triggered, menu, [self, i] {
            if (!self)
                return;
            self->chooseOption(i);
            if (self)
                self->refresh();
        });
    }
    // Below the field; above it only when the screen has no room below (never over the field itself).
    const int gap = int(LayoutTokens::spacingXS);
    QPoint at = mapToGlobal(QPoint(0, height() + gap));
    const QSize wanted = menu->sizeHint();
    if (const QScreen *s = screen()) {
        const QRect avail = s->availableGeometry();
        if (at.y() + wanted.height() > avail.bottom() &&
            mapToGlobal(QPoint(0, 0)).y() - gap - wanted.height() >= avail.top())
            at.setY(mapToGlobal(QPoint(0, 0)).y() - gap - wanted.height());
    }
    menu->popup(at);
    return menu;
}

void OvlinMenuFieldBase::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        popupMenu();
        return;
    }
    QWidget::mousePressEvent(event);
}

void OvlinMenuFieldBase::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
        event->key() == Qt::Key_Down) {
        popupMenu();
        return;
    }
    QWidget::keyPressEvent(event);
}

void OvlinMenuFieldBase::focusInEvent(QFocusEvent *event)
{
    update();
    QWidget::focusInEvent(event);
}

void OvlinMenuFieldBase::focusOutEvent(QFocusEvent *event)
{
    update();
    QWidget::focusOutEvent(event);
}

void OvlinMenuFieldBase::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF r(rect());
    const double radius = LayoutTokens::radiusButton;
    Painting::drawShadow(p, r, radius, LayoutTokens::cardShadow, Painting::withOpacity(ThemeColors::shadow(), 0.04));
    Painting::fillRounded(p, r, radius, ThemeColors::surface());
    Painting::strokeInside(p, r, radius, ThemeColors::border(), 1);

    const double pad = LayoutTokens::spacingLG;
    const double tile = LayoutTokens::menuIconSize;
    const QRectF tileRect(r.right() - pad - tile, r.center().y() - tile / 2, tile, tile);
    Painting::fillRounded(p, tileRect, LayoutTokens::radiusSM, ThemeColors::green200());
    const double glyph = IconRegistry::symbolSize(ThemeFonts::captionEmphasis());
    IconRegistry::paint(p, QRectF(tileRect.center().x() - glyph / 2, tileRect.center().y() - glyph / 2, glyph, glyph),
                        QStringLiteral("chevron.up.chevron.down"), ThemeColors::primaryDark());

    const QFont &font = ThemeFonts::body();
    const QFontMetricsF fm(font);
    const double textRight = tileRect.left() - LayoutTokens::spacingSM;
    const QString text = fm.elidedText(displayedTitle(), Qt::ElideRight, std::max(0.0, textRight - (r.left() + pad)));
    p.setFont(font);
    p.setPen(ThemeColors::textPrimary());
    p.drawText(QPointF(r.left() + pad, r.center().y() + (fm.ascent() - fm.descent()) / 2), text);
    if (KeyboardFocus::hasRing(this))
        Painting::strokeInside(p, r, radius, ThemeColors::neutral700(), 2);
}

} // namespace ovlin
