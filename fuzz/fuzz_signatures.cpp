// Fuzz target: the bytes, read as UTF-8, are the voucher XML handed to the
// signature extraction. On the way, the strict decoder and the validator that
// names the first bad byte must agree on whether the bytes are UTF-8 at all.

#include "Utf8.h"
#include "Voucher.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray abData = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QString sStrict;
    if (lumbrik::decodeUtf8Strict(abData, sStrict) != (lumbrik::firstInvalidUtf8(abData) < 0))
        __builtin_trap();
    const QString sXml = QString::fromUtf8(abData);
    QString sSignCZ, sSignDw, ErrMsg;
    const bool bFound = lumbrik::GetXMLData(sXml, sSignCZ, sSignDw, ErrMsg);
    // True means a signature was found and nothing went wrong.
    if (bFound && ((sSignCZ + sSignDw).isEmpty() || !ErrMsg.isEmpty()))
        __builtin_trap();
    return 0;
}
