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

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace lumbrik::testing;

namespace {

struct Run {
    int iExit = -1;
    QString sOut, sErr;
};

Run runChecker(const QStringList &args, const QStringList &environment = {QStringLiteral("LANG=C.UTF-8")})
{
    QProcess p;
    p.setEnvironment(environment);
    p.start(QStringLiteral(LUMBRIK_CHECK), args);
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

Run runChecker2(const QString &sProgram, const QStringList &args)
{
    QProcess p;
    p.setEnvironment({QStringLiteral("LANG=C.UTF-8")});
    p.start(sProgram, args);
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

// The checker run through the shell, so that arguments can be any bytes:
// sShellArgs is shell words, such as "$(printf 'a\\267.png')".
Run runCheckerInShell(const QString &sShellArgs)
{
    return runChecker2(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("exec \"$0\" ") + sShellArgs,
                                                   QStringLiteral(LUMBRIK_CHECK)});
}

void removeTree(const QString &sPath)
{
    QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), sPath});
}

// Writes ab to the file at the exact bytes abPath.
bool writeBytesNamed(const QByteArray &abPath, const QByteArray &ab)
{
    const int fd = ::open(abPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const bool bWritten = fd >= 0 && ::write(fd, ab.constData(), size_t(ab.size())) == ab.size();
    return ::close(fd) == 0 && bWritten;
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
    void outcomes_data();
    void outcomes();
    void nonUtf8Names();
    void unreadableSubfolder();
    void pathLongerThanPathMax();
    void helpAndVersion_data();
    void helpAndVersion();
    void messagesFollowTheLocale();
    void progressIsRateLimitedAndSummarised();

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
    QCOMPARE(r.iExit, 2); // the missing file could not be read
    const QStringList lines = r.sOut.split(u'\n');
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines[0], sGood + QString::fromUtf8("\t自应用本签名以来，“good.png”没有被篡改。\t财政签名：CZ-SIG\t单位签名：DW-SIG"));
    QCOMPARE(lines[1], sMissing + QString::fromUtf8("\t无法读取“missing.png”：文件不存在。"));
    // A tab in a file name is escaped like one in a signature: the line keeps its fields.
    QCOMPARE(lines[2], QString(sMultiLine).replace(u'\t', QLatin1String("\\t"))
                 + QString::fromUtf8("\t自应用本签名以来，“multi\\tline.png”没有被篡改。\t财政签名：a\"b\\\\c\t单位签名：l1\\nl2\\tx"));
    QCOMPARE(lines[3], sPlain + QString::fromUtf8("\t“plain.png”不是电子票据：不是 PNG 图片，或图片中没有封存的签名数据。"));
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
    QCOMPARE(r.iExit, cause == u"cannot_open" ? 2 : 1);
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
    QVERIFY(lines[1].contains(QString::fromUtf8("签名提取出错：Line 1, column 4: the text ends inside the element \"E\"")));

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

void TestChecker::outcomes_data()
{
    QTest::addColumn<QByteArray>("file");   // "" with a special name below
    QTest::addColumn<QString>("special");   // "missing", "fifo" or ""
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("words");     // what follows the file name's tab
    QTest::addColumn<int>("exit");

    const QByteArray head = pngSignature() + ihdr();
    const QByteArray idat = chunk("IDAT", IMAGE_DATA);
    const QByteArray sealed = chunk("IEND", payload(QLatin1String(IMAGE_SEAL), voucherXml(QStringLiteral("C"), QStringLiteral("D"))));
    const QString sIntact = QString::fromUtf8("自应用本签名以来，“o.png”没有被篡改。");
    const QString sAltered = QString::fromUtf8("自应用本签名以来，“o.png”已被篡改，请停止使用。");
    const QString sNotVoucher = QString::fromUtf8("“o.png”不是电子票据：不是 PNG 图片，或图片中没有封存的签名数据。");
    QTest::newRow("intact") << head + idat + sealed << QString() << QStringLiteral("intact") << sIntact << 0;
    QTest::newRow("seal differs") << head + chunk("IDAT", IMAGE_DATA.left(24) + "x"_qba) + sealed << QString()
                                  << QStringLiteral("altered") << sAltered << 1;
    QTest::newRow("cut in the image data") << head + chunkHeader("IDAT", 100) + "abc"_qba << QString() << QStringLiteral("altered")
                                           << sAltered << 1;
    QTest::newRow("cut after the payload") << head + idat + sealed + "\0\0"_qba << QString() << QStringLiteral("altered")
                                           << sAltered << 1;
    QTest::newRow("empty IEND after a payload") << head + idat + sealed + chunk("IEND", {}) << QString()
                                                << QStringLiteral("altered") << sAltered << 1;
    QTest::newRow("payload not UTF-8") << head + idat + chunk("IEND", "{\"sign\":\xFF"_qba) << QString()
                                       << QStringLiteral("altered") << sAltered << 1;
    QTest::newRow("ordinary PNG") << head + idat + chunk("IEND", {}) << QString() << QStringLiteral("not_a_voucher") << sNotVoucher << 1;
    QTest::newRow("PNG without IEND") << head + idat << QString() << QStringLiteral("not_a_voucher") << sNotVoucher << 1;
    QTest::newRow("text file") << "hello\n"_qba << QString() << QStringLiteral("not_a_voucher") << sNotVoucher << 1;
    QTest::newRow("0 bytes") << QByteArray() << QString() << QStringLiteral("not_a_voucher") << sNotVoucher << 1;
    QTest::newRow("missing") << QByteArray() << QStringLiteral("missing") << QStringLiteral("unreadable")
                             << QString::fromUtf8("无法读取“o.png”：文件不存在。") << 2;
    QTest::newRow("FIFO") << QByteArray() << QStringLiteral("fifo") << QStringLiteral("unreadable")
                          << QString::fromUtf8("无法读取“o.png”：不是普通文件。") << 2;
}

void TestChecker::outcomes()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, special);
    QFETCH(QString, status);
    QFETCH(QString, words);
    QFETCH(int, exit);
    QTemporaryDir here;
    const QString sPath = here.filePath(QStringLiteral("o.png"));
    if (special == u"fifo")
        QCOMPARE(mkfifo(QFile::encodeName(sPath).constData(), 0600), 0);
    else if (special.isEmpty())
        writeFixture(here.path(), QStringLiteral("o.png"), file);

    const Run text = runChecker({sPath});
    QCOMPARE(text.iExit, exit);
    QCOMPARE(text.sOut.section(u'\t', 1, 1).section(u'\n', 0, 0), words);
    QCOMPARE(text.sOut.section(u'\t', 0, 0), sPath);

    const Run json = runChecker({QStringLiteral("--json"), sPath});
    QCOMPARE(json.iExit, exit);
    const QJsonObject o = QJsonDocument::fromJson(json.sOut.toUtf8()).object();
    QCOMPARE(o.value(QStringLiteral("status")).toString(), status);
    QCOMPARE(o.value(QStringLiteral("intact")).toBool(), status == u"intact");
    QCOMPARE(o.contains(QStringLiteral("reason")), status == u"unreadable");
}

void TestChecker::nonUtf8Names()
{
    // A GBK name from an archive made on Windows: 发 is B7 A2, no UTF-8.
    QTemporaryDir tree;
    const QByteArray abFolder = QFile::encodeName(tree.path());
    QVERIFY(writeBytesNamed(abFolder + "/\xB7\xA2_01.png",
                            pngSignature() + ihdr() + chunk("IDAT", "tampered"_qba)
                                + chunk("IEND", payload(QLatin1String(IMAGE_SEAL), QString()))));
    QVERIFY(writeBytesNamed(abFolder + "/good.png", goodVoucher()));
    const QString sShown = tree.path() + QStringLiteral("/\\xB7\\xA2_01.png");

    const Run r = runChecker({tree.path()});
    QCOMPARE(r.iExit, 1);
    const QStringList lines = r.sOut.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines[0].startsWith(tree.filePath(QStringLiteral("good.png")) + u'\t')); // sorted by bytes
    QCOMPARE(lines[1], sShown + QString::fromUtf8("\t自应用本签名以来，“\\xB7\\xA2_01.png”已被篡改，请停止使用。"));

    const Run json = runChecker({QStringLiteral("--json"), tree.path()});
    const QJsonObject o = QJsonDocument::fromJson(json.sOut.section(u'\n', 1, 1).toUtf8()).object();
    QCOMPARE(o.value(QStringLiteral("file")).toString(), sShown);
    QCOMPARE(o.value(QStringLiteral("status")).toString(), QStringLiteral("altered"));

    // Named on the command line, the file is opened by its bytes too.
    const Run named = runCheckerInShell(QStringLiteral("\"$(printf '%1/\\267\\242_01.png')\"").arg(tree.path()));
    QCOMPARE(named.iExit, 1);
    QCOMPARE(named.sOut.section(u'\t', 0, 0), sShown);
    QVERIFY2(named.sOut.contains(QString::fromUtf8("已被篡改")), qPrintable(named.sOut));
    // A backslash of the name itself stays apart from the escapes.
    QVERIFY(writeBytesNamed(abFolder + "/a\\xB7.png", goodVoucher()));
    const Run backslash = runChecker({tree.filePath(QStringLiteral("a\\xB7.png"))});
    QCOMPARE(backslash.sOut.section(u'\t', 0, 0), tree.filePath(QStringLiteral("a\\\\xB7.png")));
    removeTree(tree.path()); // the toolkit cannot remove a name that is not UTF-8
}

void TestChecker::unreadableSubfolder()
{
    if (geteuid() != 0)
        QSKIP("needs root to check as another user");
    // Root lists every folder: check as an ordinary user instead, with a copy of the checker it may run.
    QTemporaryDir tree(QStringLiteral("/tmp/lumbrik-subfolder-XXXXXX"));
    QVERIFY(QDir(tree.path()).mkpath(QStringLiteral("vouchers/locked")));
    writeFixture(tree.filePath(QStringLiteral("vouchers")), QStringLiteral("good.png"), goodVoucher());
    writeFixture(tree.filePath(QStringLiteral("vouchers/locked")), QStringLiteral("tampered.png"), pngSignature());
    const QString sChecker = tree.filePath(QStringLiteral("lumbrik-check"));
    QVERIFY(QFile::copy(QStringLiteral(LUMBRIK_CHECK), sChecker));
    QCOMPARE(::chmod(QFile::encodeName(tree.path()).constData(), 0755), 0);
    QCOMPARE(::chmod(QFile::encodeName(sChecker).constData(), 0755), 0);
    QCOMPARE(::chmod(QFile::encodeName(tree.filePath(QStringLiteral("vouchers"))).constData(), 0755), 0);
    QCOMPARE(::chmod(QFile::encodeName(tree.filePath(QStringLiteral("vouchers/locked"))).constData(), 0700), 0);

    const QStringList asNobody = {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups"), sChecker};
    const Run r = runChecker2(QStringLiteral("setpriv"), asNobody + QStringList{tree.filePath(QStringLiteral("vouchers"))});
    QCOMPARE(r.iExit, 2);
    const QStringList lines = r.sOut.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines[0].startsWith(tree.filePath(QStringLiteral("vouchers/good.png")) + u'\t'));
    QCOMPARE(lines[1], tree.filePath(QStringLiteral("vouchers/locked")) + QString::fromUtf8("\t无法列出文件夹“locked”：没有读取权限。"));
    QVERIFY2(!r.sErr.contains(QStringLiteral("no *.png")), qPrintable(r.sErr));

    const Run json = runChecker2(QStringLiteral("setpriv"), asNobody + QStringList{QStringLiteral("--json"), tree.filePath(QStringLiteral("vouchers"))});
    const QJsonObject o = QJsonDocument::fromJson(json.sOut.section(u'\n', 1, 1).toUtf8()).object();
    QCOMPARE(o.value(QStringLiteral("status")).toString(), QStringLiteral("unreadable"));
    QCOMPARE(o.value(QStringLiteral("reason")).toString(), QString::fromUtf8("没有读取权限"));

    // A folder named on the command line that cannot be listed is reported alike.
    const Run named = runChecker2(QStringLiteral("setpriv"), asNobody + QStringList{tree.filePath(QStringLiteral("vouchers/locked"))});
    QCOMPARE(named.iExit, 2);
    QVERIFY(named.sOut.contains(QString::fromUtf8("无法列出文件夹“locked”")));
}

void TestChecker::pathLongerThanPathMax()
{
    QTemporaryDir tree;
    // 20 folders of 250 bytes: a path of over 5000 bytes, made one folder at a time.
    const QByteArray abName(250, 'd');
    int fd = ::open(QFile::encodeName(tree.path()).constData(), O_RDONLY | O_DIRECTORY);
    QByteArray abPath = QFile::encodeName(tree.path());
    for (int i = 0; i < 20; ++i) {
        QCOMPARE(::mkdirat(fd, abName.constData(), 0755), 0);
        const int fdNext = ::openat(fd, abName.constData(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = fdNext;
        abPath += '/' + abName;
    }
    const int fdFile = ::openat(fd, "deep.png", O_WRONLY | O_CREAT, 0644);
    const QByteArray ab = goodVoucher();
    QCOMPARE(::write(fdFile, ab.constData(), size_t(ab.size())), ab.size());
    ::close(fdFile);
    ::close(fd);
    abPath += "/deep.png";
    QVERIFY(abPath.size() > PATH_MAX);

    const Run r = runChecker({tree.path()});
    QCOMPARE(r.iExit, 0);
    QCOMPARE(r.sOut.section(u'\t', 0, 0), QString::fromUtf8(abPath));
    QVERIFY(r.sOut.contains(QString::fromUtf8("“deep.png”没有被篡改")));
    const Run named = runChecker({QString::fromUtf8(abPath)});
    QCOMPARE(named.iExit, 0);
    QVERIFY(named.sOut.contains(QString::fromUtf8("没有被篡改")));
    removeTree(tree.path()); // the toolkit cannot remove a path this long
}

void TestChecker::helpAndVersion_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("says");
    QTest::newRow("--help") << QStringLiteral("--help") << QStringLiteral("Exit status: 0");
    QTest::newRow("--version") << QStringLiteral("--version") << QStringLiteral("lumbrik-check 1.0.0.0\n");
}

void TestChecker::helpAndVersion()
{
    QFETCH(QString, option);
    QFETCH(QString, says);
    const Run r = runChecker({option});
    QCOMPARE(r.iExit, 0);
    QVERIFY2(r.sOut.contains(says), qPrintable(r.sOut));
    QVERIFY(r.sErr.isEmpty());
    if (option == u"--help")
        QVERIFY(r.sOut.startsWith(QStringLiteral("usage: lumbrik-check")));
}

void TestChecker::messagesFollowTheLocale()
{
    const Run zh = runChecker({QStringLiteral("--frobnicate")}, {QStringLiteral("LANG=zh_CN.UTF-8")});
    QCOMPARE(zh.iExit, 2);
    QVERIFY2(zh.sErr.startsWith(QString::fromUtf8("lumbrik-check：未知选项“--frobnicate”")), qPrintable(zh.sErr));
    QVERIFY(zh.sErr.contains(QString::fromUtf8("用法：")));
    const Run help = runChecker({QStringLiteral("--help")}, {QStringLiteral("LC_ALL=zh_CN.UTF-8")});
    QVERIFY(help.sOut.contains(QString::fromUtf8("退出状态")));
    // The verdicts are the program's own words, whatever the locale.
    const Run de = runChecker({sGood}, {QStringLiteral("LANG=de_DE.UTF-8")});
    QVERIFY(de.sOut.contains(QString::fromUtf8("没有被篡改")));
}

void TestChecker::progressIsRateLimitedAndSummarised()
{
    QTemporaryDir tree;
    const int iFiles = 3000;
    for (int i = 0; i < iFiles; ++i)
        writeFixture(tree.path(), QStringLiteral("v%1.png").arg(i, 4, 10, QLatin1Char('0')), i == 0 ? pngSignature() : goodVoucher());

    int master = -1, slave = -1;
    QCOMPARE(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    QProcess p;
    p.setEnvironment({QStringLiteral("LANG=C.UTF-8")});
    p.setChildProcessModifier([slave] { ::dup2(slave, STDERR_FILENO); });
    QElapsedTimer timer;
    timer.start();
    p.start(QStringLiteral(LUMBRIK_CHECK), {QStringLiteral("-j2"), tree.path()});
    QVERIFY(p.waitForStarted());
    ::close(slave);
    QByteArray abTerminal;
    for (;;) {
        pollfd pfd{master, POLLIN, 0};
        if (::poll(&pfd, 1, 50) > 0) {
            char ab[4096];
            const ssize_t n = ::read(master, ab, sizeof ab);
            if (n <= 0)
                break; // the checker has closed its end
            abTerminal.append(ab, n);
        }
        p.waitForFinished(0);
    }
    if (p.state() != QProcess::NotRunning)
        QVERIFY(p.waitForFinished(60000));
    const double dSeconds = double(timer.elapsed()) / 1000.0;
    ::close(master);
    QCOMPARE(p.exitCode(), 1);
    QCOMPARE(p.readAllStandardOutput().count('\n'), iFiles);

    const qsizetype iRedraws = abTerminal.count(" checked, ");
    QVERIFY2(iRedraws >= 1 && iRedraws <= 10 * dSeconds + 2,
             qPrintable(QStringLiteral("%1 redraws in %2 s").arg(iRedraws).arg(dSeconds)));
    QVERIFY2(abTerminal.contains("3000 checked: 2999 intact, 0 altered, 1 not vouchers, 0 unreadable, in "), abTerminal.right(200).constData());
    QVERIFY(abTerminal.endsWith(" s\r\n")); // the terminal turns the line feed into CR LF
}

QTEST_GUILESS_MAIN(TestChecker)
#include "tst_Checker.moc"
