#pragma once
// What a window does with a voucher file. It reads the file once, whole, and
// both shows and checks those bytes: the verdict on screen always concerns the
// picture on screen, even when the file was replaced meanwhile. A file that
// cannot be read is said to be so, never called altered.

#include "FileBytes.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace lumbrik {

// The most a window reads into memory; a larger file is for lumbrik-check.
inline constexpr std::int64_t MAX_WINDOW_FILE_BYTES = std::int64_t(1) << 30;

// Reads the voucher at sPath whole, for showing and checking.
FileBytes readVoucher(const std::u16string &sPath);

// Checks the voucher's bytes as CheckNonTaxVoucher checks a file, outputs included.
bool checkVoucherBytes(std::string_view abFile, std::u16string &sSignCZ, std::u16string &sSignDw, std::u16string &ErrMsg);

// Why a file could not be read, in the words of the window's boxes.
std::u16string unreadableReason(ReadError error);
// The box's text when a file chosen to be opened could not be read.
std::u16string openFailureText(ReadError error);
// The box's text when a file could not be read for checking.
std::u16string checkFailureText(ReadError error);

} // namespace lumbrik
