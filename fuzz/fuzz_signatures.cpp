// Fuzz target: the bytes, read as UTF-8, are the voucher XML handed to the
// signature extraction.

#include "Voucher.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString sXml = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    QString sSignCZ, sSignDw, ErrMsg;
    const bool bFound = lumbrik::GetXMLData(sXml, sSignCZ, sSignDw, ErrMsg);
    // True means a signature was found and nothing went wrong.
    if (bFound && ((sSignCZ + sSignDw).isEmpty() || !ErrMsg.isEmpty()))
        __builtin_trap();
    return 0;
}
