#pragma once
// Test-only: writes voucher files byte by byte, so that every fixture can carry
// exactly the defect it is named after.

#include <QByteArray>
#include <QString>

namespace lumbrik::testing {

// A small RGB picture's compressed image data, 25 bytes, and its seal, both
// worked out by hand with an independent MD5 tool.
extern const QByteArray IMAGE_DATA;
inline constexpr char IMAGE_SEAL[] = "9d16851f36c9dc5a092f470e4ca1c2e9";
inline constexpr int IMAGE_WIDTH = 4;
inline constexpr int IMAGE_HEIGHT = 2;
// The seal of empty image data: md5hex(md5hex("") + salt).
inline constexpr char EMPTY_SEAL[] = "f72884f1a37edef119c082ba4e287e4a";

enum class Crc { Right, Wrong };

QByteArray pngSignature();
quint32 crc32(const QByteArray &abTypeAndData);
QByteArray bigEndian(quint32 iValue);
QByteArray chunk(const char *sType, const QByteArray &abData, Crc crc = Crc::Right);
// A chunk whose length field says iLen whatever data follows (none by default).
QByteArray chunkHeader(const char *sType, quint32 iLen);
QByteArray ihdr(int iWidth = IMAGE_WIDTH, int iHeight = IMAGE_HEIGHT);

// {"sign":"<sSeal>","data":"<sXml>"} in UTF-8.
QByteArray payload(const QString &sSeal, const QString &sXml);
// Voucher XML holding the two signatures; a null value leaves its Signature out.
QString voucherXml(const QString &sFinance, const QString &sIssuer);

// Writes ab to the file sName in sDir and returns its path; a fixture that
// cannot be written ends the test run.
QString writeFixture(const QString &sDir, const QString &sName, const QByteArray &ab);

// signature, IHDR, one IDAT of IMAGE_DATA, IEND with abPayload.
QByteArray voucher(const QByteArray &abPayload);
// The same with a payload sealing IMAGE_DATA and signatures "CZ-SIG" and "DW-SIG".
QByteArray goodVoucher();

} // namespace lumbrik::testing
