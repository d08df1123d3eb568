#pragma once

namespace ovlin {
// Registers the fonts, icons and images compiled into the widgets library. The library is static, so its
// resources must be pulled in explicitly; safe to call any number of times.
void initDesignResources();
} // namespace ovlin
