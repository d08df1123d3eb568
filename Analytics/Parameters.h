#pragma once

#include <QMap>
#include <QString>

namespace analytics {

// Signal parameters: text keys to text values (numbers in decimal form, flags as "true"/"false").
using Parameters = QMap<QString, QString>;

// The base entries with every overriding entry laid over them; on a shared key the overriding value wins.
Parameters mergeParameters(const Parameters &overriding, const Parameters &base);

// A double as the shortest text that reads back as the same number, with at least one digit after
// the point: 3 gives "3.0", 12.345 gives "12.345".
QString decimalText(double value);

} // namespace analytics
