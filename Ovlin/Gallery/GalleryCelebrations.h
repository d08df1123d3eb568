#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace ovlin {

// Adds the celebration overlay of each kind of event (card settled, confetti frozen at one moment) to a
// gallery of previews.
void registerCelebrationGallery(std::function<void(const QString &name, std::function<QWidget *()> make)> add);

} // namespace ovlin
