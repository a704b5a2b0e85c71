#include "WindowText.h"

#include <algorithm>

namespace lumbrik {

std::u16string withLineBreaks(std::u16string_view s, std::u16string_view sBreak)
{
    std::u16string sOut;
    sOut.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == u'\r' || s[i] == u'\n') {
            if (s[i] == u'\r' && i + 1 < s.size() && s[i + 1] == u'\n')
                ++i;
            sOut += sBreak;
        } else {
            sOut += s[i];
        }
    }
    return sOut;
}

int legalPaneWidth(int iWanted, int iAvailable, int iMinSize)
{
    if (iWanted <= iMinSize)
        return 0;
    return std::max(iMinSize, std::min(iWanted, iAvailable - iMinSize));
}

} // namespace lumbrik
