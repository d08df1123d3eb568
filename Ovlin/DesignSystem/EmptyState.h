#pragma once

#include "DesignSystem/AnimatedValue.h"

#include <QRectF>
#include <QWidget>

#include <functional>
#include <optional>

class QAbstractButton;

namespace ovlin {

// The card a list shows instead of its rows: an icon (a symbol, or an image from the assets when
// `imageAsset` is given), a title, a message of at most two lines and, only when both `actionTitle` and
// `action` are given, a large primary button. The card keeps its own width and sits centred in the
// width it is offered.
class EmptyState : public QWidget
{
    Q_OBJECT
public:
    EmptyState(const QString &icon, const std::optional<QString> &imageAsset, const QString &title,
               const QString &message, const std::optional<QString> &actionTitle, std::function<void()> action,
               QWidget *parent = nullptr);

    QString icon() const { return m_icon; }
    std::optional<QString> imageAsset() const { return m_imageAsset; }
    QString title() const { return m_title; }
    QString message() const { return m_message; }

    // The call-to-action button, or null when the card has none.
    QAbstractButton *actionButton() const { return m_button; }
    bool hasActionButton() const { return m_button != nullptr; }
    // Whether the pointer is over the card (which then darkens slightly).
    bool isCardHovered() const { return m_cardHovered; }
    // "<title>. <message>"
    static QString accessibilityLabel(const QString &title, const QString &message);

    // Where the card and its parts sit for a given widget width.
    struct Geometry
    {
        QRectF card;
        QRectF icon;
        QRectF title;
        QRectF message;
        QRectF button; // empty without a button
        double height = 0;
    };
    Geometry geometryForWidth(double width) const;

    static constexpr double messageMaxWidth = 360;
    static constexpr double buttonMaxWidth = 220;
    static constexpr int messageMaxLines = 2;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    double naturalContentWidth() const;
    void setCardHovered(bool hovered);

    QString m_icon;
    std::optional<QString> m_imageAsset;
    QString m_title;
    QString m_message;
    QAbstractButton *m_button = nullptr;
    bool m_cardHovered = false;
    AnimatedValue m_cardHover{0.0};
};

} // namespace ovlin
