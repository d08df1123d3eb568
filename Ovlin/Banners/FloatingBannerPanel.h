#pragma once

#include "Engine/BannerData.h"

#include <QPointer>
#include <QRect>
#include <QWidget>

#include <functional>

class QScreen;
class QVariantAnimation;

namespace ovlin {

class InAppBannerView;

// The window that shows a banner while Ovlin's main window is not in front: frameless, transparent
// (or, where nothing composites, cut to the card's rounded shape), always on top and never taking
// focus, on every workspace, 560 wide and as tall as its card. It slides down from above the top of the
// screen's available area to 20 pixels below it while fading in.
class FloatingBannerPanel : public QWidget
{
    Q_OBJECT
public:
    FloatingBannerPanel(BannerData banner, std::function<void()> onDismiss);
    ~FloatingBannerPanel() override;

    struct Placement
    {
        QRect start;  // wholly above the available area, 12 pixels clear of its top
        QRect target; // centred, its top 20 pixels below the available area's top
    };
    // Where a panel of `height` starts and comes to rest on a screen with this available area.
    static Placement placement(const QRect &availableGeometry, int height);
    // The primary screen, else the first one; null when there is none.
    static QScreen *targetScreen();

    // Shows the panel without activating the app: slides it in on `screen`, or, without a screen, shows it
    // where it is, fully opaque and without animation.
    void appear(QScreen *screen);
    // Hides the panel at once, without animation.
    void orderOut();

    InAppBannerView *bannerView() const { return m_view; }
    bool isSliding() const;

private:
    InAppBannerView *m_view = nullptr;
    QPointer<QVariantAnimation> m_slide;
};

} // namespace ovlin
