#include "common/figuretext.h"

#include <cmath>

namespace common {

QString figureText(double value, int decimals)
{
    if (!std::isfinite(value))
        return QStringLiteral("-");
    const QString text = QString::number(value, 'f', decimals);
    return text.toDouble() == 0.0 ? QString::number(0.0, 'f', decimals) : text;
}

} // namespace common
