// Paths that are no ordinary files, as Linux has them: a FIFO, and a file that
// an ordinary user may not read. Each ends in the documented verdict.

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

const QString FAILED = QString::fromUtf16(SEAL_ERROR_TEXT);

struct Verdict {
    bool bIntact;
    QString ErrMsg;
};

Verdict checkFile(const QString &sPath)
{
    std::u16string sSignCZ, sSignDw, ErrMsg;
    const bool bIntact = CheckNonTaxVoucher(sPath.toStdU16String(), sSignCZ, sSignDw, ErrMsg);
    return {bIntact, QString::fromStdU16String(ErrMsg)};
}

} // namespace

class TestHostileFiles : public QObject
{
    Q_OBJECT

private slots:
    void fifoIsRefusedWithoutBlocking();
    void unreadableFile();

private:
    QTemporaryDir dir;
};

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
