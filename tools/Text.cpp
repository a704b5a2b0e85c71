#include "Text.h"

#include "Utf8.h"

#include <cstdio>
#include <vector>

namespace lumbrik::checker {

std::string utf8(std::u16string_view s, LoneSurrogate lone)
{
    std::string sOut;
    sOut.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
        else if (c >= 0xD800 && c < 0xE000 && lone == LoneSurrogate::Replace)
            c = 0xFFFD;
        if (c < 0x80) {
            sOut += char(c);
        } else if (c < 0x800) {
            sOut += char(0xC0 | (c >> 6));
            sOut += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            sOut += char(0xE0 | (c >> 12));
            sOut += char(0x80 | ((c >> 6) & 0x3F));
            sOut += char(0x80 | (c & 0x3F));
        } else {
            sOut += char(0xF0 | (c >> 18));
            sOut += char(0x80 | ((c >> 12) & 0x3F));
            sOut += char(0x80 | ((c >> 6) & 0x3F));
            sOut += char(0x80 | (c & 0x3F));
        }
    }
    return sOut;
}

std::u16string utf16(std::string_view s)
{
    std::u16string sOut;
    decodeUtf8Strict(s, sOut);
    return sOut;
}

std::string format(std::string_view sPattern, std::initializer_list<std::string_view> args)
{
    const std::vector<std::string_view> values(args);
    std::string sOut;
    for (std::size_t i = 0; i < sPattern.size(); ++i) {
        const std::size_t iArg = i + 1 < sPattern.size() ? std::size_t(sPattern[i + 1] - '1') : values.size();
        if (sPattern[i] == '%' && iArg < values.size()) {
            sOut += values[iArg];
            ++i;
        } else {
            sOut += sPattern[i];
        }
    }
    return sOut;
}

std::string number(std::int64_t i)
{
    return std::to_string(i);
}

std::string fixed(double d, int iDecimals)
{
    // printf follows LC_NUMERIC, which the checker leaves at "C".
    char ab[64];
    std::snprintf(ab, sizeof ab, "%.*f", iDecimals, d);
    return ab;
}

} // namespace lumbrik::checker
