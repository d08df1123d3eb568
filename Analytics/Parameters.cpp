#include "Analytics/Parameters.h"

#include <QLocale>

#include <cmath>

namespace analytics {

Parameters mergeParameters(const Parameters &overriding, const Parameters &base)
{
    Parameters result = base;
    for (auto it = overriding.cbegin(); it != overriding.cend(); ++it)
        result.insert(it.key(), it.value());
    return result;
}

QString decimalText(double value)
{
    if (std::isnan(value))
        return QStringLiteral("nan");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-inf") : QStringLiteral("inf");
    QString text = QString::number(value, 'g', QLocale::FloatingPointShortest);
    if (!text.contains(QLatin1Char('.')) && !text.contains(QLatin1Char('e')))
        text += QStringLiteral(".0");
    return text;
}

} // namespace analytics
