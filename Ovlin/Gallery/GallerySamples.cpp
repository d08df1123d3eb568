#include "Gallery/GallerySamples.h"

#include "Banners/GalleryBanners.h"
#include "Banners/GalleryCelebrations.h"
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
} // namespace

OVLIN_GALLERY_PAGE(QStringLiteral("Banners"), bannersPage)
OVLIN_GALLERY_PAGE(QStringLiteral("Celebrations"), celebrationsPage)
