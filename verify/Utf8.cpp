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

} // namespace lumbrik
