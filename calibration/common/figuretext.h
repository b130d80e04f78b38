#pragma once

#include <QString>

namespace common {

// A figure as the pages show it: fixed decimals, "-" for a value that is not finite, and no
// minus sign on a value that rounds to zero ("-0.0000" reads as a change where there is none).
QString figureText(double value, int decimals = 4);

} // namespace common
