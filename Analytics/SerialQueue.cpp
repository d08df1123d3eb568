#include "Analytics/SerialQueue.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include <pthread.h>

namespace analytics {

using SteadyClock = std::chrono::steady_clock;

struct SerialQueue::State
{
    std::string label;
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Task> ready;
    std::multimap<SteadyClock::time_point, Task> delayed;
    Task repeating;
    std::chrono::milliseconds repeatInterval{0};
    SteadyClock::time_point repeatDeadline;
    bool stopping = false;
    bool stopped = false;
    std::thread thread;
    std::thread::id threadId;

    void run();
};

void SerialQueue::State::run()
{
    {
        // Thread names hold 15 characters: keep the queue's own name, the part after the last dot.
        const std::string name = label.substr(label.find_last_of('.') + 1).substr(0, 15);
        pthread_setname_np(pthread_self(), name.c_str());
    }
    std::unique_lock lock(mutex);
    for (;;) {
        const auto now = SteadyClock::now();
        while (!delayed.empty() && delayed.begin()->first <= now) {
            ready.push_back(std::move(delayed.begin()->second));
            delayed.erase(delayed.begin());
        }
        if (repeating && repeatDeadline <= now) {
            ready.push_back(repeating);
            // A late wake-up does not fire a burst of catch-up runs.
            while (repeatDeadline <= now)
                repeatDeadline += repeatInterval;
        }
        if (!ready.empty()) {
            Task task = std::move(ready.front());
            ready.pop_front();
            lock.unlock();
            task();
            task = nullptr;
            lock.lock();
            continue;
        }
        if (stopping)
            break;
        std::optional<SteadyClock::time_point> deadline;
        if (!delayed.empty())
            deadline = delayed.begin()->first;
        if (repeating && (!deadline || repeatDeadline < *deadline))
            deadline = repeatDeadline;
        if (deadline)
            wake.wait_until(lock, *deadline);
        else
            wake.wait(lock);
    }
    stopped = true;
}

SerialQueue::SerialQueue(std::string label) : m_state(std::make_shared<State>())
{
    m_state->label = std::move(label);
    std::shared_ptr<State> state = m_state;
    std::lock_guard lock(m_state->mutex);
    m_state->thread = std::thread([state] { state->run(); });
    m_state->threadId = m_state->thread.get_id();
}

SerialQueue::~SerialQueue()
{
    shutdown();
}

const std::string &SerialQueue::label() const
{
    return m_state->label;
}

bool SerialQueue::isCurrent() const
{
    std::lock_guard lock(m_state->mutex);
    return std::this_thread::get_id() == m_state->threadId;
}

void SerialQueue::async(Task task)
{
    {
        std::lock_guard lock(m_state->mutex);
        if (!m_state->stopping) {
            m_state->ready.push_back(std::move(task));
            m_state->wake.notify_one();
            return;
        }
    }
    task();
}

void SerialQueue::asyncAfter(std::chrono::milliseconds delay, Task task)
{
    std::lock_guard lock(m_state->mutex);
    if (m_state->stopping)
        return;
    m_state->delayed.emplace(SteadyClock::now() + delay, std::move(task));
    m_state->wake.notify_one();
}

void SerialQueue::sync(const Task &task)
{
    if (isCurrent()) {
        task();
        return;
    }
    std::mutex doneMutex;
    std::condition_variable doneCondition;
    bool done = false;
    bool runInline = false;
    {
        std::lock_guard lock(m_state->mutex);
        if (m_state->stopping) {
            runInline = true;
        } else {
            m_state->ready.push_back([&] {
                task();
                std::lock_guard doneLock(doneMutex);
                done = true;
                doneCondition.notify_one();
            });
            m_state->wake.notify_one();
        }
    }
    if (runInline) {
        task();
        return;
    }
    std::unique_lock doneLock(doneMutex);
    doneCondition.wait(doneLock, [&] { return done; });
}

void SerialQueue::setRepeating(std::chrono::milliseconds interval, Task task)
{
    std::lock_guard lock(m_state->mutex);
    if (m_state->stopping)
        return;
    m_state->repeatInterval = std::max(interval, std::chrono::milliseconds(1));
    m_state->repeatDeadline = SteadyClock::now() + m_state->repeatInterval;
    m_state->repeating = std::move(task);
    m_state->wake.notify_one();
}

void SerialQueue::cancelRepeating()
{
    std::lock_guard lock(m_state->mutex);
    m_state->repeating = nullptr;
    m_state->wake.notify_one();
}

void SerialQueue::shutdown()
{
    std::thread thread;
    {
        std::lock_guard lock(m_state->mutex);
        if (m_state->stopping)
            return;
        m_state->stopping = true;
        m_state->delayed.clear();
        m_state->repeating = nullptr;
        m_state->wake.notify_one();
        thread = std::move(m_state->thread);
    }
    if (!thread.joinable())
        return;
    if (thread.get_id() == std::this_thread::get_id())
        thread.detach(); // Ended from one of its own tasks: the thread finishes on its own.
    else
        thread.join();
}

} // namespace analytics
