#include "VoucherFile.h"

#include "MemorySource.h"
#include "SealCheck.h"
#include "WindowText.h"

namespace lumbrik {

FileBytes readVoucher(const std::u16string &sPath)
{
    return readWholeFile(sPath, MAX_WINDOW_FILE_BYTES);
}

bool checkVoucherBytes(std::string_view abFile, std::u16string &sSignCZ, std::u16string &sSignDw, std::u16string &ErrMsg)
{
    MemorySource fs(abFile);
    return checkVoucherSource(fs, sSignCZ, sSignDw, ErrMsg).fault == SealFault::None;
}

std::u16string unreadableReason(ReadError error)
{
    switch (error) {
    case ReadError::None:
        break;
    case ReadError::Missing:
        return MISSING_REASON;
    case ReadError::NotAFile:
        return NOT_A_FILE_REASON;
    case ReadError::Denied:
        return DENIED_REASON;
    case ReadError::InUse:
        return IN_USE_REASON;
    case ReadError::TooLarge:
        return TOO_LARGE_REASON;
    case ReadError::Failed:
        return READ_FAILED_REASON;
    }
    return std::u16string();
}

std::u16string openFailureText(ReadError error)
{
    return NO_PICTURE_PREFIX + unreadableReason(error) + u"。";
}

std::u16string checkFailureText(ReadError error)
{
    // Gone since it was opened: the box that says so already.
    if (error == ReadError::Missing)
        return FILE_GONE_TEXT;
    return unreadableReason(error) + u"，无法校验！";
}

} // namespace lumbrik
