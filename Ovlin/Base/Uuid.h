#pragma once

#include <QString>
#include <QUuid>

#include <optional>

namespace ovlin {

// Identifiers are written upper case, 36 characters, without braces (keys, request identifiers).
QString uuidText(const QUuid &id);
// Parses the 36-character form (either case); anything else yields nothing.
std::optional<QUuid> parseUuid(const QString &text);

} // namespace ovlin
