#pragma once

#include <QString>

#include <exception>
#include <optional>

namespace analytics {

// An error that carries a stable identifier, so one kind of failure groups under one identifier
// whatever its text says.
class IdentifiableError
{
public:
    virtual ~IdentifiableError() = default;
    virtual QString id() const = 0;
    // The error's own description, when it gives one.
    virtual std::optional<QString> errorDescription() const { return std::nullopt; }
};

// The description any error is reported with: its own, else a generic text naming its type.
QString localizedDescription(const IdentifiableError &error);
// The generic text for an error of the named type that describes nothing itself.
QString genericErrorDescription(const QString &typeName);

// Any error value given an identifier (see identified()). It describes nothing itself, so reported
// as an error it reads as the generic text; its own localizedDescription() is the wrapped error's.
class AnyIdentifiableError : public IdentifiableError
{
public:
    AnyIdentifiableError(QString id, std::exception_ptr error);

    QString id() const override { return m_id; }
    std::exception_ptr error() const { return m_error; }

    // The wrapped error's description: an identifiable error's as reported, a standard exception's
    // what(), else the generic text.
    QString localizedDescription() const;

private:
    QString m_id;
    std::exception_ptr m_error;
};

// The error with an identifier: `identified(std::runtime_error("disk full"), "save.failed")`, or
// `identified(std::current_exception(), ...)` inside a catch block.
AnyIdentifiableError identified(std::exception_ptr error, const QString &id);
template <typename Error> AnyIdentifiableError identified(Error error, const QString &id)
{
    return identified(std::make_exception_ptr(std::move(error)), id);
}

} // namespace analytics
