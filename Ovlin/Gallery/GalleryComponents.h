#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace ovlin {

// Hands every state of the small components (badge, check-off, day selector, empty state, notification
// preview, progress ring, time field and picker) to `add`, one widget per state, named like
// "ProgressRing-half". Each widget sits on the app background with a margin, ready to be rendered.
// A widget that should be shown with keyboard focus carries the property "galleryFocusReason" on the
// child to focus once the page is on screen.
void registerComponentGallery(std::function<void(const QString &name, std::function<QWidget *()> make)> add);

} // namespace ovlin
