#include "DesignSystem/OvlinStyle.h"

#include "DesignSystem/IconRegistry.h"
#include "DesignSystem/KeyboardFocus.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetricsF>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>
#include <QStyleOptionSlider>

#include <algorithm>
#include <cmath>

namespace ovlin {

namespace {

// One instance serves every menu styled outside the application's own style.
OvlinStyle *sharedMenuStyle()
{
    static QPointer<OvlinStyle> style;
    if (!style) {
        style = new OvlinStyle;
        style->setParent(qApp);
    }
    return style;
}

QPainterPath menuOutline(const QRectF &rect)
{
    return Painting::roundedRect(rect, OvlinStyle::menuRadius);
}

void maskMenu(QWidget *menu)
{
    // Cut the corners outside the rounded surface (no compositor is needed for that).
    menu->setMask(QRegion(menuOutline(QRectF(menu->rect())).toFillPolygon().toPolygon()));
}

} // namespace

OvlinStyle::OvlinStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion")))
{
}

QPalette OvlinStyle::lightPalette()
{
    QPalette p;
    const auto set = [&p](QPalette::ColorRole role, const QColor &color) {
        p.setColor(QPalette::Active, role, color);
        p.setColor(QPalette::Inactive, role, color);
        p.setColor(QPalette::Disabled, role, color);
    };
    set(QPalette::Window, ThemeColors::background());
    set(QPalette::WindowText, ThemeColors::textPrimary());
    set(QPalette::Base, ThemeColors::surface());
    set(QPalette::AlternateBase, ThemeColors::surfaceSubtle());
    set(QPalette::Text, ThemeColors::textPrimary());
    set(QPalette::Button, ThemeColors::surface());
    set(QPalette::ButtonText, ThemeColors::textPrimary());
    set(QPalette::BrightText, ThemeColors::surface());
    set(QPalette::ToolTipBase, ThemeColors::surface());
    set(QPalette::ToolTipText, ThemeColors::textPrimary());
    set(QPalette::PlaceholderText, ThemeColors::textTertiary());
    set(QPalette::Highlight, ThemeColors::primary());
    set(QPalette::HighlightedText, ThemeColors::textOnPrimary());
    set(QPalette::Link, ThemeColors::primaryDark());
    set(QPalette::LinkVisited, ThemeColors::primaryDark());
    set(QPalette::Light, ThemeColors::surface());
    set(QPalette::Midlight, ThemeColors::neutral100());
    set(QPalette::Mid, ThemeColors::neutral300());
    set(QPalette::Dark, ThemeColors::neutral500());
    set(QPalette::Shadow, ThemeColors::neutral900());
    p.setColor(QPalette::Disabled, QPalette::WindowText, ThemeColors::textDisabled());
    p.setColor(QPalette::Disabled, QPalette::Text, ThemeColors::textDisabled());
    p.setColor(QPalette::Disabled, QPalette::ButtonText, ThemeColors::textDisabled());
    return p;
}

void OvlinStyle::applyToApplication()
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    QApplication::setStyle(new OvlinStyle);
    QApplication::setPalette(lightPalette());
    KeyboardFocus::install();
}

void OvlinStyle::styleMenu(QMenu *menu)
{
    if (!menu)
        return;
    if (!qobject_cast<OvlinStyle *>(menu->style()))
        menu->setStyle(sharedMenuStyle());
    else
        sharedMenuStyle()->polish(menu);
}

int OvlinStyle::pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const
{
    switch (metric) {
    case PM_ScrollBarExtent: return scrollBarExtent;
    case PM_ScrollBarSliderMin: return scrollBarSliderMin;
    case PM_MenuPanelWidth: return 1;
    case PM_MenuHMargin:
    case PM_MenuVMargin: return menuPadding - 1;
    case PM_MenuDesktopFrameWidth: return 0;
    case PM_SmallIconSize:
        if (qobject_cast<const QMenu *>(widget))
            return menuIcon;
        break;
    default: break;
    }
    return QProxyStyle::pixelMetric(metric, option, widget);
}

int OvlinStyle::styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                          QStyleHintReturn *returnData) const
{
    switch (hint) {
    case SH_ScrollBar_Transient:
    case SH_ScrollBar_ContextMenu:
    case SH_Menu_AllowActiveAndDisabled: return 0;
    case SH_ScrollBar_LeftClickAbsolutePosition: return 1;
    default: break;
    }
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

QRect OvlinStyle::subControlRect(ComplexControl control, const QStyleOptionComplex *option, SubControl sub,
                                 const QWidget *widget) const
{
    const auto *bar = qstyleoption_cast<const QStyleOptionSlider *>(option);
    if (control != CC_ScrollBar || !bar)
        return QProxyStyle::subControlRect(control, option, sub, widget);
    // No arrow buttons: the groove is the whole bar and the thumb runs along all of it.
    const QRect r = bar->rect;
    const bool horizontal = bar->orientation == Qt::Horizontal;
    const int length = std::max(0, horizontal ? r.width() : r.height());
    const qint64 range = qint64(bar->maximum) - bar->minimum;
    int thumb = length;
    if (range > 0) {
        const double share = double(bar->pageStep) / double(range + std::max(0, bar->pageStep));
        thumb = int(std::lround(length * std::clamp(share, 0.0, 1.0)));
        thumb = std::clamp(thumb, std::min(length, scrollBarSliderMin), length);
    }
    const int start =
        sliderPositionFromValue(bar->minimum, bar->maximum, bar->sliderPosition, length - thumb, bar->upsideDown);
    QRect out;
    const auto along = [&](int from, int size) {
        return horizontal ? QRect(r.left() + from, r.top(), size, r.height())
                          : QRect(r.left(), r.top() + from, r.width(), size);
    };
    switch (sub) {
    case SC_ScrollBarSlider: out = along(start, thumb); break;
    case SC_ScrollBarGroove: out = r; break;
    case SC_ScrollBarSubPage: out = along(0, start); break;
    case SC_ScrollBarAddPage: out = along(start + thumb, length - start - thumb); break;
    default: return {};
    }
    return visualRect(bar->direction, r, out);
}

void OvlinStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *p,
                                    const QWidget *widget) const
{
    const auto *bar = qstyleoption_cast<const QStyleOptionSlider *>(option);
    if (control != CC_ScrollBar || !bar) {
        QProxyStyle::drawComplexControl(control, option, p, widget);
        return;
    }
    if (bar->maximum <= bar->minimum)
        return;
    // The track stays the surface behind it; only the thumb is drawn, a capsule that darkens under the
    // pointer and while dragged.
    const bool active =
        (bar->activeSubControls & SC_ScrollBarSlider) && (bar->state & (State_MouseOver | State_Sunken));
    const QRectF thumb = QRectF(subControlRect(control, option, SC_ScrollBarSlider, widget))
                             .adjusted(scrollBarInset, scrollBarInset, -scrollBarInset, -scrollBarInset);
    if (thumb.width() <= 0 || thumb.height() <= 0)
        return;
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    Painting::fillRounded(*p, thumb, LayoutTokens::radiusFull,
                          active ? ThemeColors::neutral400() : ThemeColors::neutral300());
    p->restore();
}

QSize OvlinStyle::sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                                   const QWidget *widget) const
{
    const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
    if (type != CT_MenuItem || !item)
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    if (item->menuItemType == QStyleOptionMenuItem::Separator)
        return {size.width(), 2 * menuPadding + 1};
    const QFontMetricsF fm(ThemeFonts::body());
    double w = 2 * menuItemPadding + fm.horizontalAdvance(item->text) + LayoutTokens::spacingLG + menuIcon;
    if (item->maxIconWidth > 0)
        w += menuIcon + LayoutTokens::spacingSM;
    return {int(std::ceil(w)), menuItemHeight};
}

void OvlinStyle::drawControl(ControlElement element, const QStyleOption *option, QPainter *p,
                             const QWidget *widget) const
{
    if (element == CE_MenuEmptyArea)
        return;
    const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
    if (element != CE_MenuItem || !item) {
        QProxyStyle::drawControl(element, option, p, widget);
        return;
    }
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    const QRectF r(option->rect);
    if (item->menuItemType == QStyleOptionMenuItem::Separator) {
        p->fillRect(QRectF(r.left() + menuItemPadding, std::floor(r.center().y()), r.width() - 2 * menuItemPadding, 1),
                    ThemeColors::border());
        p->restore();
        return;
    }
    const bool enabled = option->state & State_Enabled;
    if (enabled && (option->state & State_Selected))
        Painting::fillRounded(*p, r, LayoutTokens::radiusSM, ThemeColors::green200());
    const QColor ink = enabled ? ThemeColors::textPrimary() : ThemeColors::textDisabled();
    double x = r.left() + menuItemPadding;
    // Every title starts at the same place: items without an icon keep the icon column empty.
    if (item->maxIconWidth > 0) {
        if (!item->icon.isNull()) {
            const QPixmap pm = item->icon.pixmap(QSize(menuIcon, menuIcon), p->device()->devicePixelRatioF(),
                                                 enabled ? QIcon::Normal : QIcon::Disabled);
            p->drawPixmap(QRectF(x, r.center().y() - menuIcon / 2.0, menuIcon, menuIcon), pm, QRectF(pm.rect()));
        }
        x += menuIcon + LayoutTokens::spacingSM;
    }
    const QFont &font = ThemeFonts::body();
    const QFontMetricsF fm(font);
    const double checkX = r.right() - menuItemPadding - menuIcon;
    p->setFont(font);
    p->setPen(ink);
    QString text = item->text;
    text = text.left(text.indexOf(QLatin1Char('\t')) < 0 ? text.size() : text.indexOf(QLatin1Char('\t')));
    p->drawText(QPointF(x, r.center().y() + (fm.ascent() - fm.descent()) / 2),
                fm.elidedText(text, Qt::ElideRight, std::max(0.0, checkX - LayoutTokens::spacingSM - x)));
    if (item->checkType != QStyleOptionMenuItem::NotCheckable && item->checked)
        IconRegistry::paint(*p, QRectF(checkX, r.center().y() - menuIcon / 2.0, menuIcon, menuIcon),
                            QStringLiteral("checkmark"), ThemeColors::primaryDark());
    p->restore();
}

void OvlinStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *p,
                               const QWidget *widget) const
{
    switch (element) {
    case PE_PanelMenu: {
        // QMenu paints this first, under its items: the rounded surface with its border.
        p->save();
        p->setRenderHint(QPainter::Antialiasing);
        const QRectF r(option->rect);
        p->fillRect(r, ThemeColors::surface());
        Painting::fillRounded(*p, r, menuRadius, ThemeColors::surface());
        Painting::strokeInside(*p, r, menuRadius, ThemeColors::border(), 1);
        p->restore();
        return;
    }
    case PE_FrameMenu:
    case PE_PanelScrollAreaCorner: return;
    default: break;
    }
    QProxyStyle::drawPrimitive(element, option, p, widget);
}

void OvlinStyle::polish(QWidget *widget)
{
    QProxyStyle::polish(widget);
    if (auto *menu = qobject_cast<QMenu *>(widget)) {
        menu->setFont(ThemeFonts::body());
        QPalette pal = menu->palette();
        pal.setColor(QPalette::Window, ThemeColors::surface());
        menu->setPalette(pal);
        menu->installEventFilter(this);
        maskMenu(menu);
    } else if (auto *bar = qobject_cast<QScrollBar *>(widget)) {
        bar->setAttribute(Qt::WA_Hover);
        bar->setAttribute(Qt::WA_OpaquePaintEvent, false);
    }
}

void OvlinStyle::unpolish(QWidget *widget)
{
    if (auto *menu = qobject_cast<QMenu *>(widget)) {
        menu->removeEventFilter(this);
        menu->clearMask();
    }
    QProxyStyle::unpolish(widget);
}

bool OvlinStyle::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize) {
        if (auto *menu = qobject_cast<QMenu *>(watched))
            maskMenu(menu);
    }
    return QProxyStyle::eventFilter(watched, event);
}

} // namespace ovlin
