#pragma once
// The words in which a verdict is shown to the operator, shared by the windows
// and the command-line checker so that all say the same thing.

#include <string>

namespace lumbrik {

inline constexpr char16_t RESULT_CAPTION[] = u"查验结果：";

// The verdict on the file named sName (the last component of its path),
// without the leading "查验结果：".
std::u16string verdictText(bool bIntact, const std::u16string &sName);

} // namespace lumbrik
