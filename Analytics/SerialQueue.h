#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace analytics {

// A serial work queue on a thread of its own: tasks run one at a time in the order queued,
// delayed tasks and one repeating task run when due. Built on standard threads and locks only.
class SerialQueue
{
public:
    using Task = std::function<void()>;

    explicit SerialQueue(std::string label);
    // Runs what is already queued, then stops (see shutdown()).
    ~SerialQueue();

    SerialQueue(const SerialQueue &) = delete;
    SerialQueue &operator=(const SerialQueue &) = delete;

    const std::string &label() const;

    void async(Task task);
    void asyncAfter(std::chrono::milliseconds delay, Task task);
    // Runs the task on the queue and waits for it; inline when called from the queue itself.
    void sync(const Task &task);

    // One repeating task per queue, first run one interval from now; replaces the previous one.
    void setRepeating(std::chrono::milliseconds interval, Task task);
    void cancelRepeating();

    // Runs the tasks already queued, drops delayed and repeating ones and ends the thread.
    // Tasks queued afterwards run at once on the caller's thread, so none is lost.
    void shutdown();

    bool isCurrent() const;

private:
    struct State;
    std::shared_ptr<State> m_state;
};

} // namespace analytics
