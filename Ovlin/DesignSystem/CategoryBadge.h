#pragma once

#include "Model/Enums.h"

#include <QFont>
#include <QWidget>

namespace ovlin {

enum class BadgeSize { small, medium, large };

// A reminder category as a small neutral pill: the category's symbol and, optionally, its name.
class CategoryBadge : public QWidget
{
    Q_OBJECT
public:
    CategoryBadge(ReminderCategory category, BadgeSize size, bool showLabel, QWidget *parent = nullptr);

    ReminderCategory category() const { return m_category; }
    void setCategory(ReminderCategory category);
    BadgeSize badgeSize() const { return m_size; }
    void setBadgeSize(BadgeSize size);
    bool showLabel() const { return m_showLabel; }
    void setShowLabel(bool show);

    static QString iconName(ReminderCategory category);
    static QString displayName(ReminderCategory category);
    static QString accessibilityLabel(ReminderCategory category);

    struct Metrics
    {
        QFont font;
        double iconFrame = 0;
        double verticalPadding = 0;
        double horizontalPadding = 0;
    };
    static Metrics metrics(BadgeSize size);

    // The pill's own size (the widget draws it centred if it is given more room).
    QSizeF badgeSizeF() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void refresh();

    ReminderCategory m_category;
    BadgeSize m_size;
    bool m_showLabel;
};

} // namespace ovlin
