// The seal check: verdicts, outputs and failure text, for files and devices.

#include "SealCheck.h"
#include "Voucher.h"
#include "support/VoucherWriter.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace lumbrik;
using namespace lumbrik::testing;

namespace {

const QString FAILED = QString::fromUtf8(SEAL_ERROR_TEXT);
const QString CZ = QStringLiteral("CZ-SIG");
const QString DW = QStringLiteral("DW-SIG");

QString seal() { return QLatin1String(IMAGE_SEAL); }
QByteArray goodPayload() { return payload(seal(), voucherXml(CZ, DW)); }
QByteArray head() { return pngSignature() + ihdr(); }

} // namespace

class TestSealCheck : public QObject
{
    Q_OBJECT

private slots:
    void verdict_data();
    void verdict();
    void missingFile();
    void directory();
};

void TestSealCheck::verdict_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("intact");
    QTest::addColumn<SealFault>("fault");
    QTest::addColumn<QString>("signCZ");
    QTest::addColumn<QString>("signDw");
    QTest::addColumn<bool>("extractionError"); // only looked at when intact

    const QByteArray idat = chunk("IDAT", IMAGE_DATA);
    const QByteArray good = goodVoucher();
    const QString otherXml = voucherXml(QStringLiteral("CZ-2"), QStringLiteral("DW-2"));
    // The seal of IMAGE_DATA with bit 0 of byte 5 flipped, worked out by hand.
    const QString flippedSeal = QStringLiteral("00392bf85ddce9cd5e7fc32151fbdc53");

    // Intact vouchers, and changes the seal does not cover.
    QTest::newRow("good") << good << true << SealFault::None << CZ << DW << false;
    QTest::newRow("image data split over two IDAT chunks")
        << head() + chunk("IDAT", IMAGE_DATA.left(10)) + chunk("IDAT", IMAGE_DATA.mid(10)) + chunk("IEND", goodPayload())
        << true << SealFault::None << CZ << DW << false;
    QTest::newRow("no IDAT, seal of empty image data")
        << head() + chunk("IEND", payload(QLatin1String(EMPTY_SEAL), voucherXml(CZ, DW)))
        << true << SealFault::None << CZ << DW << false;
    QTest::newRow("wrong CRC on every chunk")
        << pngSignature() + chunk("IHDR", ihdr().mid(8, 13), Crc::Wrong) + chunk("IDAT", IMAGE_DATA, Crc::Wrong)
               + chunk("IEND", goodPayload(), Crc::Wrong)
        << true << SealFault::None << CZ << DW << false;
    QTest::newRow("text chunk added")
        << head() + chunk("tEXt", "Comment\0edited"_qba) + idat + chunk("IEND", goodPayload())
        << true << SealFault::None << CZ << DW << false;
    QTest::newRow("IHDR changed")
        << pngSignature() + ihdr(400, 300) + idat + chunk("IEND", goodPayload())
        << true << SealFault::None << CZ << DW << false;
    QTest::newRow("XML changed") << voucher(payload(seal(), otherXml))
        << true << SealFault::None << QStringLiteral("CZ-2") << QStringLiteral("DW-2") << false;
    QTest::newRow("XML damaged") << voucher(payload(seal(), QStringLiteral("<EInvoice><EInvoiceSignature>")))
        << true << SealFault::None << QString() << QString() << true;
    QTest::newRow("only the issuer signature") << voucher(payload(seal(), voucherXml(QString(), DW)))
        << true << SealFault::None << QString() << DW << false;
    QTest::newRow("zero byte in the XML") << voucher(payload(seal(), QStringLiteral("<a>\0</a>")))
        << true << SealFault::None << QString() << QString() << true;
    QTest::newRow("IDAT after IEND is image data")
        << head() + chunk("IDAT", IMAGE_DATA.left(7)) + chunk("IEND", goodPayload()) + chunk("IDAT", IMAGE_DATA.mid(7))
        << true << SealFault::None << CZ << DW << false;
    QTest::newRow("second IEND replaces a wrong first")
        << head() + idat + chunk("IEND", payload(flippedSeal, otherXml)) + chunk("IEND", goodPayload())
        << true << SealFault::None << CZ << DW << false;
    QTest::newRow("trailing chunk of another type runs past the end")
        << good + chunkHeader("tEXt", 1000) + "abc"_qba << true << SealFault::None << CZ << DW << false;
    QTest::newRow("IEND without its CRC") << good.chopped(4) << true << SealFault::None << CZ << DW << false;
    QTest::newRow("four-byte character before the seal counts as two")
        << voucher((QString::fromUtf8("{\"si\U0001F600\":\"") + seal() + QStringLiteral("\",\"data\":\"")
                    + voucherXml(CZ, DW) + QStringLiteral("\"}")).toUtf8())
        << true << SealFault::None << CZ << DW << false;

    // Failures, one row per cause.
    QTest::newRow("empty file") << QByteArray() << false << SealFault::NotPng << QString() << QString() << false;
    QTest::newRow("shorter than the signature") << pngSignature().left(5)
        << false << SealFault::NotPng << QString() << QString() << false;
    QTest::newRow("not a PNG signature") << "GIF89a\r\n"_qba + good.mid(8)
        << false << SealFault::NotPng << QString() << QString() << false;
    QTest::newRow("ordinary PNG: empty IEND") << head() + idat + chunk("IEND", {})
        << false << SealFault::EmptyPayload << QString() << QString() << false;
    QTest::newRow("empty IEND after a payload") << good + chunk("IEND", {})
        << false << SealFault::EmptyPayload << CZ << DW << false;
    QTest::newRow("no IEND") << head() + idat << false << SealFault::NoPayload << QString() << QString() << false;
    QTest::newRow("signature only") << pngSignature() << false << SealFault::NoPayload << QString() << QString() << false;
    QTest::newRow("seal in upper case") << voucher(payload(seal().toUpper(), voucherXml(CZ, DW)))
        << false << SealFault::SealMismatch << CZ << DW << false;
    QTest::newRow("one IDAT byte changed")
        << head() + chunk("IDAT", QByteArray(IMAGE_DATA).replace(5, 1, QByteArray(1, IMAGE_DATA[5] ^ 1)))
               + chunk("IEND", goodPayload())
        << false << SealFault::SealMismatch << CZ << DW << false;
    QTest::newRow("seal of the changed image data")
        << head() + chunk("IDAT", QByteArray(IMAGE_DATA).replace(5, 1, QByteArray(1, IMAGE_DATA[5] ^ 1)))
               + chunk("IEND", payload(flippedSeal, voucherXml(CZ, DW)))
        << true << SealFault::None << CZ << DW << false;
    QTest::newRow("second IEND with a wrong seal") << good + chunk("IEND", payload(flippedSeal, otherXml))
        << false << SealFault::SealMismatch << QStringLiteral("CZ-2") << QStringLiteral("DW-2") << false;
    QTest::newRow("payload shorter than 41 characters") << voucher("{\"sign\":\"9d16851f36c9dc5a092f"_qba)
        << false << SealFault::SealMismatch << QString() << QString() << false;
    // Shifted by one, the XML text starts with a quotation mark and is no XML.
    QTest::newRow("byte-order mark shifts the seal and the XML") << voucher("\xEF\xBB\xBF"_qba + goodPayload())
        << false << SealFault::SealMismatch << QString() << QString() << false;
    QTest::newRow("payload not UTF-8") << voucher(goodPayload() + "\xC0\xAF"_qba)
        << false << SealFault::InvalidUtf8 << QString() << QString() << false;
    QTest::newRow("trailing bytes inside a length field") << good + "\0\0"_qba
        << false << SealFault::CutInHeader << CZ << DW << false;
    QTest::newRow("trailing bytes inside a type field") << good + "\0\0\0\x05ID"_qba
        << false << SealFault::CutInHeader << CZ << DW << false;
    QTest::newRow("IDAT runs past the end") << head() + chunk("IDAT", IMAGE_DATA).chopped(10)
        << false << SealFault::CutInData << QString() << QString() << false;
    QTest::newRow("trailing IDAT runs past the end") << good + chunkHeader("IDAT", 100) + "abc"_qba
        << false << SealFault::CutInData << CZ << DW << false;
    QTest::newRow("trailing IEND runs past the end") << good + chunkHeader("IEND", 100) + "abc"_qba
        << false << SealFault::CutInData << CZ << DW << false;
    // Lengths far beyond the file fail before anything is allocated for them.
    QTest::newRow("IDAT length 2^31-1 in a short file") << head() + chunkHeader("IDAT", 0x7FFFFFFFu) + IMAGE_DATA
        << false << SealFault::CutInData << QString() << QString() << false;
    QTest::newRow("IEND length 2^31-1 in a short file") << head() + idat + chunkHeader("IEND", 0x7FFFFFFFu) + goodPayload()
        << false << SealFault::CutInData << QString() << QString() << false;
    QTest::newRow("IDAT length 2^31") << head() + chunkHeader("IDAT", 0x80000000u) + IMAGE_DATA
        << false << SealFault::LengthTooLarge << QString() << QString() << false;
    QTest::newRow("IEND length 2^32-1 after a payload") << good + chunkHeader("IEND", 0xFFFFFFFFu)
        << false << SealFault::LengthTooLarge << CZ << DW << false;
    QTest::newRow("type compared case-sensitively") << head() + idat + chunk("iEND", goodPayload())
        << false << SealFault::NoPayload << QString() << QString() << false;
}

void TestSealCheck::verdict()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, intact);
    QFETCH(SealFault, fault);
    QFETCH(QString, signCZ);
    QFETCH(QString, signDw);
    QFETCH(bool, extractionError);

    QTemporaryDir dir;
    const QString sPath = writeFixture(dir.path(), QStringLiteral("voucher.png"), file);

    // Outputs start full, to show that every path empties or fills them.
    QString sSignCZ = QStringLiteral("stale"), sSignDw = QStringLiteral("stale"), ErrMsg = QStringLiteral("stale");
    QCOMPARE(CheckNonTaxVoucher(sPath, sSignCZ, sSignDw, ErrMsg), intact);
    QCOMPARE(sSignCZ, signCZ);
    QCOMPARE(sSignDw, signDw);
    if (intact)
        QCOMPARE(ErrMsg.isEmpty(), !extractionError);
    else
        QCOMPARE(ErrMsg, FAILED);

    // The same walk over memory gives the same verdict and names its cause.
    QBuffer buffer(&file);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    QString sDevCZ, sDevDw, sDevErr;
    const SealReport report = checkVoucherDevice(buffer, sDevCZ, sDevDw, sDevErr);
    QCOMPARE(report.fault, fault);
    QCOMPARE(sDevCZ, signCZ);
    QCOMPARE(sDevDw, signDw);
    QCOMPARE(sDevErr, ErrMsg);
}

void TestSealCheck::missingFile()
{
    QTemporaryDir dir;
    QString sSignCZ = QStringLiteral("x"), sSignDw = QStringLiteral("x"), ErrMsg;
    QVERIFY(!CheckNonTaxVoucher(dir.filePath(QStringLiteral("gone.png")), sSignCZ, sSignDw, ErrMsg));
    QCOMPARE(ErrMsg, FAILED);
    QVERIFY(sSignCZ.isEmpty() && sSignDw.isEmpty());
}

void TestSealCheck::directory()
{
    QTemporaryDir dir;
    QString sSignCZ, sSignDw, ErrMsg;
    QVERIFY(!CheckNonTaxVoucher(dir.path(), sSignCZ, sSignDw, ErrMsg));
    QCOMPARE(ErrMsg, FAILED);
}

QTEST_GUILESS_MAIN(TestSealCheck)
#include "tst_SealCheck.moc"
