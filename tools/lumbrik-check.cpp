// lumbrik-check: checks voucher files from the command line, one line per file,
// in the order named, checking several at once.

#include "Explanation.h"
#include "SealCheck.h"
#include "VerdictText.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const char USAGE[] = "usage: lumbrik-check [--json] [--explain] [-j N] FILE|DIR...\n";

struct Options {
    bool bJson = false;
    bool bExplain = false;
    int iJobs = 0;           // 0: one per processor
    QStringList paths;
};

struct Outcome {
    QString sFile;
    bool bIntact = false;
    QString sSignCZ, sSignDw, ErrMsg;
    lumbrik::SealReport report;
};

// What a worker hands back: the verdict and its lines, ready to print.
struct Result {
    bool bIntact = false;
    QByteArray abLines;
};

void write(FILE *stream, const QString &s)
{
    const QByteArray ab = s.toUtf8();
    std::fwrite(ab.constData(), 1, size_t(ab.size()), stream);
}

// Keeps a signature on its one line: line breaks, tabs and backslashes escaped.
QString escapeLine(const QString &s)
{
    QString sOut;
    sOut.reserve(s.size());
    for (const QChar c : s) {
        switch (c.unicode()) {
        case '\\': sOut += QLatin1String("\\\\"); break;
        case '\n': sOut += QLatin1String("\\n"); break;
        case '\r': sOut += QLatin1String("\\r"); break;
        case '\t': sOut += QLatin1String("\\t"); break;
        default: sOut += c;
        }
    }
    return sOut;
}

QString jsonString(const QString &s)
{
    QString sOut = QStringLiteral("\"");
    for (const QChar c : s) {
        if (c == u'"' || c == u'\\')
            sOut += u'\\' + QString(c);
        else if (c.unicode() < 0x20)
            sOut += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            sOut += c;
    }
    return sOut + u'"';
}

QString jsonMember(const char *sName, const QString &sJsonValue)
{
    return QStringLiteral(",\"%1\":").arg(QLatin1String(sName)) + sJsonValue;
}

QString textLines(const Outcome &o, bool bExplain)
{
    QString sLine = o.sFile + u'\t' + lumbrik::verdictText(o.bIntact, o.sFile);
    if (o.bIntact) {
        sLine += QString::fromUtf8("\t财政签名：") + escapeLine(o.sSignCZ);
        sLine += QString::fromUtf8("\t单位签名：") + escapeLine(o.sSignDw);
    }
    sLine += u'\n';
    if (bExplain) {
        const lumbrik::Explanation e = lumbrik::explain(o.sFile, o.report, o.ErrMsg);
        sLine += QString::fromUtf8("\t说明：") + escapeLine((QStringList{e.sText} + e.notes).join(QString::fromUtf8("；"))) + u'\n';
    }
    return sLine;
}

QString jsonLine(const Outcome &o, bool bExplain)
{
    QString sLine = QStringLiteral("{\"file\":") + jsonString(o.sFile)
        + jsonMember("intact", o.bIntact ? QStringLiteral("true") : QStringLiteral("false"));
    if (o.bIntact) {
        sLine += jsonMember("finance_signature", jsonString(o.sSignCZ));
        sLine += jsonMember("issuer_signature", jsonString(o.sSignDw));
    } else {
        sLine += jsonMember("error", jsonString(o.ErrMsg));
    }
    if (bExplain) {
        const lumbrik::Explanation e = lumbrik::explain(o.sFile, o.report, o.ErrMsg);
        sLine += jsonMember("cause", jsonString(e.sCause));
        if (o.report.iOffset >= 0 && !o.bIntact)
            sLine += jsonMember("offset", QString::number(o.report.iOffset));
        sLine += jsonMember("explanation", jsonString(e.sText));
        if (o.report.fault == lumbrik::SealFault::SealMismatch || o.bIntact) {
            sLine += jsonMember("stored_seal", jsonString(o.report.sStored));
            sLine += jsonMember("computed_seal", jsonString(o.report.sComputed));
        }
        if (o.bIntact) {
            QStringList notes;
            for (const QString &sNote : e.notes)
                notes << jsonString(sNote);
            sLine += jsonMember("notes", u'[' + notes.join(u',') + u']');
        }
    }
    return sLine + QStringLiteral("}\n");
}

// Parses the arguments; false with a message on a usage error.
bool parseArguments(const QStringList &args, Options &options, QString &sError)
{
    bool bOptionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &sArg = args[i];
        if (bOptionsEnded || !sArg.startsWith(u'-') || sArg == u"-") {
            options.paths << sArg;
        } else if (sArg == u"--") {
            bOptionsEnded = true;
        } else if (sArg == u"--json") {
            options.bJson = true;
        } else if (sArg == u"--explain") {
            options.bExplain = true;
        } else if (sArg.startsWith(u"-j")) {
            const QString sCount = sArg.size() > 2 ? sArg.mid(2) : args.value(++i);
            bool bNumber = false;
            options.iJobs = sCount.toInt(&bNumber);
            if (!bNumber || options.iJobs < 1) {
                sError = QStringLiteral("lumbrik-check: -j needs a whole number of at least 1\n");
                return false;
            }
        } else {
            sError = QStringLiteral("lumbrik-check: unknown option '%1'\n").arg(sArg);
            return false;
        }
    }
    if (options.paths.isEmpty())
        sError = QStringLiteral("lumbrik-check: no file named\n");
    return sError.isEmpty();
}

// The files to check: each file named, and every *.png below each folder named, sorted.
QStringList collectFiles(const QStringList &paths, bool &bEmptyFolder)
{
    QStringList files;
    for (const QString &sPath : paths) {
        if (!QFileInfo(sPath).isDir()) {
            files << sPath;
            continue;
        }
        QStringList found;
        QDirIterator it(sPath, {QStringLiteral("*.png")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            found << it.next();
        if (found.isEmpty()) {
            write(stderr, QStringLiteral("lumbrik-check: no *.png below %1\n").arg(sPath));
            bEmptyFolder = true;
        }
        found.sort();
        files += found;
    }
    return files;
}

Result checkOne(const QString &sFile, const Options &options)
{
    Outcome o;
    o.sFile = sFile;
    o.report = lumbrik::checkVoucherFile(sFile, o.sSignCZ, o.sSignDw, o.ErrMsg,
                                         options.bExplain ? lumbrik::Detail::Explain : lumbrik::Detail::Verdict);
    o.bIntact = o.report.fault == lumbrik::SealFault::None;
    const QString sLines = options.bJson ? jsonLine(o, options.bExplain) : textLines(o, options.bExplain);
    return {o.bIntact, sLines.toUtf8()};
}

// Files done of the total, and the rate, on a terminal's stderr.
class Progress
{
public:
    explicit Progress(qsizetype iTotal) : iTotal(iTotal), bShown(iTotal > 1 && isatty(STDERR_FILENO)) { timer.start(); }

    // Takes the progress line off the terminal before a result is printed.
    void clear() const
    {
        if (bShown)
            std::fputs("\r\033[K", stderr);
    }

    void show(qsizetype iDone) const
    {
        if (!bShown)
            return;
        const double dSeconds = qMax<qint64>(timer.elapsed(), 1) / 1000.0;
        std::fprintf(stderr, "\r%lld/%lld checked, %.0f files/s", qlonglong(iDone), qlonglong(iTotal), double(iDone) / dSeconds);
    }

private:
    qsizetype iTotal;
    bool bShown;
    QElapsedTimer timer;
};

// Checks files on iJobs threads, formatting included, and hands each result to
// print in the order of files.
template <class Print>
void checkAll(const QStringList &files, int iJobs, const Options &options, Print print)
{
    const size_t n = size_t(files.size());
    std::vector<Result> results(n);
    std::vector<char> done(n, 0);
    std::mutex mutex;
    std::condition_variable ready;
    std::atomic<size_t> next{0};

    auto work = [&] {
        for (size_t i; (i = next++) < n;) {
            Result r = checkOne(files[qsizetype(i)], options);
            const std::lock_guard<std::mutex> lock(mutex);
            results[i] = std::move(r);
            done[i] = 1;
            ready.notify_all();
        }
    };
    std::vector<std::thread> workers;
    for (int k = 0; k < qMin<qsizetype>(iJobs, files.size()); ++k)
        workers.emplace_back(work);
    for (size_t i = 0; i < n; ++i) {
        Result r;
        {
            std::unique_lock<std::mutex> lock(mutex);
            ready.wait(lock, [&] { return done[i] != 0; });
            r = std::move(results[i]);
        }
        print(qsizetype(i), r);
    }
    for (std::thread &t : workers)
        t.join();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Options options;
    QString sError;
    if (!parseArguments(app.arguments().mid(1), options, sError)) {
        write(stderr, sError);
        std::fputs(USAGE, stderr);
        return 2;
    }
    bool bEmptyFolder = false;
    const QStringList files = collectFiles(options.paths, bEmptyFolder);
    const int iJobs = options.iJobs > 0 ? options.iJobs : qMax(1, QThread::idealThreadCount());

    const Progress progress(files.size());
    bool bAllIntact = !bEmptyFolder;
    checkAll(files, iJobs, options, [&](qsizetype i, const Result &r) {
        bAllIntact = bAllIntact && r.bIntact;
        progress.clear();
        std::fwrite(r.abLines.constData(), 1, size_t(r.abLines.size()), stdout);
        progress.show(i + 1);
    });
    std::fflush(stdout);
    progress.clear();
    return bAllIntact ? 0 : 1;
}
