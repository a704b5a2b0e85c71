// lumbrik-check as a user runs it: its lines, its JSON and its exit status.

#include "support/VoucherWriter.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonArray>
#include <QJsonObject>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace lumbrik::testing;

namespace {

struct Run {
    int iExit = -1;
    QString sOut, sErr;
};

Run runChecker(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(LUMBRIK_CHECK), args);
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

QString examples(const char *sName)
{
    return QStringLiteral(LUMBRIK_EXAMPLES "/") + QLatin1String(sName);
}

} // namespace

class TestChecker : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void usage_data();
    void usage();
    void textLines();
    void json();
    void samples();
    void explain_data();
    void explain();
    void explainTextLine();
    void foldersAndJobs();

private:
    QTemporaryDir dir;
    QString sGood, sMultiLine, sPlain;
};

void TestChecker::initTestCase()
{
    auto write = [this](const char *sName, const QByteArray &ab) { return writeFixture(dir.path(), QLatin1String(sName), ab); };
    sGood = write("good.png", goodVoucher());
    sMultiLine = write("multi\tline.png", voucher(payload(QLatin1String(IMAGE_SEAL),
                                                          voucherXml(QStringLiteral("a\"b\\c"), QStringLiteral("l1\nl2\tx")))));
    sPlain = write("plain.png", pngSignature() + ihdr() + chunk("IDAT", IMAGE_DATA) + chunk("IEND", {}));
}

void TestChecker::usage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("no file") << QStringList() << QStringLiteral("no file named");
    QTest::newRow("only options") << QStringList{QStringLiteral("--json")} << QStringLiteral("no file named");
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--frobnicate"), sGood} << QStringLiteral("unknown option '--frobnicate'");
}

void TestChecker::usage()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    const Run r = runChecker(args);
    QCOMPARE(r.iExit, 2);
    QVERIFY(r.sOut.isEmpty());
    QVERIFY2(r.sErr.startsWith(QStringLiteral("lumbrik-check: ") + message), qPrintable(r.sErr));
}

void TestChecker::textLines()
{
    const QString sMissing = dir.filePath(QStringLiteral("missing.png"));
    const Run r = runChecker({sGood, sMissing, sMultiLine, QStringLiteral("--"), sPlain});
    QCOMPARE(r.iExit, 1);
    const QStringList lines = r.sOut.split(u'\n');
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines[0], sGood + QString::fromUtf8("\t自应用本签名以来，“good.png”没有被篡改。\t财政签名：CZ-SIG\t单位签名：DW-SIG"));
    QCOMPARE(lines[1], sMissing + QString::fromUtf8("\t自应用本签名以来，“missing.png”已被篡改，请停止使用。"));
    QCOMPARE(lines[2], sMultiLine + QString::fromUtf8("\t自应用本签名以来，“multi\tline.png”没有被篡改。\t财政签名：a\"b\\\\c\t单位签名：l1\\nl2\\tx"));
    QCOMPARE(lines[3], sPlain + QString::fromUtf8("\t自应用本签名以来，“plain.png”已被篡改，请停止使用。"));
    QCOMPARE(lines[4], QString());
}

void TestChecker::json()
{
    const Run r = runChecker({QStringLiteral("--json"), sMultiLine, sPlain});
    QCOMPARE(r.iExit, 1);
    const QStringList lines = r.sOut.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QJsonParseError e;
    const QJsonObject intact = QJsonDocument::fromJson(lines[0].toUtf8(), &e).object();
    QCOMPARE(e.error, QJsonParseError::NoError);
    QCOMPARE(intact.value(QStringLiteral("file")).toString(), sMultiLine);
    QCOMPARE(intact.value(QStringLiteral("intact")).toBool(false), true);
    QCOMPARE(intact.value(QStringLiteral("finance_signature")).toString(), QStringLiteral("a\"b\\c"));
    QCOMPARE(intact.value(QStringLiteral("issuer_signature")).toString(), QStringLiteral("l1\nl2\tx"));
    QVERIFY(!intact.contains(QStringLiteral("error")));
    QVERIFY(lines[0].startsWith(QStringLiteral("{\"file\":")));

    const QJsonObject failed = QJsonDocument::fromJson(lines[1].toUtf8()).object();
    QCOMPARE(failed.value(QStringLiteral("intact")).toBool(true), false);
    QCOMPARE(failed.value(QStringLiteral("error")).toString(), QString::fromUtf8("获取加密信息失败！"));
    QVERIFY(!failed.contains(QStringLiteral("finance_signature")));
    QVERIFY(!failed.contains(QStringLiteral("issuer_signature")));
}

void TestChecker::samples()
{
    const Run good = runChecker({examples("voucher.png")});
    QCOMPARE(good.iExit, 0);
    QVERIFY2(good.sOut.contains(QString::fromUtf8("没有被篡改")), qPrintable(good.sOut));
    QCOMPARE(runChecker({examples("voucher.png"), examples("voucher-tampered.png")}).iExit, 1);
}

void TestChecker::explain_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("cause");
    QTest::addColumn<int>("offset"); // -1: none is given
    QTest::addColumn<QString>("says"); // a part of the explanation

    const QByteArray head = pngSignature() + ihdr();              // 33 bytes
    const QByteArray idat = chunk("IDAT", IMAGE_DATA);            // 37 bytes
    const QByteArray good = goodVoucher();
    const QString sSeal = QLatin1String(IMAGE_SEAL);
    QTest::newRow("not a PNG") << "GIF89a\x01\x00"_qba << QStringLiteral("not_png") << 0 << QStringLiteral("47 49 46 38 39 61 01 00");
    QTest::newRow("empty file") << QByteArray() << QStringLiteral("not_png") << 0 << QString::fromUtf8("空");
    QTest::newRow("ends in a length field") << good + "\0\0"_qba << QStringLiteral("cut_in_chunk_header") << int(good.size())
                                            << QString::number(good.size());
    QTest::newRow("ends in a type field") << head + "\0\0\0\x01ID"_qba << QStringLiteral("cut_in_chunk_header") << 33 << QStringLiteral("33");
    QTest::newRow("IDAT past the end") << head + chunkHeader("IDAT", 500) + "abc"_qba << QStringLiteral("chunk_past_end") << 33
                                       << QStringLiteral("IDAT");
    QTest::newRow("IEND past the end") << head + idat + chunkHeader("IEND", 500) << QStringLiteral("chunk_past_end") << 70
                                       << QStringLiteral("IEND");
    QTest::newRow("length 2^31") << head + chunkHeader("IEND", 0x80000000u) << QStringLiteral("length_too_large") << 33
                                 << QStringLiteral("2147483648");
    QTest::newRow("IEND without payload") << head + idat + chunk("IEND", {}) << QStringLiteral("empty_payload") << 70 << QStringLiteral("IEND");
    QTest::newRow("no IEND") << head + idat << QStringLiteral("no_payload") << -1 << QStringLiteral("IEND");
    QTest::newRow("payload not UTF-8") << head + idat + chunk("IEND", "{\"sign\":\xFF"_qba) << QStringLiteral("payload_not_utf8")
                                       << 70 + 8 + 8 << QStringLiteral("8");
    QTest::newRow("seal differs") << voucher(payload(sSeal.toUpper(), QString())) << QStringLiteral("seal_mismatch") << -1
                                  << sSeal.toUpper();
    QTest::newRow("missing") << QByteArray("no such file") << QStringLiteral("cannot_open") << -1 << QString::fromUtf8("不存在");
}

void TestChecker::explain()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, cause);
    QFETCH(int, offset);
    QFETCH(QString, says);
    QString sPath = dir.filePath(QStringLiteral("explained.png"));
    if (cause == u"cannot_open") {
        sPath = dir.filePath(QStringLiteral("absent.png"));
    } else {
        QFile f(sPath);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(file);
    }
    const Run r = runChecker({QStringLiteral("--json"), QStringLiteral("--explain"), sPath});
    QCOMPARE(r.iExit, 1);
    const QJsonObject o = QJsonDocument::fromJson(r.sOut.toUtf8()).object();
    QCOMPARE(o.value(QStringLiteral("cause")).toString(), cause);
    QCOMPARE(o.value(QStringLiteral("offset")).toInt(-1), offset);
    QVERIFY2(o.value(QStringLiteral("explanation")).toString().contains(says), qPrintable(o.value(QStringLiteral("explanation")).toString()));
    QCOMPARE(o.value(QStringLiteral("error")).toString(), QString::fromUtf8("获取加密信息失败！"));
    if (cause == u"seal_mismatch") {
        QCOMPARE(o.value(QStringLiteral("stored_seal")).toString(), QLatin1String(IMAGE_SEAL).toString().toUpper());
        QCOMPARE(o.value(QStringLiteral("computed_seal")).toString(), QLatin1String(IMAGE_SEAL).toString());
    }
}

void TestChecker::explainTextLine()
{
    // Intact, yet worth knowing: wrong CRCs, a chunk after IEND, a broken XML.
    QFile f(dir.filePath(QStringLiteral("notes.png")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(pngSignature() + chunk("IHDR", ihdr().mid(8, 13), Crc::Wrong) + chunk("IDAT", IMAGE_DATA)
            + chunk("IEND", payload(QLatin1String(IMAGE_SEAL), QStringLiteral("<E>"))) + chunk("tEXt", "a\0b"_qba));
    f.close();
    const Run r = runChecker({QStringLiteral("--explain"), f.fileName()});
    QCOMPARE(r.iExit, 0);
    const QStringList lines = r.sOut.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines[1].startsWith(QString::fromUtf8("\t说明：")));
    QVERIFY(lines[1].contains(QLatin1String(IMAGE_SEAL)));
    QVERIFY(lines[1].contains(QString::fromUtf8("偏移 8 处的 IHDR")));
    QVERIFY(!lines[1].contains(QString::fromUtf8("偏移 33 处的 IDAT")));
    QVERIFY(lines[1].contains(QString::fromUtf8("之后还有 1 个数据块")));
    QVERIFY(lines[1].contains(QString::fromUtf8("签名提取出错")));

    const Run json = runChecker({QStringLiteral("--json"), QStringLiteral("--explain"), f.fileName()});
    const QJsonObject o = QJsonDocument::fromJson(json.sOut.toUtf8()).object();
    QCOMPARE(o.value(QStringLiteral("cause")).toString(), QStringLiteral("intact"));
    QCOMPARE(o.value(QStringLiteral("notes")).toArray().size(), 3);
}

void TestChecker::foldersAndJobs()
{
    QTemporaryDir tree;
    QVERIFY(QDir(tree.path()).mkpath(QStringLiteral("b/c")));
    const QStringList names = {QStringLiteral("b/c/z.png"), QStringLiteral("a.png"), QStringLiteral("b/y.PNG"), QStringLiteral("b/x.png")};
    for (const QString &sName : names) {
        QFile f(tree.filePath(sName));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(sName.startsWith(u'a') ? pngSignature() : goodVoucher());
    }
    QFile(tree.filePath(QStringLiteral("b/notes.txt"))).open(QIODevice::WriteOnly);
    QTemporaryDir empty;
    for (const QString &sJobs : {QStringLiteral("-j1"), QStringLiteral("-j3")}) {
        const Run r = runChecker({sJobs, tree.path(), sGood, empty.path()});
        QCOMPARE(r.iExit, 1); // a.png is no voucher, and the empty folder holds none
        QStringList files;
        for (const QString &sLine : r.sOut.split(u'\n', Qt::SkipEmptyParts))
            files << sLine.section(u'\t', 0, 0);
        QCOMPARE(files, (QStringList{tree.filePath(QStringLiteral("a.png")), tree.filePath(QStringLiteral("b/c/z.png")),
                                     tree.filePath(QStringLiteral("b/x.png")), tree.filePath(QStringLiteral("b/y.PNG")), sGood}));
        QVERIFY(r.sErr.contains(QStringLiteral("no *.png below")));
    }
    QCOMPARE(runChecker({QStringLiteral("-j"), QStringLiteral("0"), sGood}).iExit, 2);
    QCOMPARE(runChecker({QStringLiteral("-j2"), sGood, sGood, sGood}).iExit, 0);
}

QTEST_GUILESS_MAIN(TestChecker)
#include "tst_Checker.moc"
