#pragma once
// The words in which a verdict is shown to the operator, shared by the window
// and the command-line checker so that both say the same thing.

#include <QString>

namespace lumbrik {

inline constexpr char RESULT_CAPTION[] = "查验结果：";

// The verdict on the file sFile, named by its last path component, without the
// leading "查验结果：".
QString verdictText(bool bIntact, const QString &sFile);

} // namespace lumbrik
