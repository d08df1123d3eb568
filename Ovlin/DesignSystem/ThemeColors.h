#pragma once

#include <QColor>
#include <QStringView>

namespace ovlin {

// Builds a colour from hex text: non-alphanumeric characters are trimmed from both ends, the rest is
// scanned as a hex number (optional 0x prefix); 8 characters are AARRGGBB, 6 are RRGGBB, 3 are RGB
// (each digit times 17); any other length gives opaque black. Never fails.
QColor colorFromHex(QStringView hex);

// The fixed light palette and its role names. Each token is built once, on first read.
struct ThemeColors
{
    // Palette
    static const QColor &green900();
    static const QColor &green400();
    static const QColor &green500();
    static const QColor &green300();
    static const QColor &green200();
    static const QColor &green100();
    static const QColor &amber500();
    static const QColor &neutral900();
    static const QColor &neutral700();
    static const QColor &neutral500();
    static const QColor &neutral400();
    static const QColor &neutral300();
    static const QColor &neutral200();
    static const QColor &neutral100();
    static const QColor &neutral50();
    static const QColor &red500();

    // Roles
    static const QColor &background();
    static const QColor &surfaceMuted();
    static const QColor &surface();
    static const QColor &surfaceSubtle();
    static const QColor &sidebarBackground();
    static const QColor &tabLabelInactive();
    static const QColor &tabIconInactive();
    static const QColor &textPrimary();
    static const QColor &textSecondary();
    static const QColor &textTertiary();
    static const QColor &textOnPrimary();
    static const QColor &textDisabled();
    static const QColor &border();
    static const QColor &borderSubtle();
    static const QColor &primary();
    static const QColor &primaryDark();
    static const QColor &accent();
    static const QColor &destructive();
    static const QColor &inputBackground();
    // neutral900 at opacity 0.05; every shadow uses it, multiplied by an opacity of its own.
    static const QColor &shadow();
};

} // namespace ovlin
