// Text conversions of the engine: Windows-1251 case-insensitive ordering,
// the decimal readings of texts (integer and float, C decimal point) and the general
// float text. Pure functions, thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvel::table_text {

// Case-insensitive ordering of two Windows-1251 texts: lower-cased bytes,
// with Ё/ё sorted right after Е/е. <0, 0, >0.
int CompareNoCase(std::string_view a, std::string_view b);

// A decimal (or "$"/"0x" hexadecimal) 32-bit integer with optional leading
// blanks and sign; false when the text is not one or does not fit.
bool ParseInt32(std::string_view text, int32_t* out);
int32_t ParseInt32Or0(std::string_view text);
// A decimal number with the C decimal point (blanks around it allowed).
bool ParseDouble(std::string_view text, double* out);

// General format: up to 15 significant digits, scientific when the exponent
// is below -5 or at least 15 ("1E20", "1.5E-7"); "NAN", "INF", "-INF".
std::string FormatGeneral(double v);

}  // namespace korvel::table_text
