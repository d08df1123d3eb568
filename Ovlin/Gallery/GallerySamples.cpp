#include "Gallery/GallerySamples.h"

#include "Banners/GalleryBanners.h"
#include "Gallery/GalleryPage.h"
#include "Gallery/GalleryRegistry.h"

namespace ovlin::gallery {

QWidget *samplesPage(const QString &title, const std::function<void(const SampleAdder &)> &registerSamples,
                     int columns)
{
    auto *page = new GalleryPage(title);
    int index = 0;
    registerSamples([&](const QString &name, const std::function<QWidget *()> &make) {
        if (index % columns == 0)
            page->addRow(QString());
        page->addCell(make(), name);
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
} // namespace

OVLIN_GALLERY_PAGE(QStringLiteral("Banners"), bannersPage)
