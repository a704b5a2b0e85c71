// Files made to hurt: huge lengths, sparse giants, deep and wide XML, entity
// tricks, stray bytes in every field, and paths that are no ordinary files.
// Each ends in the documented verdict.

#include "SealCheck.h"
#include "Voucher.h"
#include "support/VoucherWriter.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace lumbrik;
using namespace lumbrik::testing;

namespace {

const QString FAILED = QString::fromUtf8(SEAL_ERROR_TEXT);

QString sig(const char *sId, const QString &sValue)
{
    return QStringLiteral("<Signature id=\"%1\"><SignatureValue>%2</SignatureValue></Signature>").arg(QLatin1String(sId), sValue);
}

QByteArray sealed(const QString &sXml)
{
    return voucher(payload(QLatin1String(IMAGE_SEAL), sXml));
}

struct Verdict {
    bool bIntact;
    QString sSignCZ, sSignDw, ErrMsg;
};

Verdict checkFile(const QString &sPath)
{
    Verdict v;
    v.bIntact = CheckNonTaxVoucher(sPath, v.sSignCZ, v.sSignDw, v.ErrMsg);
    return v;
}

} // namespace

class TestHostileFiles : public QObject
{
    Q_OBJECT

private slots:
    void payloads_data();
    void payloads();
    void strayBytes_data();
    void strayBytes();
    void sparseGiantSkipsPastItsEnd();
    void fifoIsRefusedWithoutBlocking();
    void unreadableFile();

private:
    QString write(const QString &sName, const QByteArray &ab);
    QTemporaryDir dir;
};

QString TestHostileFiles::write(const QString &sName, const QByteArray &ab)
{
    return writeFixture(dir.path(), sName, ab);
}

void TestHostileFiles::payloads_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("signCZ");
    QTest::addColumn<QString>("signDw");

    const int iDeep = 1000000; // 7 MB of nesting
    const QString sDeep = QStringLiteral("<d>").repeated(iDeep) + QStringLiteral("</d>").repeated(iDeep);
    QTest::newRow("7 MB deep beside the signatures")
        << sealed(QStringLiteral("<E>") + sDeep + QStringLiteral("<EInvoiceSignature>") + sig("SupervisorParty", QStringLiteral("B"))
                  + QStringLiteral("</EInvoiceSignature></E>"))
        << QStringLiteral("B") << QString();

    QString sWide;
    for (int i = 0; i < 100000; ++i)
        sWide += sig("InvoicingParty", QString::number(i));
    QTest::newRow("100000 signatures, the last wins")
        << sealed(QStringLiteral("<E><EInvoiceSignature>") + sWide + QStringLiteral("</EInvoiceSignature></E>"))
        << QString() << QStringLiteral("99999");

    QString sBomb = QStringLiteral("<!DOCTYPE E [<!ENTITY a0 \"ha\">");
    for (int i = 1; i < 30; ++i)
        sBomb += QStringLiteral("<!ENTITY a%1 \"&a%2;&a%2;\">").arg(i).arg(i - 1);
    QTest::newRow("entity bomb yields nothing")
        << sealed(sBomb + QStringLiteral("]><E><EInvoiceSignature>") + sig("InvoicingParty", QStringLiteral("&a29;"))
                  + QStringLiteral("</EInvoiceSignature></E>"))
        << QString() << QString();

    QTest::newRow("external entity is not read")
        << sealed(QStringLiteral("<!DOCTYPE E [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><E><EInvoiceSignature>")
                  + sig("InvoicingParty", QStringLiteral("&x;")) + sig("SupervisorParty", QStringLiteral("B"))
                  + QStringLiteral("</EInvoiceSignature></E>"))
        << QString() << QString();

    QTest::newRow("external subset is not read")
        << sealed(QStringLiteral("<!DOCTYPE E SYSTEM \"file:///etc/passwd\"><E><EInvoiceSignature>") + sig("SupervisorParty", QStringLiteral("B"))
                  + QStringLiteral("</EInvoiceSignature></E>"))
        << QStringLiteral("B") << QString();
}

void TestHostileFiles::payloads()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, signCZ);
    QFETCH(QString, signDw);
    // The image data is sealed: whatever the XML does, the verdict is intact.
    const Verdict v = checkFile(write(QStringLiteral("payload.png"), file));
    QVERIFY(v.bIntact);
    QCOMPARE(v.sSignCZ, signCZ);
    QCOMPARE(v.sSignDw, signDw);
    QVERIFY(!v.sSignDw.contains(QStringLiteral("root:")));
}

void TestHostileFiles::strayBytes_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("intact");
    const QByteArray head = pngSignature() + ihdr();
    const QByteArray idat = chunk("IDAT", IMAGE_DATA);
    const QString sSeal = QLatin1String(IMAGE_SEAL);
    const QString sXml = voucherXml(QStringLiteral("C"), QStringLiteral("D"));
    const QByteArray good = payload(sSeal, sXml);

    QTest::newRow("zero bytes in a signature byte") << "\x89PN\0\r\n\x1a\n"_qba + ihdr() + idat + chunk("IEND", good) << false;
    QTest::newRow("zero type: a chunk to skip") << head + chunk("\0\0\0\0", "x"_qba) + idat + chunk("IEND", good) << true;
    QTest::newRow("zero length IDAT") << head + chunk("IDAT", {}) + idat + chunk("IEND", good) << true;
    QTest::newRow("zero bytes in the seal") << voucher(payload(sSeal.left(31) + QChar(0), sXml)) << false;
    QTest::newRow("zero bytes in the opening") << voucher("{\"si\0n\":\""_qba + sSeal.toLatin1() + "\",\"data\":\"x\"}"_qba) << true;
    QTest::newRow("zero bytes in the XML") << voucher(payload(sSeal, QStringLiteral("<E>\0</E>"))) << true;
    QTest::newRow("invalid UTF-8 in the opening") << voucher("{\"si\xFFn\":\""_qba + sSeal.toLatin1() + "\"}"_qba) << false;
    QTest::newRow("invalid UTF-8 in the seal") << voucher("{\"sign\":\"\xC3"_qba + sSeal.toLatin1().mid(1) + "\"}"_qba) << false;
    QTest::newRow("invalid UTF-8 in the XML") << voucher(good.left(60) + "\xED\xA0\x80"_qba + good.mid(60)) << false;
    QTest::newRow("invalid UTF-8 in the closing") << voucher(good.chopped(1) + "\xF8"_qba) << false;
}

void TestHostileFiles::strayBytes()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, intact);
    const Verdict v = checkFile(write(QStringLiteral("stray.png"), file));
    QCOMPARE(v.bIntact, intact);
    if (!intact)
        QCOMPARE(v.ErrMsg, FAILED);
}

void TestHostileFiles::sparseGiantSkipsPastItsEnd()
{
    // 3 GiB, nearly all a hole: a text chunk claims 4 GiB and so ends the walk.
    const QString sPath = write(QStringLiteral("giant.png"), goodVoucher() + chunkHeader("tEXt", 0xFFFFFFF0u));
    QFile f(sPath);
    if (!f.resize(qint64(3) << 30))
        QSKIP("this file system cannot hold a sparse 3 GiB file");
    const Verdict v = checkFile(sPath);
    QVERIFY(v.bIntact);
    QCOMPARE(v.sSignCZ, QStringLiteral("CZ-SIG"));
    f.remove();
}

void TestHostileFiles::fifoIsRefusedWithoutBlocking()
{
    const QString sPath = dir.filePath(QStringLiteral("pipe.png"));
    QCOMPARE(mkfifo(QFile::encodeName(sPath).constData(), 0600), 0);
    const Verdict v = checkFile(sPath); // would block for ever if the pipe were opened
    QVERIFY(!v.bIntact);
    QCOMPARE(v.ErrMsg, FAILED);
}

void TestHostileFiles::unreadableFile()
{
    QTemporaryDir open(QStringLiteral("/tmp/lumbrik-unreadable-XXXXXX"));
    QVERIFY(QFile::setPermissions(open.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                                   | QFileDevice::ReadOther | QFileDevice::ExeOther | QFileDevice::ExeGroup));
    const QString sPath = open.filePath(QStringLiteral("locked.png"));
    QFile f(sPath);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(goodVoucher());
    f.close();
    QVERIFY(f.setPermissions(QFileDevice::WriteOwner));
    if (geteuid() != 0) {
        const Verdict v = checkFile(sPath);
        QVERIFY(!v.bIntact);
        QCOMPARE(v.ErrMsg, FAILED);
        return;
    }
    // Root reads every file: check as an ordinary user instead, with a copy of
    // the checker that this user can run wherever the build lies.
    const QString sChecker = open.filePath(QStringLiteral("lumbrik-check"));
    QVERIFY(QFile::copy(QStringLiteral(LUMBRIK_CHECK), sChecker));
    QVERIFY(QFile::setPermissions(sChecker, QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                                | QFileDevice::ExeOther));
    // The same user checks a readable voucher beside it: only the permission differs.
    const QString sReadable = writeFixture(open.path(), QStringLiteral("readable.png"), goodVoucher());
    QProcess p;
    p.start(QStringLiteral("setpriv"), {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups"),
                                        sChecker, QStringLiteral("--json"), sReadable, sPath});
    QVERIFY(p.waitForFinished(30000));
    const QList<QByteArray> lines = p.readAllStandardOutput().split('\n');
    QVERIFY2(lines.size() == 3, p.readAllStandardError().constData());
    QVERIFY(lines[0].contains("\"intact\":true"));
    QVERIFY(lines[1].contains("\"status\":\"unreadable\""));
    QCOMPARE(p.exitCode(), 2);
}

QTEST_GUILESS_MAIN(TestHostileFiles)
#include "tst_HostileFiles.moc"
