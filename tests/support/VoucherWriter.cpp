#include "VoucherWriter.h"

#include <QDir>
#include <QFile>

#include <array>

namespace lumbrik::testing {

const QByteArray IMAGE_DATA = QByteArray::fromHex("78da63f8cfc0c000c64000a4181a1a1a408cffff0185a00b77");

QByteArray pngSignature()
{
    return QByteArray("\x89PNG\r\n\x1a\n", 8);
}

quint32 crc32(const QByteArray &abTypeAndData)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    quint32 c = 0xFFFFFFFFu;
    for (const char b : abTypeAndData)
        c = table[(c ^ uchar(b)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

QByteArray bigEndian(quint32 iValue)
{
    const char ab[4] = {char(iValue >> 24), char(iValue >> 16), char(iValue >> 8), char(iValue)};
    return QByteArray(ab, 4);
}

QByteArray chunkHeader(const char *sType, quint32 iLen)
{
    return bigEndian(iLen) + QByteArray(sType, 4);
}

QByteArray chunk(const char *sType, const QByteArray &abData, Crc crc)
{
    const QByteArray abTypeAndData = QByteArray(sType, 4) + abData;
    const quint32 iCrc = crc32(abTypeAndData) ^ (crc == Crc::Wrong ? 1u : 0u);
    return bigEndian(quint32(abData.size())) + abTypeAndData + bigEndian(iCrc);
}

QByteArray ihdr(int iWidth, int iHeight)
{
    // 8-bit RGB, deflate, adaptive filtering, no interlace.
    return chunk("IHDR", bigEndian(quint32(iWidth)) + bigEndian(quint32(iHeight)) + QByteArray("\x08\x02\x00\x00\x00", 5));
}

QByteArray payload(const QString &sSeal, const QString &sXml)
{
    return (QStringLiteral("{\"sign\":\"") + sSeal + QStringLiteral("\",\"data\":\"") + sXml + QStringLiteral("\"}")).toUtf8();
}

QString voucherXml(const QString &sFinance, const QString &sIssuer)
{
    QString sXml = QStringLiteral("<EInvoice><Header><BillNo>0001</BillNo></Header><EInvoiceSignature>");
    if (!sIssuer.isNull())
        sXml += QStringLiteral("<Signature id=\"InvoicingParty\"><SignatureValue>%1</SignatureValue></Signature>").arg(sIssuer);
    if (!sFinance.isNull())
        sXml += QStringLiteral("<Signature id=\"SupervisorParty\"><SignatureValue>%1</SignatureValue></Signature>").arg(sFinance);
    return sXml + QStringLiteral("</EInvoiceSignature></EInvoice>");
}

QString writeFixture(const QString &sDir, const QString &sName, const QByteArray &ab)
{
    QFile f(QDir(sDir).filePath(sName));
    if (!f.open(QIODevice::WriteOnly) || f.write(ab) != ab.size())
        qFatal("cannot write the fixture %s", qPrintable(f.fileName()));
    return f.fileName();
}

QByteArray voucher(const QByteArray &abPayload)
{
    return pngSignature() + ihdr() + chunk("IDAT", IMAGE_DATA) + chunk("IEND", abPayload);
}

QByteArray goodVoucher()
{
    return voucher(payload(QLatin1String(IMAGE_SEAL), voucherXml(QStringLiteral("CZ-SIG"), QStringLiteral("DW-SIG"))));
}

} // namespace lumbrik::testing
