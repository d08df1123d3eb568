#pragma once

#include "DesignSystem/Motion.h"
#include "Engine/BannerData.h"
#include "Engine/BannerPresenter.h"

#include <QObject>
#include <QPointer>

#include <optional>

namespace ovlin {

class FloatingBannerPanel;

// The app's banner presenter. A banner lives in one of two places, neither queued nor timed: `current`,
// drawn by the main window at its top, and the floating panel. A new banner replaces the one on screen
// wherever it is, so at most one is shown. Every banner button runs its handler and then `dismiss`.
class BannerManager : public QObject, public BannerPresenter
{
    Q_OBJECT
public:
    explicit BannerManager(QObject *parent = nullptr);
    ~BannerManager() override;

    // The one manager of the app, created on first use and kept until exit.
    static BannerManager &shared();

    // The banner shown inside the main window, if any.
    const std::optional<BannerData> &current() const { return m_current; }
    // How the window should animate the latest change of `current`: a spring when a banner comes in,
    // a short ease-out when it goes.
    const MotionCurve &currentTransition() const { return m_currentTransition; }
    // The floating panel on screen, if any.
    FloatingBannerPanel *floatingPanel() const;

    void present(const QString &title, const QString &message, BannerStyle style,
                 const QList<BannerAction> &actions) override;
    void showFloating(const QString &title, const QString &message, BannerStyle style,
                      const QList<BannerAction> &actions) override;
    void dismiss() override;
    void dismissBannerWithAction(const QUuid &actionId) override;

Q_SIGNALS:
    // Emitted on every assignment of `current`, including a dismissal with nothing shown.
    void currentChanged();

private:
    void assignCurrent(std::optional<BannerData> banner, const MotionCurve &transition);
    void retireFloatingPanel();

    std::optional<BannerData> m_current;
    MotionCurve m_currentTransition;
    QPointer<FloatingBannerPanel> m_floatingPanel;
};

} // namespace ovlin
