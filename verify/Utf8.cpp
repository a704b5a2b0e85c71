#include "Utf8.h"

namespace lumbrik {
namespace {

// Walks abData as UTF-8, writing its UTF-16 code units to pText when given
// (room for one unit per byte is enough) and their count to *pUnits; the index
// of the first ill-formed byte, or -1.
std::ptrdiff_t walkUtf8(std::string_view abData, char16_t *pText, std::size_t *pUnits = nullptr)
{
    std::size_t iUnits = 0;
    const auto *p = reinterpret_cast<const unsigned char *>(abData.data());
    const std::ptrdiff_t n = std::ptrdiff_t(abData.size());
    for (std::ptrdiff_t i = 0; i < n;) {
        const unsigned char b = p[i];
        int iLen = 0;
        unsigned char lo = 0x80, hi = 0xBF; // the bounds of the second byte
        char32_t c = 0;
        if (b < 0x80) {
            if (pText)
                pText[iUnits] = char16_t(b);
            ++iUnits;
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            iLen = 2;
            c = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            iLen = 3;
            c = b & 0x0F;
            if (b == 0xE0)
                lo = 0xA0; // no overlong forms
            else if (b == 0xED)
                hi = 0x9F; // no surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            iLen = 4;
            c = b & 0x07;
            if (b == 0xF0)
                lo = 0x90;
            else if (b == 0xF4)
                hi = 0x8F; // nothing above U+10FFFF
        } else {
            return i;
        }
        if (i + iLen > n || p[i + 1] < lo || p[i + 1] > hi)
            return i;
        for (int k = 1; k < iLen; ++k) {
            if (p[i + k] < 0x80 || p[i + k] > 0xBF)
                return i;
            c = c << 6 | (p[i + k] & 0x3F);
        }
        if (c >= 0x10000) {
            if (pText) {
                pText[iUnits] = char16_t(0xD800 + ((c - 0x10000) >> 10));
                pText[iUnits + 1] = char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
            }
            iUnits += 2;
        } else {
            if (pText)
                pText[iUnits] = char16_t(c);
            ++iUnits;
        }
        i += iLen;
    }
    if (pUnits)
        *pUnits = iUnits;
    return -1;
}

} // namespace

bool decodeUtf8Strict(std::string_view abData, std::u16string &sText)
{
    std::u16string sDecoded(abData.size(), u'\0');
    std::size_t iUnits = 0;
    if (walkUtf8(abData, sDecoded.data(), &iUnits) >= 0)
        return false;
    sDecoded.resize(iUnits);
    sText = std::move(sDecoded);
    return true;
}

std::ptrdiff_t firstInvalidUtf8(std::string_view abData)
{
    return walkUtf8(abData, nullptr);
}

} // namespace lumbrik
