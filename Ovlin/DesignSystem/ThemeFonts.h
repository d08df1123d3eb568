#pragma once

#include <QFont>
#include <QStringList>

namespace ovlin {

// The Lexend font tokens. Sizes are pixel sizes (1 pt = 1 logical px). Each token is built once, on
// first read; the three faces are registered from the resources before the first token is built.
// Needs a QGuiApplication.
struct ThemeFonts
{
    static const QFont &display();
    static const QFont &title();
    static const QFont &heading();
    static const QFont &headline();
    static const QFont &body();
    static const QFont &bodyEmphasis();
    static const QFont &callout();
    static const QFont &label();
    static const QFont &subheadline();
    static const QFont &captionEmphasis();
    static const QFont &caption();
    static const QFont &statNumber();

    static const QFont &emptyStateTitle();
    static const QFont &dialogTitle();
    static const QFont &sheetTitle();
    static const QFont &optionTitle();
    static const QFont &cardTitle();
    static const QFont &tabIcon();

    enum class Face { regular, medium, semiBold };
    // Lexend in the given face at a pixel size, for the few places that need a size of their own.
    static QFont font(Face face, int pixelSize);
    // Registers the faces (idempotent) and returns the family names they registered under.
    static QStringList ensureLoaded();
    static QString familyName();
};

} // namespace ovlin
