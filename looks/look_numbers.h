// Number conversion for Look-file values: the C library's atoi/atof rules
// (leading white space, sign, digits, stop at the first character that does
// not fit, no number reads as 0), but independent of the process locale and
// without overflow.
#pragma once

#include <cstdint>

namespace kalthorne {
namespace looks {

// White space of the POSIX locale, whatever locale the host process runs in.
inline bool isPosixSpace(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The integer at the start of `text`, saturated to the 64-bit range, so a
// huge value can never wrap into an accepted range.
std::int64_t parseLookInt(const char* text);

// The decimal number at the start of `text`, read in the "C" locale whatever
// locale the host has set. May return an infinity or a NaN; callers treat
// them as out of range.
double parseLookFloat(const char* text);

} // namespace looks
} // namespace kalthorne
