#include "Utf8.h"

#include <QStringDecoder>

namespace lumbrik {

bool decodeUtf8Strict(const QByteArray &abData, QString &sText)
{
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString sDecoded = decoder.decode(abData);
    if (decoder.hasError())
        return false;
    sText = std::move(sDecoded);
    return true;
}

qsizetype firstInvalidUtf8(QByteArrayView abData)
{
    const auto *p = reinterpret_cast<const uchar *>(abData.data());
    const qsizetype n = abData.size();
    for (qsizetype i = 0; i < n;) {
        const uchar b = p[i];
        int iLen = 0;
        uchar lo = 0x80, hi = 0xBF; // the bounds of the second byte
        if (b < 0x80) {
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            iLen = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            iLen = 3;
            if (b == 0xE0)
                lo = 0xA0; // no overlong forms
            else if (b == 0xED)
                hi = 0x9F; // no surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            iLen = 4;
            if (b == 0xF0)
                lo = 0x90;
            else if (b == 0xF4)
                hi = 0x8F; // nothing above U+10FFFF
        } else {
            return i;
        }
        if (i + iLen > n)
            return i;
        if (p[i + 1] < lo || p[i + 1] > hi)
            return i;
        for (int k = 2; k < iLen; ++k) {
            if (p[i + k] < 0x80 || p[i + k] > 0xBF)
                return i;
        }
        i += iLen;
    }
    return -1;
}

} // namespace lumbrik
