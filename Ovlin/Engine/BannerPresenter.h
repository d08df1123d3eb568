#pragma once

// Qt Core only: the presentation loop talks to banners through this interface, so it runs headless in
// tests and without the widgets library.

#include "Engine/AppActivity.h"
#include "Engine/BannerData.h"

namespace ovlin {

// Shows banners in their two places. BannerManager is the real one.
class BannerPresenter
{
public:
    virtual ~BannerPresenter() = default;

    // Inside the main window; replaces the banner on screen, in the window or in the floating panel.
    virtual void present(const QString &title, const QString &message, BannerStyle style,
                         const QList<BannerAction> &actions) = 0;
    // In a new floating panel at the top of the screen; replaces the banner on screen, wherever it is.
    virtual void showFloating(const QString &title, const QString &message, BannerStyle style,
                              const QList<BannerAction> &actions) = 0;
    // Empties both places.
    virtual void dismiss() = 0;
    // Removes the banner that carries the action, wherever it is shown. Nothing happens when no banner
    // on screen carries it (it was answered or replaced).
    virtual void dismissBannerWithAction(const QUuid &actionId) = 0;
};

// Puts a banner where the user will see it: into the main window while it is in front of the user,
// otherwise into the floating panel, which stays on top without taking focus. A popover or a panel
// alone does not count as a window: a banner published there would reach nobody. True when it went into
// the main window.
inline bool showBanner(BannerPresenter &presenter, const AppActivity &activity, const QString &title,
                       const QString &message, BannerStyle style, const QList<BannerAction> &actions)
{
    if (activity.isActiveWithVisibleWindow()) {
        presenter.present(title, message, style, actions);
        return true;
    }
    presenter.showFloating(title, message, style, actions);
    return false;
}

} // namespace ovlin
