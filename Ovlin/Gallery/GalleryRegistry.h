#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <vector>

namespace ovlin::gallery {

// A gallery page shows one component in each of its states. The factory builds the page widget;
// the gallery owns and renders it, then writes <name>.png.
using PageFactory = std::function<QWidget *()>;

struct Page
{
    QString name;
    PageFactory build;
};

bool registerPage(const QString &name, PageFactory build);
const std::vector<Page> &pages();

} // namespace ovlin::gallery

// Registers a page from any gallery source file: OVLIN_GALLERY_PAGE("OvlinButton", buildButtonPage);
#define OVLIN_GALLERY_CONCAT_(a, b) a##b
#define OVLIN_GALLERY_CONCAT(a, b) OVLIN_GALLERY_CONCAT_(a, b)
#define OVLIN_GALLERY_PAGE(name, factory)                                                                              \
    namespace {                                                                                                        \
    const bool OVLIN_GALLERY_CONCAT(galleryPageRegistered_, __LINE__) = ::ovlin::gallery::registerPage(name, factory); \
    }
