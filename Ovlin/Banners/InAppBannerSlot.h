#pragma once

#include <QWidget>

namespace ovlin {

class AnimatedValue;
class BannerMotionEffect;
class InAppBannerView;
struct BannerData;

// The in-window banner over the top edge of its host: the card rests 8 from the top, centred between
// side margins of 32. It comes in from the top edge with a fade and a scale from 0.98 anchored at its
// top edge, and goes out to the top edge with a fade, without the scale.
//
// The slot covers the card and nothing else, so everything beside the card keeps its clicks; the card's
// shadow is painted around it. While leaving, the slot takes no clicks at all.
class InAppBannerSlot : public QWidget
{
    Q_OBJECT
public:
    // Takes `view` and enters at once.
    InAppBannerSlot(InAppBannerView *view, QWidget *host);
    ~InAppBannerSlot() override;

    InAppBannerView *view() const { return m_view; }
    bool isLeaving() const { return m_leaving; }
    // Starts the exit; the slot deletes itself once it is out of sight.
    void leave();
    // Lays the card out in the host at its resting place, offset by the motion. Call on host resizes.
    void place();

    // Where the card of `banner` rests in a host of `hostWidth`.
    static QRect restingRect(const BannerData &banner, int hostWidth);

    // What the card is painted with now.
    double opacity() const;
    double scale() const;

private:
    InAppBannerView *m_view;
    BannerMotionEffect *m_effect;
    AnimatedValue *m_presence;
    bool m_leaving = false;
};

} // namespace ovlin
