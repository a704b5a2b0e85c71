// Fuzz target: the bytes are a voucher file, checked from memory by the same
// walk that checks a file.

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
    return 0;
}
