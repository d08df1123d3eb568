#pragma once

#include "DesignSystem/LayoutTokens.h"

#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>

class QVariantAnimation;

namespace ovlin {

// The frameless popup window that opens under the status item and hosts one content widget (the
// popover view, or a placeholder until the store is attached). Like any popup it closes when the user
// clicks outside it; `closed` reports every close, whoever caused it.
//
// It has rounded corners and a 1 px outline, so it stands apart from a window of the same colour under
// it. The corners are see-through on a compositing desktop; elsewhere the window is cut to its shape.
class MenuBarPopover : public QWidget
{
    Q_OBJECT

public:
    explicit MenuBarPopover(QWidget *parent = nullptr);
    ~MenuBarPopover() override;

    // Takes ownership of `content`; the previous content is hidden and deleted later.
    void setContent(QWidget *content);
    QWidget *content() const { return m_content; }

    // The size of the content area (the window is exactly this big).
    void setContentSize(const QSize &size);
    QSize contentSize() const { return m_contentSize; }

    bool isShown() const { return isVisible(); }
    // Opens the popover next to `anchor` (global coordinates), below it when there is room on its screen.
    void showRelativeTo(const QRect &anchor);
    void performClose();

    // Top-left corner for a popover of `size` at `anchor` on a screen area `available`: centred under
    // the anchor, above it when it does not fit below, and kept inside the area.
    static QPoint placement(const QRect &anchor, const QSize &size, const QRect &available);
    // Space between the anchor and the popover.
    static constexpr int anchorGap = 6;
    static constexpr double cornerRadius = LayoutTokens::radiusMD;
    // The available area of the screen under `anchor` (the primary screen when none is).
    static QRect availableArea(const QRect &anchor);

Q_SIGNALS:
    void closed();
    // A press outside the popover closed it (the popup takes every press while it is open, so the
    // press reaches nothing else); `globalPos` is where it landed.
    void pressedOutside(QPoint globalPos, Qt::MouseButton button);
    // The content's layout asks for another size.
    void contentLayoutChanged();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    class Outline;

    // Cuts the window to its rounded shape where nothing composites it.
    void updateShape();

    QPointer<QWidget> m_content;
    Outline *m_outline;
    QSize m_contentSize;
    QRect m_anchor;
    QVariantAnimation *m_fade;
};

} // namespace ovlin
