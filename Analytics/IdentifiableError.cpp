#include "Analytics/IdentifiableError.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <typeinfo>

namespace analytics {

namespace {

QString typeName(const std::type_info &type)
{
    int status = 0;
    const std::unique_ptr<char, void (*)(void *)> demangled(abi::__cxa_demangle(type.name(), nullptr, nullptr, &status),
                                                            std::free);
    return status == 0 && demangled ? QString::fromUtf8(demangled.get()) : QString::fromUtf8(type.name());
}

} // namespace

QString genericErrorDescription(const QString &typeName)
{
    return QStringLiteral("The operation couldn’t be completed. (%1 error.)").arg(typeName);
}

QString localizedDescription(const IdentifiableError &error)
{
    if (const auto own = error.errorDescription())
        return *own;
    return genericErrorDescription(typeName(typeid(error)));
}

AnyIdentifiableError::AnyIdentifiableError(QString id, std::exception_ptr error)
    : m_id(std::move(id)), m_error(std::move(error))
{
}

QString AnyIdentifiableError::localizedDescription() const
{
    if (!m_error)
        return genericErrorDescription(QStringLiteral("unknown"));
    try {
        std::rethrow_exception(m_error);
    } catch (const IdentifiableError &error) {
        return analytics::localizedDescription(error);
    } catch (const std::exception &error) {
        return QString::fromUtf8(error.what());
    } catch (...) {
        return genericErrorDescription(QStringLiteral("unknown"));
    }
}

AnyIdentifiableError identified(std::exception_ptr error, const QString &id)
{
    return AnyIdentifiableError(id, std::move(error));
}

} // namespace analytics
