#pragma once

#include <QAccessible>
#include <QString>

namespace ovlin {

// A widget that has an accessibility value besides its name (a day selector's chosen days, a ring's
// percent). Qt widgets have no value of their own, so an accessibility factory asks the widget for it.
class AccessibleValueSource
{
public:
    virtual ~AccessibleValueSource() = default;
    virtual QString accessibleValueText() const = 0;
    virtual QAccessible::Role accessibleValueRole() const { return QAccessible::StaticText; }
};

// Installs the factory that exposes AccessibleValueSource widgets (once; safe to call again).
void installAccessibleValueFactory();

} // namespace ovlin
