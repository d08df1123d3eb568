#pragma once

#include "DesignSystem/AccessibleValue.h"
#include "DesignSystem/AnimatedValue.h"
#include "Model/Enums.h"

#include <QColor>
#include <QImage>
#include <QMetaObject>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

namespace ovlin {

class Milestone;
class OvlinButton;
class OvlinCard;

enum class MilestoneCardStyle { full, compact };

// One reward as a card. `full` (the rewards screen): thumbnail, name, day goal, status badge, the days met
// with a progress bar, an "Earned." line for an earned reward and, when given, the Delete and Edit
// buttons. `compact` (the menu-bar popover): one row of thumbnail, name, day goal and badge, whatever
// actions it is given. The card only shows the reward and forwards actions; it never writes to it.
//
// It redraws whenever the reward's store context announces a change (the reward or its day logs), and on
// refresh(). The days met are read from MilestoneProgressService at the current time on every draw; the
// card does not redraw by itself when the day changes. Main thread only.
class MilestoneCard : public QWidget, public AccessibleValueSource
{
    Q_OBJECT
public:
    MilestoneCard(std::shared_ptr<Milestone> milestone, std::function<void()> onTap, std::function<void()> onEdit,
                  std::function<void()> onDelete, MilestoneCardStyle style, QWidget *parent = nullptr);
    ~MilestoneCard() override;

    std::shared_ptr<Milestone> milestone() const { return m_milestone; }
    MilestoneCardStyle style() const { return m_style; }
    bool hasTapAction() const { return bool(m_onTap); }
    bool isHovered() const { return m_isHovered; }
    // 0 ... 1: how far the hover shade has come.
    double hoverProgress() const { return m_hover.value(); }

    // What the card shows, read from the reward now.
    qint64 daysMet() const;
    double progressFraction() const;
    qint64 daysRemaining() const;
    MilestoneStatus status() const;
    QColor cardBackground() const;
    double titleOpacity() const;
    QString statusLabel() const;
    bool showsActions() const;
    QString accessibilityText() const;
    QString goalText() const;
    QString countText() const;
    // "<n> to go", only while the reward is active.
    std::optional<QString> toGoText() const;
    bool showsEarnedLine() const;
    // Whether the thumbnail shows the reward's picture (otherwise the trophy symbol).
    bool showsPicture() const;

    // The rules behind the derived values, for any numbers.
    static double progressFraction(qint64 daysMet, qint64 requireDays);
    static qint64 daysRemaining(qint64 daysMet, qint64 requireDays);
    static QColor cardBackground(MilestoneStatus status);
    static double titleOpacity(MilestoneStatus status);
    static QString statusLabel(MilestoneStatus status);

    // The buttons of the full card's action row, null when absent.
    OvlinButton *deleteButton() const { return m_deleteButton; }
    OvlinButton *editButton() const { return m_editButton; }
    // The progress bar's track and fill in the card's coordinates (empty in the compact style).
    QRectF progressTrackRect() const;
    QRectF progressFillRect() const;
    // The divider above the action row in the card's coordinates (empty without actions).
    QRectF dividerRect() const;

    static constexpr double hoverBrightness = -0.015;
    static constexpr double minimumFillWidth = 10;
    static constexpr double progressBarHeight = 12;
    static constexpr double fullThumbnailSide = 48;
    static constexpr double compactPictureSide = 36;

    // Reads the reward again: the progress bar moves to the new fraction, the layout follows the status.
    void refresh();

    // Accessibility: announced as a button only when it has a tap action.
    QString accessibleValueText() const override { return {}; }
    QAccessible::Role accessibleValueRole() const override;

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    class Body;
    class Shade;
    friend class Body;

    void watchContext();
    bool hitsCard(const QPointF &position) const;

    std::shared_ptr<Milestone> m_milestone;
    std::function<void()> m_onTap;
    std::function<void()> m_onEdit;
    std::function<void()> m_onDelete;
    MilestoneCardStyle m_style;
    bool m_isHovered = false;
    bool m_pressInside = false;
    AnimatedValue m_hover{0.0};
    AnimatedValue m_fill{0.0};
    OvlinCard *m_card = nullptr;
    Body *m_body = nullptr;
    Shade *m_shade = nullptr;
    OvlinButton *m_deleteButton = nullptr;
    OvlinButton *m_editButton = nullptr;
    QMetaObject::Connection m_contextConnection;
};

} // namespace ovlin
