// Fuzz target: the bytes, read as UTF-8, are the voucher XML handed to the
// signature extraction. On the way, the strict decoder and the validator that
// names the first bad byte must agree on whether the bytes are UTF-8 at all.
// Bytes that are not UTF-8 are taken as Latin-1, so every input reaches the XML.

#include "Utf8.h"
#include "Voucher.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view abData(reinterpret_cast<const char *>(data), size);
    std::u16string sXml;
    if (lumbrik::decodeUtf8Strict(abData, sXml) != (lumbrik::firstInvalidUtf8(abData) < 0))
        __builtin_trap();
    if (lumbrik::firstInvalidUtf8(abData) >= 0)
        sXml.assign(data, data + size);
    std::u16string sSignCZ, sSignDw, ErrMsg;
    const bool bFound = lumbrik::GetXMLData(sXml, sSignCZ, sSignDw, ErrMsg);
    // True means a signature was found and nothing went wrong.
    if (bFound && ((sSignCZ + sSignDw).empty() || !ErrMsg.empty()))
        __builtin_trap();
    return 0;
}
