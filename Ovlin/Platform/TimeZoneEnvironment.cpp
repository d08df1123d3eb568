#include "Platform/TimeZoneEnvironment.h"

#include <QByteArray>
#include <QtGlobal>

#include <ctime>

namespace ovlin {

void pinSystemTimeZone()
{
    if (qEnvironmentVariableIsSet("TZ"))
        return;
    // Qt reads ":/etc/localtime" as "the system zone" and still finds its IANA name.
    qputenv("TZ", QByteArrayLiteral(":/etc/localtime"));
    tzset();
}

} // namespace ovlin
