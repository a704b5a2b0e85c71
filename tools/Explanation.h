#pragma once
// Why a check ended as it did, in plain words with byte offsets.

#include "SealCheck.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lumbrik::checker {

struct Explanation {
    std::string sCause;             // a short code: "not_png", "seal_mismatch", ... or "intact"
    std::string sText;              // the reason in words
    std::vector<std::string> notes; // for an intact voucher: what is still worth knowing
};

// Explains report, the check of a file of iSize bytes whose extraction left
// ErrMsg; sUnreadable says why a file that could not be opened could not.
Explanation explain(const SealReport &report, const std::string &ErrMsg, const std::string &sUnreadable, std::int64_t iSize);

} // namespace lumbrik::checker
