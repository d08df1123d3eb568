#pragma once

#include <QDebug>
#include <QString>

#include <functional>
#include <type_traits>
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

// A text description of an option's value, for option identities ("title-value").
template <typename T> QString describeValue(const T &value)
{
    if constexpr (std::is_enum_v<T>) {
        return QString::number(static_cast<qlonglong>(value));
    } else {
        QString description;
        QDebug(&description).noquote().nospace() << value;
        return description;
    }
}

} // namespace ovlin
