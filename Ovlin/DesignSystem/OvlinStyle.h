#pragma once

#include <QPalette>
#include <QProxyStyle>

class QMenu;

namespace ovlin {

// The application's widget style: Fusion with the fixed light palette, plus the design system's own
// scroll bars (slim, no arrow buttons, neutral thumb) and menus (rounded white surface with a border,
// Lexend rows with padding, icons in one column, a check mark on the checked item). The app and the
// gallery install it, so every scroll area and pop-up menu looks the same.
class OvlinStyle : public QProxyStyle
{
    Q_OBJECT
public:
    OvlinStyle();

    static QPalette lightPalette();
    // Installs the style, the palette and the keyboard-focus tracker on the application.
    static void applyToApplication();
    // Gives one menu the design system's look whatever the application's style (the tray's menu).
    static void styleMenu(QMenu *menu);

    static constexpr int scrollBarExtent = 10;
    static constexpr int scrollBarInset = 2;
    static constexpr int scrollBarSliderMin = 32;
    static constexpr double menuRadius = 10;
    static constexpr int menuPadding = 6;
    static constexpr int menuItemHeight = 32;
    static constexpr int menuItemPadding = 12;
    static constexpr int menuIcon = 16;

    int pixelMetric(PixelMetric metric, const QStyleOption *option = nullptr,
                    const QWidget *widget = nullptr) const override;
    int styleHint(StyleHint hint, const QStyleOption *option = nullptr, const QWidget *widget = nullptr,
                  QStyleHintReturn *returnData = nullptr) const override;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex *option, SubControl sub,
                         const QWidget *widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *p,
                            const QWidget *widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                           const QWidget *widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *p,
                     const QWidget *widget = nullptr) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *p,
                       const QWidget *widget = nullptr) const override;
    void polish(QWidget *widget) override;
    using QProxyStyle::polish;
    void unpolish(QWidget *widget) override;
    using QProxyStyle::unpolish;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

} // namespace ovlin
