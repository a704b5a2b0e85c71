#include "VerdictText.h"

namespace lumbrik {

std::u16string verdictText(bool bIntact, const std::u16string &sName)
{
    return u"自应用本签名以来，“" + sName + (bIntact ? u"”没有被篡改。" : u"”已被篡改，请停止使用。");
}

} // namespace lumbrik
