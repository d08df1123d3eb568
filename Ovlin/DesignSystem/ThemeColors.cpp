#include "DesignSystem/ThemeColors.h"

#include <QString>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <limits>

namespace ovlin {

namespace {

// Letters, marks and numbers of any script count as alphanumeric.
bool isAlphanumeric(char32_t ucs)
{
    switch (QChar::category(ucs)) {
    case QChar::Letter_Uppercase:
    case QChar::Letter_Lowercase:
    case QChar::Letter_Titlecase:
    case QChar::Letter_Modifier:
    case QChar::Letter_Other:
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
    case QChar::Number_DecimalDigit:
    case QChar::Number_Letter:
    case QChar::Number_Other: return true;
    default: return false;
    }
}

QString trimNonAlphanumeric(QStringView text)
{
    const QList<uint> ucs4 = text.toUcs4();
    qsizetype first = 0;
    qsizetype last = ucs4.size();
    while (first < last && !isAlphanumeric(char32_t(ucs4[first])))
        ++first;
    while (last > first && !isAlphanumeric(char32_t(ucs4[last - 1])))
        --last;
    const QList<uint> kept = ucs4.mid(first, last - first);
    return QString::fromUcs4(reinterpret_cast<const char32_t *>(kept.constData()), kept.size());
}

int hexDigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// Scans an unsigned 64-bit hex number from the start, accepting a 0x/0X prefix; stops at the first
// non-hex character. Overflow saturates rather than wrapping.
quint64 scanHex(const QString &text)
{
    qsizetype i = 0;
    if (text.size() >= 3 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X') && hexDigitValue(text[2]) >= 0)
        i = 2;
    quint64 value = 0;
    for (; i < text.size(); ++i) {
        const int digit = hexDigitValue(text[i]);
        if (digit < 0)
            break;
        if (value > (std::numeric_limits<quint64>::max() >> 4))
            value = std::numeric_limits<quint64>::max();
        else
            value = (value << 4) | quint64(digit);
    }
    return value;
}

int graphemeCount(const QString &text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (finder.toNextBoundary() > 0)
        ++count;
    return count;
}

int channel(quint64 v)
{
    return int(std::min<quint64>(v, 255));
}

} // namespace

QColor colorFromHex(QStringView hex)
{
    const QString trimmed = trimNonAlphanumeric(hex);
    const quint64 v = scanHex(trimmed);
    int a = 255, r = 0, g = 0, b = 0;
    switch (graphemeCount(trimmed)) {
    case 8:
        a = channel(v >> 24);
        r = channel((v >> 16) & 255);
        g = channel((v >> 8) & 255);
        b = channel(v & 255);
        break;
    case 6:
        r = channel(v >> 16);
        g = channel((v >> 8) & 255);
        b = channel(v & 255);
        break;
    case 3:
        r = channel((v >> 8) * 17);
        g = channel(((v >> 4) & 15) * 17);
        b = channel((v & 15) * 17);
        break;
    default: break;
    }
    return QColor::fromRgb(r, g, b, a);
}

#define OVLIN_HEX_TOKEN(name, hex)                                                                                     \
    const QColor &ThemeColors::name()                                                                                  \
    {                                                                                                                  \
        static const QColor c = colorFromHex(u"" hex);                                                                 \
        return c;                                                                                                      \
    }
#define OVLIN_ROLE_TOKEN(name, expr)                                                                                   \
    const QColor &ThemeColors::name()                                                                                  \
    {                                                                                                                  \
        static const QColor c = expr;                                                                                  \
        return c;                                                                                                      \
    }

OVLIN_HEX_TOKEN(green900, "0F2B12")
OVLIN_HEX_TOKEN(green400, "9AEE70")
OVLIN_HEX_TOKEN(green500, "6DC94D")
OVLIN_HEX_TOKEN(green300, "B8F5A0")
OVLIN_HEX_TOKEN(green200, "D6FAC8")
OVLIN_HEX_TOKEN(green100, "EDFDE6")
OVLIN_HEX_TOKEN(amber500, "E9B44C")
OVLIN_HEX_TOKEN(neutral900, "1C1C1A")
OVLIN_HEX_TOKEN(neutral700, "3D3D38")
OVLIN_HEX_TOKEN(neutral500, "8B8680")
OVLIN_HEX_TOKEN(neutral400, "A8A39C")
OVLIN_HEX_TOKEN(neutral300, "C7C2BA")
OVLIN_HEX_TOKEN(neutral200, "E8E5E0")
OVLIN_HEX_TOKEN(neutral100, "F4F3F0")
OVLIN_HEX_TOKEN(neutral50, "FAFAF7")
OVLIN_HEX_TOKEN(red500, "C4563D")

OVLIN_ROLE_TOKEN(background, neutral100())
OVLIN_ROLE_TOKEN(surfaceMuted, neutral100())
OVLIN_ROLE_TOKEN(surface, QColor(Qt::white))
OVLIN_ROLE_TOKEN(surfaceSubtle, neutral50())
OVLIN_ROLE_TOKEN(sidebarBackground, QColor(Qt::white))
OVLIN_ROLE_TOKEN(tabLabelInactive, neutral700())
OVLIN_ROLE_TOKEN(tabIconInactive, neutral400())
OVLIN_ROLE_TOKEN(textPrimary, green900())
OVLIN_ROLE_TOKEN(textSecondary, neutral500())
OVLIN_ROLE_TOKEN(textTertiary, neutral400())
OVLIN_ROLE_TOKEN(textOnPrimary, green900())
OVLIN_ROLE_TOKEN(textDisabled, textTertiary())
OVLIN_ROLE_TOKEN(border, neutral200())
OVLIN_ROLE_TOKEN(borderSubtle, neutral100())
OVLIN_ROLE_TOKEN(primary, green400())
OVLIN_ROLE_TOKEN(primaryDark, green900())
OVLIN_ROLE_TOKEN(accent, amber500())
OVLIN_ROLE_TOKEN(destructive, red500())
OVLIN_ROLE_TOKEN(inputBackground, neutral50())

const QColor &ThemeColors::shadow()
{
    static const QColor c = [] {
        QColor s = neutral900();
        s.setAlphaF(0.05f);
        return s;
    }();
    return c;
}

#undef OVLIN_HEX_TOKEN
#undef OVLIN_ROLE_TOKEN

} // namespace ovlin
