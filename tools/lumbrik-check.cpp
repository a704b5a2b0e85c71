// lumbrik-check: checks voucher files from the command line, one line per file,
// in the order named, checking several at once.

#include "FileWalk.h"
#include "Output.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocale>
#include <QThread>
#include <QTranslator>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int EXIT_ALL_INTACT = 0;
constexpr int EXIT_NOT_ALL_INTACT = 1;
constexpr int EXIT_TROUBLE = 2;      // a usage error, or a file or folder that could not be read
constexpr qint64 REDRAW_INTERVAL_MS = 100;

QString tr(const char *sText)
{
    return QCoreApplication::translate("lumbrik-check", sText);
}

struct Options {
    bool bJson = false;
    bool bExplain = false;
    bool bHelp = false;
    bool bVersion = false;
    int iJobs = 0;           // 0: one per processor
    QList<QByteArray> paths; // exactly as given: a file name need not be UTF-8
};

// What a worker hands back: the status and its lines, ready to print.
struct Result {
    lumbrik::Status status = lumbrik::Status::Unreadable;
    QByteArray abLines;
};

void write(FILE *stream, const QString &s)
{
    const QByteArray ab = s.toUtf8();
    std::fwrite(ab.constData(), 1, size_t(ab.size()), stream);
}

QString usage()
{
    return tr("usage: lumbrik-check [--json] [--explain] [-j N] FILE|DIR...\n");
}

QString help()
{
    return usage()
        + tr("Checks whether electronic vouchers have been altered since they were sealed.\n"
             "A folder stands for every *.png below it.\n"
             "\n"
             "  --json       one JSON object per file instead of a line of text\n"
             "  --explain    say why, with byte offsets\n"
             "  -j N         check N files at once (default: one per processor)\n"
             "  --help       show this help and exit\n"
             "  --version    show the version and exit\n"
             "\n"
             "Exit status: 0 if every file is intact, 1 if any is altered or not a voucher,\n"
             "2 for a usage error or a file or folder that could not be read.\n");
}

// Parses the arguments; false with a message on a usage error.
bool parseArguments(const QList<QByteArray> &args, Options &options, QString &sError)
{
    bool bOptionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QByteArray &abArg = args[i];
        if (bOptionsEnded || !abArg.startsWith('-') || abArg == "-") {
            options.paths << abArg;
        } else if (abArg == "--") {
            bOptionsEnded = true;
        } else if (abArg == "--json") {
            options.bJson = true;
        } else if (abArg == "--explain") {
            options.bExplain = true;
        } else if (abArg == "--help") {
            options.bHelp = true;
        } else if (abArg == "--version") {
            options.bVersion = true;
        } else if (abArg.startsWith("-j")) {
            const QByteArray abCount = abArg.size() > 2 ? abArg.mid(2) : args.value(++i);
            bool bNumber = false;
            options.iJobs = abCount.toInt(&bNumber);
            if (!bNumber || options.iJobs < 1) {
                sError = tr("lumbrik-check: -j needs a whole number of at least 1\n");
                return false;
            }
        } else {
            sError = tr("lumbrik-check: unknown option '%1'\n").arg(lumbrik::printableName(abArg, true));
            return false;
        }
    }
    if (options.paths.isEmpty() && !options.bHelp && !options.bVersion)
        sError = tr("lumbrik-check: no file named\n");
    return sError.isEmpty();
}

// Checks one file or reports one folder, formatting included.
Result checkOne(const lumbrik::WalkEntry &entry, const Options &options)
{
    lumbrik::Outcome o;
    o.abPath = entry.abPath;
    o.bFolder = entry.bFolder;
    if (entry.bFolder) {
        o.sUnreadable = lumbrik::unreadableReason(entry.iErrno, false);
    } else {
        const lumbrik::OpenedFile opened = lumbrik::openRegularFile(entry.abPath);
        if (opened.file) {
            std::u16string sSignCZ, sSignDw, ErrMsg;
            o.iSize = opened.iSize;
            o.report = lumbrik::checkVoucherSource(*opened.file, sSignCZ, sSignDw, ErrMsg,
                                                   options.bExplain ? lumbrik::Detail::Explain : lumbrik::Detail::Verdict);
            o.sSignCZ = QString::fromStdU16String(sSignCZ);
            o.sSignDw = QString::fromStdU16String(sSignDw);
            o.ErrMsg = QString::fromStdU16String(ErrMsg);
        } else {
            o.sUnreadable = lumbrik::unreadableReason(opened.iErrno, opened.bNotRegular);
            o.ErrMsg = QString::fromUtf16(lumbrik::SEAL_ERROR_TEXT);
            o.report.fault = lumbrik::SealFault::CannotOpen;
        }
    }
    const QString sLines = options.bJson ? lumbrik::jsonLine(o, options.bExplain) : lumbrik::textLines(o, options.bExplain);
    return {lumbrik::statusOf(o), sLines.toUtf8()};
}

// Files done of the total, and the rate, on a terminal's stderr: redrawn at
// most ten times a second, and followed by a summary.
class Progress
{
public:
    explicit Progress(qsizetype iTotal) : iTotal(iTotal), bShown(iTotal > 1 && isatty(STDERR_FILENO)) { timer.start(); }

    // Takes the progress line off the terminal before a result is printed.
    void clear()
    {
        if (bOnScreen)
            std::fputs("\r\033[K", stderr);
        bOnScreen = false;
    }

    void show(qsizetype iDone)
    {
        const qint64 iNow = timer.elapsed();
        if (!bShown || (iDrawnAt >= 0 && iNow - iDrawnAt < REDRAW_INTERVAL_MS && iDone < iTotal))
            return;
        clear();
        iDrawnAt = iNow;
        write(stderr, tr("%1/%2 checked, %3 files/s").arg(iDone).arg(iTotal).arg(rate(iDone), 0, 'f', 0));
        bOnScreen = true;
    }

    // What the run found, once it is over.
    void summarise(const std::array<qsizetype, 4> &counts)
    {
        if (!bShown)
            return;
        clear();
        write(stderr, tr("%1 checked: %2 intact, %3 altered, %4 not vouchers, %5 unreadable, in %6 s\n")
                          .arg(iTotal)
                          .arg(counts[0])
                          .arg(counts[1])
                          .arg(counts[2])
                          .arg(counts[3])
                          .arg(double(timer.elapsed()) / 1000.0, 0, 'f', 2));
    }

private:
    double rate(qsizetype iDone) const { return double(iDone) / (double(qMax<qint64>(timer.elapsed(), 1)) / 1000.0); }

    qsizetype iTotal;
    bool bShown;
    bool bOnScreen = false;
    qint64 iDrawnAt = -1;
    QElapsedTimer timer;
};

// Checks entries on iJobs threads, formatting included, and hands each result
// to print in the order of entries.
template <class Print>
void checkAll(const QList<lumbrik::WalkEntry> &entries, int iJobs, const Options &options, Print print)
{
    const size_t n = size_t(entries.size());
    std::vector<Result> results(n);
    std::vector<char> done(n, 0);
    std::mutex mutex;
    std::condition_variable ready;
    std::atomic<size_t> next{0};

    auto work = [&] {
        for (size_t i; (i = next++) < n;) {
            Result r = checkOne(entries[qsizetype(i)], options);
            const std::lock_guard<std::mutex> lock(mutex);
            results[i] = std::move(r);
            done[i] = 1;
            ready.notify_all();
        }
    };
    std::vector<std::thread> workers;
    for (int k = 0; k < qMin<qsizetype>(iJobs, entries.size()); ++k)
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

// The program's own messages follow the locale; the verdicts stay Chinese.
void loadTranslation(QCoreApplication &app)
{
    auto *pTranslator = new QTranslator(&app);
    if (pTranslator->load(QLocale(), QStringLiteral("lumbrik-check"), QStringLiteral("_"), QStringLiteral(":/i18n")))
        QCoreApplication::installTranslator(pTranslator);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.0.0"));
    loadTranslation(app);
    QList<QByteArray> args;
    for (int i = 1; i < argc; ++i)
        args << QByteArray(argv[i]);
    Options options;
    QString sError;
    if (!parseArguments(args, options, sError)) {
        write(stderr, sError);
        write(stderr, usage());
        return EXIT_TROUBLE;
    }
    if (options.bHelp || options.bVersion) {
        write(stdout, options.bHelp ? help() : QStringLiteral("lumbrik-check 1.0.0.0\n"));
        return EXIT_ALL_INTACT;
    }

    const lumbrik::Walk walk = lumbrik::walkPaths(options.paths);
    for (const QByteArray &abFolder : walk.emptyFolders)
        write(stderr, tr("lumbrik-check: no *.png below %1\n").arg(lumbrik::printableName(abFolder, true)));
    const int iJobs = options.iJobs > 0 ? options.iJobs : qMax(1, QThread::idealThreadCount());

    Progress progress(walk.entries.size());
    std::array<qsizetype, 4> counts{}; // by status
    checkAll(walk.entries, iJobs, options, [&](qsizetype i, const Result &r) {
        ++counts[size_t(r.status)];
        progress.clear();
        std::fwrite(r.abLines.constData(), 1, size_t(r.abLines.size()), stdout);
        progress.show(i + 1);
    });
    std::fflush(stdout);
    progress.summarise(counts);

    if (counts[size_t(lumbrik::Status::Unreadable)] > 0)
        return EXIT_TROUBLE;
    const bool bAllIntact = walk.emptyFolders.isEmpty() && counts[size_t(lumbrik::Status::Intact)] == walk.entries.size();
    return bAllIntact ? EXIT_ALL_INTACT : EXIT_NOT_ALL_INTACT;
}
