#pragma once

#include <QString>
#include <QWidget>

#include <functional>

namespace ovlin::gallery {

using SampleAdder = std::function<void(const QString &name, std::function<QWidget *()> make)>;

// A page built from a feature's own sample list: one cell per sample, `columns` to a row.
QWidget *samplesPage(const QString &title, const std::function<void(const SampleAdder &)> &registerSamples,
                     int columns = 2);

} // namespace ovlin::gallery
