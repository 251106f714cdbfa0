#pragma once

#include <string>

// printf-style number texts that never depend on the process locale (the app
// runs with the user's locale, where "%f" may print a decimal comma). Texts
// Korvel writes into files, file names and fields go through these.

// As "%*.*f": `precision` digits after the point, padded on the left with
// spaces to at least `width` characters.
std::string formatFixed(double value, int precision, int width = 0);

// As "%g".
std::string formatGeneral(double value);
