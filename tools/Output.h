#pragma once
// What the checker prints for one file or folder: its line of text or JSON.

#include "CheckerPlatform.h"
#include "Explanation.h"
#include "SealCheck.h"

#include <cstdint>
#include <string>

namespace lumbrik::checker {

// What became of one file or folder, in the order of severity of the exit status.
enum class Status {
    Intact,      // the seal holds
    Altered,     // the seal does not match, or the voucher's structure is damaged
    NotAVoucher, // not a PNG file, or a PNG without a sealed payload
    Unreadable,  // missing, no permission, not a regular file, a folder that cannot be listed
};

struct Outcome {
    std::string abPath;
    bool bFolder = false;     // a folder that could not be listed
    std::string sUnreadable;  // why the file or folder could not be read
    std::int64_t iSize = 0;   // the file's size, for the explanation
    std::string sSignCZ, sSignDw, ErrMsg;
    SealReport report;
};

Status statusOf(const Outcome &o);

// A path as a person can recognise it: valid UTF-8 as it is, any other byte
// as "\xB7", a backslash that is no separator as "\\"; with bOneLine also tabs
// and line breaks escaped.
std::string printableName(const std::string &abPath, bool bOneLine);

// The reason a file or folder could not be read, in the verdicts' language.
std::string unreadableReason(const Failure &failure);

// The outcome's line of text (and, with bExplain, its explanation line) or JSON object.
std::string textLines(const Outcome &o, bool bExplain);
std::string jsonLine(const Outcome &o, bool bExplain);

} // namespace lumbrik::checker
