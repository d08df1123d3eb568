#pragma once

#include "DesignSystem/ShadowSpec.h"

namespace ovlin {

// Spacing, radius, size and shadow constants in logical pixels. Aliases are defined
// from their base token so they follow it.
struct LayoutTokens
{
    // Spacing scale
    static constexpr double spacingXXS = 2;
    static constexpr double spacingXS = 4;
    static constexpr double spacingSM = 8;
    static constexpr double spacingMD = 12;
    static constexpr double spacingLG = 16;
    static constexpr double spacingXL = 24;
    static constexpr double spacingXXL = 32;
    static constexpr double spacingXXXL = 48;

    // Stack spacings
    static constexpr double stackTight = 8;
    static constexpr double stackRegular = 16;
    static constexpr double stackLoose = 32;

    // Corner radii
    static constexpr double radiusSM = 6;
    static constexpr double radiusMD = 10;
    static constexpr double radiusLG = 14;
    static constexpr double radiusXL = 20;
    static constexpr double radiusButton = 14;
    static constexpr double radiusFull = 9999; // large but finite: draws as a capsule

    // Line spacing of multi-line text
    static constexpr double lineSpacingRegular = 4;
    static constexpr double lineSpacingTight = 2;

    // Menu-bar popover
    static constexpr double popoverWidth = 320;
    static constexpr double popoverMaxHeight = 480;
    static constexpr double popoverMinHeight = 120;
    static constexpr double popoverChipHeight = 26;

    // Floating banner panel
    static constexpr double bannerPanelWidth = 560;
    static constexpr double bannerPanelHeight = 170;
    static constexpr double bannerPanelTopMargin = 20;

    // Control heights
    static constexpr double controlHeightSmall = 36;
    static constexpr double controlHeightMedium = 44;
    static constexpr double controlHeightLarge = 52;

    // Icon tiles and small squares
    static constexpr double iconTileSmall = 36;
    static constexpr double iconTileMedium = 44;
    static constexpr double dayPillSize = 40;
    static constexpr double badgeIconSmall = 10;
    static constexpr double badgeIconMedium = 12;
    static constexpr double badgeIconLarge = 12;
    static constexpr double dialogIconSize = 56;
    static constexpr double emptyStateIconSize = 64;
    static constexpr double menuIconSize = 24;

    // Sheets, panels and fixed widths
    static constexpr double sheetWidth = 480;
    static constexpr double wideSheetWidth = 560;
    static constexpr double sheetMinHeight = 480;
    static constexpr double secondaryActionWidth = 112;
    static constexpr double primaryActionWidth = 160;
    static constexpr double dialogWidth = 448;
    static constexpr double sidebarWidth = 200;
    static constexpr double bannerMaxWidth = 560;
    static constexpr double editActionWidth = 96;
    static constexpr double deleteActionWidth = 112;
    static constexpr double addButtonWidth = 140;

    // Shadows
    static constexpr ShadowSpec shadowSmall{8, 0, 4};
    static constexpr ShadowSpec shadowMedium{12, 0, 8};
    static constexpr ShadowSpec shadowLarge{24, 0, 16};
    static constexpr ShadowSpec cardShadow = shadowSmall;
    static constexpr ShadowSpec buttonShadow = shadowMedium;
    static constexpr ShadowSpec overlayShadow = shadowLarge;
};

} // namespace ovlin
