#include "Gallery/GalleryBanners.h"

#include "Banners/InAppBannerView.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/ThemeColors.h"
#include "Engine/BannerData.h"

#include <QPainter>
#include <QVBoxLayout>
#include <QWidget>

namespace ovlin {

namespace {

BannerAction action(const QString &title, BannerAction::Role role)
{
    BannerAction a;
    a.title = title;
    a.role = role;
    a.handler = [] {};
    return a;
}

BannerData firstAttempt()
{
    BannerData banner;
    banner.title = QStringLiteral("Drink a glass of water");
    banner.message = QStringLiteral("A few sips now keep the afternoon slump away.");
    banner.actions = {action(QStringLiteral("Skip"), BannerAction::Role::destructive),
                      action(QStringLiteral("In 15 min"), BannerAction::Role::secondary),
                      action(QStringLiteral("Done"), BannerAction::Role::primary)};
    return banner;
}

BannerData finalAttempt()
{
    BannerData banner;
    banner.title = QStringLiteral("Stretch your back and shoulders before the afternoon meetings begin again");
    banner.message = QStringLiteral(
        "Last call for this one. Ten minutes of stretching is still ten minutes more than none, and your back "
        "will thank you tonight when you finally sit down on the sofa after a long day at the desk.");
    banner.actions = {action(QStringLiteral("I failed"), BannerAction::Role::destructive),
                      action(QStringLiteral("Done"), BannerAction::Role::primary)};
    return banner;
}

// The top of the main window as the root view lays the banner over it.
class WindowTop : public QWidget
{
public:
    explicit WindowTop(const BannerData &banner)
    {
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(int(LayoutTokens::spacingXXL), int(LayoutTokens::spacingSM),
                                   int(LayoutTokens::spacingXXL), int(LayoutTokens::spacingXXL));
        layout->addWidget(new InAppBannerView(
                              banner, [] {}, this),
                          0, Qt::AlignTop);
        layout->addStretch(1);
        const int width = 760;
        resize(width, layout->totalHeightForWidth(width));
    }

protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), ThemeColors::background()); }
};

QWidget *floatingContent(const BannerData &banner)
{
    // Exactly what the floating panel holds: the card at the panel's width and the card's own height.
    auto *view = new InAppBannerView(banner, [] {});
    const int width = int(LayoutTokens::bannerPanelWidth);
    view->resize(width, InAppBannerView::cardHeight(banner, width));
    return view;
}

} // namespace

void registerBannerGallery(std::function<void(const QString &name, std::function<QWidget *()> make)> add)
{
    if (!add)
        return;
    add(QStringLiteral("In-app banner, three actions"), [] { return new WindowTop(firstAttempt()); });
    add(QStringLiteral("In-app banner, two actions"), [] { return new WindowTop(finalAttempt()); });
    add(QStringLiteral("Floating banner panel, three actions"), [] { return floatingContent(firstAttempt()); });
    add(QStringLiteral("Floating banner panel, two actions"), [] { return floatingContent(finalAttempt()); });
}

} // namespace ovlin
