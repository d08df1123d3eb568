#pragma once

#include "Analytics/SerialQueue.h"

#include <chrono>
#include <functional>

namespace analytics {

// Runs the task later on the application's main thread (at once when there is no application object).
void runOnMainThread(std::function<void()> task);
// Runs the task on the main thread after the delay (dropped when there is no application object).
void runOnMainThreadAfter(std::chrono::milliseconds delay, std::function<void()> task);
// The client's shared background queue for small delayed work.
SerialQueue &utilityQueue();

} // namespace analytics
