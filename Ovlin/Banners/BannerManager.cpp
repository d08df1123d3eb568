#include "Banners/BannerManager.h"

#include "Banners/FloatingBannerPanel.h"
#include "Banners/InAppBannerView.h"
#include "Base/MainThread.h"

#include <algorithm>

namespace ovlin {

namespace {

BannerData makeBanner(const QString &title, const QString &message, BannerStyle style,
                      const QList<BannerAction> &actions)
{
    BannerData banner;
    banner.id = QUuid::createUuid();
    banner.title = title;
    banner.message = message;
    banner.style = style;
    banner.actions = actions;
    return banner;
}

bool carriesAction(const BannerData &banner, const QUuid &actionId)
{
    return std::any_of(banner.actions.cbegin(), banner.actions.cend(),
                       [&actionId](const BannerAction &action) { return action.id == actionId; });
}

const MotionCurve &dismissTransition()
{
    static const MotionCurve curve = MotionCurve::easeOut(0.18);
    return curve;
}

const MotionCurve &presentTransition()
{
    static const MotionCurve curve = MotionCurve::spring(0.4, 0.75);
    return curve;
}

} // namespace

BannerManager::BannerManager(QObject *parent) : QObject(parent), m_currentTransition(presentTransition())
{
}

BannerManager::~BannerManager()
{
    delete m_floatingPanel.data();
}

BannerManager &BannerManager::shared()
{
    // Never destroyed: its panel is a window, which must not outlive the application object's teardown.
    static BannerManager *instance = new BannerManager;
    return *instance;
}

FloatingBannerPanel *BannerManager::floatingPanel() const
{
    return m_floatingPanel.data();
}

void BannerManager::present(const QString &title, const QString &message, BannerStyle style,
                            const QList<BannerAction> &actions)
{
    OVLIN_ASSERT_MAIN_THREAD();
    // One banner on screen: the one the floating panel shows is replaced as well.
    retireFloatingPanel();
    assignCurrent(makeBanner(title, message, style, actions), presentTransition());
}

void BannerManager::showFloating(const QString &title, const QString &message, BannerStyle style,
                                 const QList<BannerAction> &actions)
{
    OVLIN_ASSERT_MAIN_THREAD();
    QPointer<BannerManager> self(this);
    auto *panel = new FloatingBannerPanel(makeBanner(title, message, style, actions), [self] {
        if (self)
            self->dismiss();
    });
    QScreen *screen = FloatingBannerPanel::targetScreen();
    retireFloatingPanel();
    // One banner on screen: the window's, shown while Ovlin was in front, goes too.
    if (m_current)
        assignCurrent(std::nullopt, dismissTransition());
    m_floatingPanel = panel;
    panel->appear(screen);
}

void BannerManager::dismiss()
{
    OVLIN_ASSERT_MAIN_THREAD();
    assignCurrent(std::nullopt, dismissTransition());
    retireFloatingPanel();
}

void BannerManager::dismissBannerWithAction(const QUuid &actionId)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (m_current && carriesAction(*m_current, actionId))
        assignCurrent(std::nullopt, dismissTransition());
    if (m_floatingPanel && m_floatingPanel->bannerView() &&
        carriesAction(m_floatingPanel->bannerView()->banner(), actionId))
        retireFloatingPanel();
}

void BannerManager::assignCurrent(std::optional<BannerData> banner, const MotionCurve &transition)
{
    m_current = std::move(banner);
    m_currentTransition = transition;
    Q_EMIT currentChanged();
}

void BannerManager::retireFloatingPanel()
{
    if (!m_floatingPanel)
        return;
    FloatingBannerPanel *panel = m_floatingPanel.data();
    m_floatingPanel.clear();
    panel->orderOut();
    // Later: this may run inside the click handler of one of the panel's own buttons.
    panel->deleteLater();
}

} // namespace ovlin
