#include "DesignSystem/ThemeFonts.h"

#include "Base/Log.h"
#include "DesignSystem/DesignResources.h"

#include <QFontDatabase>

namespace ovlin {

QStringList ThemeFonts::ensureLoaded()
{
    static const QStringList families = [] {
        initDesignResources();
        QStringList found;
        for (const char *file :
             {":/fonts/Lexend-Regular.ttf", ":/fonts/Lexend-Medium.ttf", ":/fonts/Lexend-SemiBold.ttf"}) {
            const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(file));
            if (id < 0) {
                // The platform's default font stands in for a missing face.
                qCWarning(lcUi) << "Could not load font" << file;
                continue;
            }
            for (const QString &family : QFontDatabase::applicationFontFamilies(id))
                if (!found.contains(family))
                    found << family;
        }
        return found;
    }();
    return families;
}

QString ThemeFonts::familyName()
{
    return QStringLiteral("Lexend");
}

QFont ThemeFonts::font(Face face, int pixelSize)
{
    ensureLoaded();
    QFont f(familyName());
    switch (face) {
    case Face::regular: f.setWeight(QFont::Normal); break;
    case Face::medium: f.setWeight(QFont::Medium); break;
    case Face::semiBold: f.setWeight(QFont::DemiBold); break;
    }
    f.setPixelSize(qMax(1, pixelSize));
    f.setStyleStrategy(QFont::PreferAntialias);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

#define OVLIN_FONT_TOKEN(name, face, size)                                                                             \
    const QFont &ThemeFonts::name()                                                                                    \
    {                                                                                                                  \
        static const QFont f = font(Face::face, size);                                                                 \
        return f;                                                                                                      \
    }
#define OVLIN_FONT_ROLE(name, base)                                                                                    \
    const QFont &ThemeFonts::name()                                                                                    \
    {                                                                                                                  \
        static const QFont f = base();                                                                                 \
        return f;                                                                                                      \
    }

OVLIN_FONT_TOKEN(display, medium, 28)
OVLIN_FONT_TOKEN(title, semiBold, 22)
OVLIN_FONT_TOKEN(heading, semiBold, 18)
OVLIN_FONT_TOKEN(headline, semiBold, 15)
OVLIN_FONT_TOKEN(body, regular, 14)
OVLIN_FONT_TOKEN(bodyEmphasis, medium, 14)
OVLIN_FONT_TOKEN(callout, regular, 13)
OVLIN_FONT_TOKEN(label, medium, 13)
OVLIN_FONT_TOKEN(subheadline, regular, 13)
OVLIN_FONT_TOKEN(captionEmphasis, medium, 11)
OVLIN_FONT_TOKEN(caption, regular, 11)
OVLIN_FONT_TOKEN(statNumber, medium, 26)

OVLIN_FONT_ROLE(emptyStateTitle, heading)
OVLIN_FONT_ROLE(dialogTitle, headline)
OVLIN_FONT_ROLE(sheetTitle, heading)
OVLIN_FONT_ROLE(optionTitle, headline)
OVLIN_FONT_ROLE(cardTitle, heading)
OVLIN_FONT_ROLE(tabIcon, callout)

#undef OVLIN_FONT_TOKEN
#undef OVLIN_FONT_ROLE

} // namespace ovlin
