#pragma once

namespace ovlin {

// One shadow token in logical pixels: blur radius and offset. It carries no colour: the view that draws it
// chooses one (usually ThemeColors::shadow() times an opacity of its own).
struct ShadowSpec
{
    double radius = 0;
    double x = 0;
    double y = 0;

    friend constexpr bool operator==(const ShadowSpec &, const ShadowSpec &) = default;
};

} // namespace ovlin
