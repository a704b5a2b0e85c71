// Fuzz target: the bytes are a voucher file, checked from memory by the same
// walk that checks a file, once for the verdict and once with the explanation's
// extra reading, which must not change the verdict or the outputs.

#include "SealCheck.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray abFile = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&abFile);
    buffer.open(QIODevice::ReadOnly);
    QString sSignCZ, sSignDw, ErrMsg;
    const lumbrik::SealReport report = lumbrik::checkVoucherDevice(buffer, sSignCZ, sSignDw, ErrMsg);
    // A failed check always carries the one failure text.
    if (report.fault != lumbrik::SealFault::None && ErrMsg != QString::fromUtf8(lumbrik::SEAL_ERROR_TEXT))
        __builtin_trap();

    buffer.seek(0);
    QString sCZ, sDw, sErr;
    const lumbrik::SealReport explained = lumbrik::checkVoucherDevice(buffer, sCZ, sDw, sErr, lumbrik::Detail::Explain);
    if (explained.fault != report.fault || explained.iOffset != report.iOffset || sCZ != sSignCZ || sDw != sSignDw
        || sErr != ErrMsg)
        __builtin_trap();
    return 0;
}
