#include "VoucherWriter.h"

#include <QDir>
#include <QFile>

namespace lumbrik::testing {
namespace {

QByteArray qt(const std::string &ab)
{
    return QByteArray::fromStdString(ab);
}

std::optional<std::u16string> optional(const QString &s)
{
    return s.isNull() ? std::nullopt : std::optional<std::u16string>(s.toStdU16String());
}

} // namespace

QByteArray pngSignature() { return qt(fixtures::pngSignature()); }
QByteArray bigEndian(quint32 iValue) { return qt(fixtures::bigEndian(iValue)); }
QByteArray chunkHeader(const char *sType, quint32 iLen) { return qt(fixtures::chunkHeader(sType, iLen)); }
QByteArray ihdr(int iWidth, int iHeight) { return qt(fixtures::ihdr(iWidth, iHeight)); }
QByteArray voucher(const QByteArray &abPayload) { return qt(fixtures::voucher(abPayload.toStdString())); }
QByteArray goodVoucher() { return qt(fixtures::goodVoucher()); }

QByteArray otherVoucher(const QString &sSeal)
{
    return qt(sSeal.isNull() ? fixtures::otherVoucher() : fixtures::otherVoucher(sSeal.toStdU16String()));
}

QByteArray chunk(const char *sType, const QByteArray &abData, Crc crc)
{
    return qt(fixtures::chunk(sType, abData.toStdString(), crc));
}

QByteArray payload(const QString &sSeal, const QString &sXml)
{
    return qt(fixtures::payload(sSeal.toStdU16String(), sXml.toStdU16String()));
}

QString voucherXml(const QString &sFinance, const QString &sIssuer)
{
    return QString::fromStdU16String(fixtures::voucherXml(optional(sFinance), optional(sIssuer)));
}

QString writeFixture(const QString &sDir, const QString &sName, const QByteArray &ab)
{
    QFile f(QDir(sDir).filePath(sName));
    if (!f.open(QIODevice::WriteOnly) || f.write(ab) != ab.size())
        qFatal("cannot write the fixture %s", qPrintable(f.fileName()));
    return f.fileName();
}

} // namespace lumbrik::testing
