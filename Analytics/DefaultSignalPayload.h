#pragma once

#include "Analytics/Parameters.h"

#include <QString>

#include <functional>
#include <optional>

namespace analytics {

// The parameters every signal carries besides its own: application, device, run context, client,
// preferences, calendar and retention. Every value is text.
//
// The library does not link Qt Gui, so the facts only the GUI knows (screen, colour scheme, layout
// direction) come from a provider the host sets; without one they read "N/A". Accessibility
// settings cannot be read here, so their keys are left out.
class DefaultSignalPayload
{
public:
    struct ScreenFacts
    {
        double width = 0;  // logical pixels
        double height = 0; // logical pixels
        double scaleFactor = 1;
    };
    struct HostFacts
    {
        std::optional<ScreenFacts> screen;
        QString colorScheme = QStringLiteral("N/A");     // "Light", "Dark" or "N/A"
        QString layoutDirection = QStringLiteral("N/A"); // "leftToRight", "rightToLeft" or "N/A"
    };

    // Asked for the facts whenever a payload is built, on the thread that builds it, so it must be
    // safe to call from any thread at any time. An empty provider reads "N/A".
    using HostFactsProvider = std::function<HostFacts()>;
    static void setHostFactsProvider(HostFactsProvider provider);
    static HostFacts hostFacts();

    // Reads everything afresh. Creates the shared SessionManager on first use.
    static Parameters parameters();

    // "UTC", then "-" or "+", the hours, and ":mm" when the minutes are not zero: UTC+5:45.
    static QString timeZoneText(int offsetFromUtcSeconds);
    // The first three numbers of a kernel release text ("6.1.0-18-amd64" gives 6, 1, 0).
    struct Version
    {
        int major = 0;
        int minor = 0;
        int patch = 0;
    };
    static Version parseVersion(const QString &text);
    // The DMI product name, else the machine name from uname.
    static QString modelName();
};

} // namespace analytics
