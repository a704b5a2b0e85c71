// Ordinary and broken PNG files from PngSuite: none is a voucher, none breaks the check.

#include "Voucher.h"

#include <QDir>
#include <QtTest>

class TestPngSuite : public QObject
{
    Q_OBJECT

private slots:
    void everyFileFails();
};

void TestPngSuite::everyFileFails()
{
    const QDir suite(QStringLiteral(LUMBRIK_PNGSUITE));
    const QStringList files = suite.entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name);
    if (files.isEmpty())
        QSKIP("PngSuite is not beside this checkout");
    for (const QString &sName : files) {
        QString sSignCZ, sSignDw, ErrMsg;
        QVERIFY2(!lumbrik::CheckNonTaxVoucher(suite.filePath(sName), sSignCZ, sSignDw, ErrMsg), qPrintable(sName));
        QCOMPARE(ErrMsg, QString::fromUtf8("获取加密信息失败！"));
        QVERIFY(sSignCZ.isEmpty() && sSignDw.isEmpty());
    }
}

QTEST_GUILESS_MAIN(TestPngSuite)
#include "tst_PngSuite.moc"
