#include "look_numbers.h"

#include <clocale>
#include <cstdlib>
#include <limits>
#if defined(__APPLE__)
#include <xlocale.h>
#else
#include <locale.h>
#endif

namespace {

locale_t cLocale()
{
    // Created once, never freed: the plug-in may be unloaded while a host
    // thread still runs, and the object is tiny.
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return loc;
}

} // namespace

namespace kalthorne {
namespace looks {

std::int64_t parseLookInt(const char* text)
{
    while (isPosixSpace(static_cast<unsigned char>(*text)))
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') {
        negative = *text == '-';
        ++text;
    }
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    std::int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        const int digit = *text - '0';
        if (value > (kMax - digit) / 10) {
            value = kMax; // saturate; the rest of the digits change nothing
            while (text[1] >= '0' && text[1] <= '9')
                ++text;
        } else {
            value = value * 10 + digit;
        }
    }
    return negative ? -value : value;
}

double parseLookFloat(const char* text)
{
    const locale_t loc = cLocale();
    if (loc == static_cast<locale_t>(0)) {
        // No "C" locale object (out of memory): numbers that matter in Look
        // files still parse, only the locale-independence is lost.
        return std::strtod(text, nullptr);
    }
    return strtod_l(text, nullptr, loc);
}

} // namespace looks
} // namespace kalthorne
