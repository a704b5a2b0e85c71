#pragma once
// Test-only: the voucher writer of the portable suite, in Qt's types, for the
// window's and the checker's tests.

#include "Fixtures.h"

#include <QByteArray>
#include <QString>

namespace lumbrik::testing {

using fixtures::Crc;
using fixtures::EMPTY_SEAL;
using fixtures::IMAGE_HEIGHT;
using fixtures::IMAGE_SEAL;
using fixtures::IMAGE_WIDTH;
using fixtures::OTHER_IMAGE_SIZE;

inline const QByteArray IMAGE_DATA = QByteArray::fromStdString(fixtures::IMAGE_DATA);

QByteArray pngSignature();
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
// A voucher of the second, 2 x 2 picture; sealed, or with the seal sSeal.
QByteArray otherVoucher(const QString &sSeal = QString());

} // namespace lumbrik::testing
