#pragma once

namespace ovlin {

// Whether a banner can be shown inside the main window right now. MainWindowActivity is the real one;
// the presentation loop only sees this interface, so it runs headless in tests.
class AppActivity
{
public:
    virtual ~AppActivity() = default;

    // True only while the app is active and its main window is visible and not minimised.
    virtual bool isActiveWithVisibleWindow() const = 0;
};

} // namespace ovlin
