#include "Banners/FloatingBannerPanel.h"

#include "Banners/InAppBannerView.h"
#include "Base/Log.h"
#include "Base/MainThread.h"
#include "DesignSystem/DesktopCompositing.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/Motion.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/X11Workspaces.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVariantAnimation>

#include <cmath>

namespace ovlin {

namespace {
constexpr int kPanelWidth = int(LayoutTokens::bannerPanelWidth);
constexpr double kSlideSeconds = 0.28;
} // namespace

FloatingBannerPanel::FloatingBannerPanel(BannerData banner, std::function<void()> onDismiss)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus |
                           Qt::NoDropShadowWindowHint)
{
    OVLIN_ASSERT_MAIN_THREAD();
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    if (DesktopCompositing::isActive(targetScreen())) {
        setAttribute(Qt::WA_TranslucentBackground);
        setAttribute(Qt::WA_NoSystemBackground);
    } else {
        // Nothing would blend the corners: an opaque window in the card's colour, cut to the card's
        // shape when it appears, so its edge pixels blend with white rather than black.
        QPalette palette = this->palette();
        palette.setColor(QPalette::Window, ThemeColors::surface());
        setPalette(palette);
        setAutoFillBackground(true);
    }
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle(QStringLiteral("Ovlin"));

    // The panel is exactly as tall as its card, so two-line titles and three-line messages are not clipped.
    const int height = InAppBannerView::cardHeight(banner, kPanelWidth);
    m_view = new InAppBannerView(std::move(banner), std::move(onDismiss), this);
    m_view->setGeometry(0, 0, kPanelWidth, height);
    setFixedSize(kPanelWidth, height);
    setAccessibleName(m_view->accessibleName());
}

FloatingBannerPanel::~FloatingBannerPanel() = default;

FloatingBannerPanel::Placement FloatingBannerPanel::placement(const QRect &availableGeometry, int height)
{
    const int h = std::max(0, height);
    const int x = availableGeometry.x() + int(std::floor((availableGeometry.width() - kPanelWidth) / 2.0));
    const int top = availableGeometry.y();
    Placement p;
    p.start = QRect(x, top - int(LayoutTokens::spacingMD) - h, kPanelWidth, h);
    p.target = QRect(x, top + int(LayoutTokens::bannerPanelTopMargin), kPanelWidth, h);
    return p;
}

QScreen *FloatingBannerPanel::targetScreen()
{
    if (QScreen *primary = QGuiApplication::primaryScreen())
        return primary;
    const auto screens = QGuiApplication::screens();
    return screens.isEmpty() ? nullptr : screens.first();
}

void FloatingBannerPanel::appear(QScreen *screen)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (m_slide)
        m_slide->stop();
    DesktopCompositing::applyRoundedShape(this, screen, m_view->cardRect(), LayoutTokens::radiusLG);
    if (!screen) {
        qCDebug(lcUi) << "No screen for the banner panel; showing it without animation";
        setWindowOpacity(1.0);
        x11::showOnEveryWorkspace(this);
        show();
        raise();
        return;
    }
    const Placement p = placement(screen->availableGeometry(), height());
    setScreen(screen);
    setGeometry(p.start);
    setWindowOpacity(0.0);
    x11::showOnEveryWorkspace(this);
    show();
    raise();

    const int ms = Motion::durationMs(MotionCurve::easeOut(kSlideSeconds));
    if (ms <= 0) {
        setGeometry(p.target);
        setWindowOpacity(1.0);
        return;
    }
    auto *slide = new QVariantAnimation(this);
    slide->setStartValue(0.0);
    slide->setEndValue(1.0);
    slide->setDuration(ms);
    slide->setEasingCurve(Motion::easeOutCurve());
    connect(slide, &QVariantAnimation::valueChanged, this, [this, p](const QVariant &value) {
        const double t = value.toDouble();
        const int y = int(std::lround(p.start.y() + (p.target.y() - p.start.y()) * t));
        setGeometry(QRect(QPoint(p.target.x(), y), p.target.size()));
        setWindowOpacity(t);
    });
    m_slide = slide;
    slide->start(QAbstractAnimation::DeleteWhenStopped);
}

void FloatingBannerPanel::orderOut()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (m_slide)
        m_slide->stop();
    hide();
}

bool FloatingBannerPanel::isSliding() const
{
    return m_slide && m_slide->state() == QAbstractAnimation::Running;
}

} // namespace ovlin
