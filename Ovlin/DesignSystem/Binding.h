#pragma once

#include <functional>
#include <utility>

namespace ovlin {

// A two-way connection to a value the screen owns: controls read it on every update and change the
// value only by writing through it.
template <typename T> struct Binding
{
    std::function<T()> get;
    std::function<void(const T &)> set;

    T value() const { return get ? get() : T{}; }
    void write(const T &v) const
    {
        if (set)
            set(v);
    }

    // A binding over a variable that outlives the control (handy for tests and previews).
    static Binding of(T *storage)
    {
        return {[storage] { return *storage; }, [storage](const T &v) { *storage = v; }};
    }
};

} // namespace ovlin
