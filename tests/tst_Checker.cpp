// lumbrik-check as a user runs it: its lines, its JSON and its exit status.

#include "support/VoucherWriter.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
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

private:
    QTemporaryDir dir;
    QString sGood, sMultiLine, sPlain;
};

void TestChecker::initTestCase()
{
    auto write = [this](const char *sName, const QByteArray &ab) {
        QFile f(dir.filePath(QLatin1String(sName)));
        if (!f.open(QIODevice::WriteOnly) || f.write(ab) != ab.size())
            qFatal("cannot write the fixture %s", sName);
        return f.fileName();
    };
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

QTEST_GUILESS_MAIN(TestChecker)
#include "tst_Checker.moc"
