#pragma once

#include "Base/Defaults.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace analytics {

// Begins the names of the client's threads and of its defaults suite.
inline constexpr char kReverseDomainPrefix[] = "org.ovlin.analytics";

// The prefix, ".", and the last 12 hexadecimal digits of the unsalted SHA-256 of the identifier.
QString analyticsSuiteName(const QString &analyticsAppID);

// The client's own defaults suite for the registered manager's identifier (a file under
// $XDG_CONFIG_HOME/Ovlin/), or nothing before initialisation. Looked up anew on every call.
std::shared_ptr<ovlin::Defaults> analyticsDefaults();

// A stored list of texts; empty when the key is missing or holds anything else.
QStringList suiteStringList(const ovlin::Defaults &suite, const QString &key);
// The same for a stored value.
QStringList stringListOf(const QVariant &value);

} // namespace analytics
