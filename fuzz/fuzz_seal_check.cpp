// Fuzz target: the bytes are a voucher file, checked from memory by the same
// walk that checks a file, once for the verdict and once with the explanation's
// extra reading, which must not change the verdict or the outputs.

#include "MemorySource.h"
#include "SealCheck.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view abFile(reinterpret_cast<const char *>(data), size);
    lumbrik::MemorySource memory(abFile);
    std::u16string sSignCZ, sSignDw, ErrMsg;
    const lumbrik::SealReport report = lumbrik::checkVoucherSource(memory, sSignCZ, sSignDw, ErrMsg);
    // A failed check always carries the one failure text.
    if (report.fault != lumbrik::SealFault::None && ErrMsg != lumbrik::SEAL_ERROR_TEXT)
        __builtin_trap();

    lumbrik::MemorySource again(abFile);
    std::u16string sCZ, sDw, sErr;
    const lumbrik::SealReport explained = lumbrik::checkVoucherSource(again, sCZ, sDw, sErr, lumbrik::Detail::Explain);
    if (explained.fault != report.fault || explained.iOffset != report.iOffset || sCZ != sSignCZ || sDw != sSignDw
        || sErr != ErrMsg)
        __builtin_trap();
    return 0;
}
