#pragma once

namespace ovlin {

// Call first thing in main(), before any thread starts. With TZ unset, the C library re-reads
// /etc/localtime on every local-time conversion (Qt converts through mktime), which makes loading a
// store of 200,000 dated logs several times slower. Pointing TZ at /etc/localtime reads the system
// zone once per run instead. An explicit TZ is left as it is.
void pinSystemTimeZone();

} // namespace ovlin
