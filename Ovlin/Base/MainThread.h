#pragma once

namespace ovlin::detail {
// Logs the call site when reached from a thread other than the application's main thread.
void checkMainThread(const char *file, int line);
} // namespace ovlin::detail

#define OVLIN_ASSERT_MAIN_THREAD() ::ovlin::detail::checkMainThread(__FILE__, __LINE__)
