#pragma once

#include "Engine/BannerData.h"

#include <QWidget>

#include <functional>

class QAbstractButton;
class QPainter;

namespace ovlin {

// The card that shows one banner: the app's icon, an "Ovlin · Notification" header, the title (at most
// two lines), the message (at most three) and one button per action. Destructive buttons stand at the
// leading edge, all others at the trailing edge; a banner without actions gets a single "OK". A button
// runs its action's handler and then `onDismiss`.
//
// The card is at most 560 wide and centred in a wider widget; its height follows its content
// (heightForWidth). Outside the card the widget is transparent.
class InAppBannerView : public QWidget
{
    Q_OBJECT
public:
    InAppBannerView(BannerData banner, std::function<void()> onDismiss, QWidget *parent = nullptr);

    const BannerData &banner() const { return m_banner; }

    // Height of the card for `banner` when it is offered `width` (text wraps to the card's width).
    static int cardHeight(const BannerData &banner, int width);
    // The card inside this widget.
    QRect cardRect() const;
    // The row's buttons, left to right.
    QList<QAbstractButton *> buttons() const;

    // Lets the keyboard in: the buttons become Tab stops and Escape with the focus on one of them closes
    // the banner without answering it. Off by default: the floating panel never takes the focus.
    void setKeyboardReachable(bool reachable);

    // The card casts its shadow inside this widget unless its owner paints it around the widget.
    void setDrawsShadow(bool draws);
    static void paintShadow(QPainter &p, const QRectF &card);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void placeButtons();
    void performAction(int actionIndex);
    void performOk();

    BannerData m_banner;
    std::function<void()> m_onDismiss;
    QList<QAbstractButton *> m_buttons; // left to right
    bool m_answered = false;
    bool m_drawsShadow = true;
    bool m_keyboardReachable = false;
};

} // namespace ovlin
