#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace ovlin {

// Adds the banner samples to a gallery: the in-window banner and the floating panel's content, each with
// two and with three actions. `make` builds a fresh, unshown widget.
void registerBannerGallery(std::function<void(const QString &name, std::function<QWidget *()> make)> add);

} // namespace ovlin
