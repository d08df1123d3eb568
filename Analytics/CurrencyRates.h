#pragma once

#include <QString>

#include <map>

namespace analytics {

// Units of each currency worth one US dollar: a fixed snapshot of 161 codes (US dollar itself not
// among them), alphabetical, built once on first use and never changed. Safe from any thread.
const std::map<QString, double> &currencyRatesToUSD();

} // namespace analytics
