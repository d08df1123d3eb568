#include "Gallery/GallerySamples.h"

#include "Gallery/GalleryBanners.h"
#include "Gallery/GalleryCelebrations.h"
#include "Gallery/GalleryComponents.h"
#include "Gallery/GalleryPage.h"
#include "Gallery/GalleryRegistry.h"

#include <map>
#include <utility>
#include <vector>

namespace ovlin::gallery {

QWidget *samplesPage(const QString &title, const std::function<void(const SampleAdder &)> &registerSamples, int columns)
{
    auto *page = new GalleryPage(title);
    int index = 0;
    registerSamples([&](const QString &name, const std::function<QWidget *()> &make) {
        if (index % columns == 0)
            page->addRow(QString());
        QWidget *sample = make();
        // Samples that only follow their parent's size are shown at the size they were built with.
        if (!sample->sizeHint().isValid() && !sample->size().isEmpty())
            sample->setFixedSize(sample->size());
        page->addCell(sample, name);
        ++index;
    });
    return page;
}

} // namespace ovlin::gallery

namespace {
QWidget *bannersPage()
{
    return ovlin::gallery::samplesPage(QStringLiteral("Banners"), ovlin::registerBannerGallery);
}
QWidget *celebrationsPage()
{
    return ovlin::gallery::samplesPage(QStringLiteral("Celebrations"), ovlin::registerCelebrationGallery, 3);
}
// The components' samples are named "<Component>-<state>": one page per component.
bool registerComponentPages()
{
    using Sample = std::pair<QString, std::function<QWidget *()>>;
    std::map<QString, std::vector<Sample>> byComponent;
    ovlin::registerComponentGallery([&](const QString &name, std::function<QWidget *()> make) {
        byComponent[name.section(QLatin1Char('-'), 0, 0)].emplace_back(name, std::move(make));
    });
    for (auto &[component, samples] : byComponent) {
        ovlin::gallery::registerPage(component, [component, samples] {
            return ovlin::gallery::samplesPage(
                component,
                [&samples](const ovlin::gallery::SampleAdder &add) {
                    for (const auto &[name, make] : samples)
                        add(name.section(QLatin1Char('-'), 1), make);
                },
                4);
        });
    }
    return true;
}
const bool componentPagesRegistered = registerComponentPages();
} // namespace

OVLIN_GALLERY_PAGE(QStringLiteral("Banners"), bannersPage)
OVLIN_GALLERY_PAGE(QStringLiteral("Celebrations"), celebrationsPage)
