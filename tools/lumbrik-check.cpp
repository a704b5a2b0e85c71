// lumbrik-check: checks voucher files from the command line, one line per file,
// in the order named, checking several at once.

#include "CheckerPlatform.h"
#include "FileWalk.h"
#include "Messages.h"
#include "Output.h"
#include "Text.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace lumbrik::checker {
namespace {

constexpr int EXIT_ALL_INTACT = 0;
constexpr int EXIT_NOT_ALL_INTACT = 1;
constexpr int EXIT_TROUBLE = 2; // a usage error, or a file or folder that could not be read
constexpr std::chrono::milliseconds REDRAW_INTERVAL(100);
constexpr char VERSION[] = "lumbrik-check 1.0.0.0\n";

struct Options {
    bool bJson = false;
    bool bExplain = false;
    bool bHelp = false;
    bool bVersion = false;
    bool bNul = false;                    // names in lists end in NUL bytes
    int iJobs = 0;                        // 0: one per processor
    std::vector<std::string> paths;       // exactly as given: a file name need not be UTF-8
    std::vector<std::size_t> lists;       // which of paths are lists of names (--files-from)
};

// What a worker hands back: the status and its lines, ready to print.
struct Result {
    Status status = Status::Unreadable;
    std::string sLines;
};

// A whole number of at least 1, or 0.
int jobCount(const std::string &s)
{
    if (s.empty() || s.size() > 6 || !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return 0;
    return std::stoi(s);
}

// Parses the arguments; false with a message on a usage error.
bool parseArguments(const std::vector<std::string> &args, Options &options, std::string &sError)
{
    bool bOptionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &abArg = args[i];
        if (bOptionsEnded || abArg.empty() || abArg[0] != '-' || abArg == "-") {
            options.paths.push_back(abArg);
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
        } else if (abArg == "-0") {
            options.bNul = true;
        } else if (abArg == "--files-from" || abArg.rfind("--files-from=", 0) == 0) {
            if (abArg == "--files-from" && i + 1 == args.size()) {
                sError = format(message(Message::NeedsArgument), {"--files-from"});
                return false;
            }
            options.lists.push_back(options.paths.size());
            options.paths.push_back(abArg == "--files-from" ? args[++i] : abArg.substr(13));
        } else if (abArg.rfind("-j", 0) == 0) {
            options.iJobs = jobCount(abArg.size() > 2 ? abArg.substr(2) : i + 1 < args.size() ? args[++i] : std::string());
            if (options.iJobs < 1) {
                sError = std::string(message(Message::JobsNeedNumber));
                return false;
            }
        } else {
            sError = format(message(Message::UnknownOption), {printableName(abArg, true)});
            return false;
        }
    }
    if (options.bNul && options.lists.empty())
        sError = std::string(message(Message::NulWithoutList));
    else if (options.paths.empty() && !options.bHelp && !options.bVersion)
        sError = std::string(message(Message::NoFileNamed));
    return sError.empty();
}

// Splits abText, a list read by readWhole, into the names it holds: one a
// line, or each ended by a NUL byte with bNul. Empty names are left out. False
// when a list of lines holds a NUL byte, which no name can.
bool splitNames(const std::string &abText, bool bNul, std::vector<std::string> &names)
{
    if (!bNul && abText.find('\0') != std::string::npos)
        return false;
    const char cEnd = bNul ? '\0' : '\n';
    for (std::size_t iStart = 0; iStart < abText.size();) {
        const std::size_t iEnd = std::min(abText.find(cEnd, iStart), abText.size());
        if (iEnd > iStart)
            names.push_back(abText.substr(iStart, iEnd - iStart));
        iStart = iEnd + 1;
    }
    return true;
}

// The paths to check: those named, with each list replaced by the names it
// holds. False, with a message, when a list cannot be read or holds no name.
bool expandLists(const Options &options, std::vector<std::string> &paths, std::string &sError, bool &bEmptyList)
{
    for (std::size_t i = 0; i < options.paths.size(); ++i) {
        if (std::find(options.lists.begin(), options.lists.end(), i) == options.lists.end()) {
            paths.push_back(options.paths[i]);
            continue;
        }
        const std::string &abList = options.paths[i];
        const std::string sList = printableName(abList, true);
        std::string abText;
        const Failure failure = platform::readWhole(abList, abText);
        if (failure.trouble != Trouble::None) {
            sError = format(message(Message::CannotReadList), {sList, unreadableReason(failure)});
            return false;
        }
        std::vector<std::string> names;
        if (!splitNames(abText, options.bNul, names)) {
            sError = format(message(Message::NulInList), {sList});
            return false;
        }
        if (names.empty()) {
            platform::write(Stream::Err, format(message(Message::ListNamesNothing), {sList}));
            bEmptyList = true;
        }
        paths.insert(paths.end(), names.begin(), names.end());
    }
    return true;
}

// Checks one file or reports one folder, formatting included.
Result checkOne(const WalkEntry &entry, const Options &options)
{
    Outcome o;
    o.abPath = entry.abPath;
    o.bFolder = entry.bFolder;
    if (entry.bFolder) {
        o.sUnreadable = unreadableReason(entry.failure);
    } else {
        const OpenedFile opened = platform::openRegularFile(entry.abPath);
        if (opened.file) {
            std::u16string sSignCZ, sSignDw, ErrMsg;
            o.iSize = opened.iSize;
            o.report = checkVoucherSource(*opened.file, sSignCZ, sSignDw, ErrMsg,
                                          options.bExplain ? Detail::Explain : Detail::Verdict);
            o.sSignCZ = utf8(sSignCZ);
            o.sSignDw = utf8(sSignDw);
            o.ErrMsg = utf8(ErrMsg);
        } else {
            o.sUnreadable = unreadableReason(opened.failure);
            o.ErrMsg = utf8(SEAL_ERROR_TEXT);
            o.report.fault = SealFault::CannotOpen;
        }
    }
    return {statusOf(o), options.bJson ? jsonLine(o, options.bExplain) : textLines(o, options.bExplain)};
}

// Files done of the total, and the rate, on a terminal's error stream: redrawn
// at most ten times a second, and followed by a summary.
class Progress
{
    using Clock = std::chrono::steady_clock;

public:
    explicit Progress(std::size_t iTotal) : iTotal(iTotal), bShown(iTotal > 1 && platform::isTerminal(Stream::Err)) {}

    // Takes the progress line off the terminal before a result is printed.
    void clear()
    {
        if (bOnScreen)
            platform::eraseLine(Stream::Err);
        bOnScreen = false;
    }

    void show(std::size_t iDone)
    {
        const Clock::time_point now = Clock::now();
        if (!bShown || (bDrawn && now - drawnAt < REDRAW_INTERVAL && iDone < iTotal))
            return;
        clear();
        platform::flush(Stream::Out);
        drawnAt = now;
        bDrawn = true;
        platform::write(Stream::Err, format(message(Message::Progress), {number(std::int64_t(iDone)), number(std::int64_t(iTotal)),
                                                                          fixed(double(iDone) / seconds(), 0)}));
        bOnScreen = true;
    }

    // What the run found, once it is over.
    void summarise(const std::array<std::size_t, 4> &counts)
    {
        if (!bShown)
            return;
        clear();
        std::vector<std::string> n;
        for (const std::size_t i : {iTotal, counts[0], counts[1], counts[2], counts[3]})
            n.push_back(number(std::int64_t(i)));
        platform::write(Stream::Err, format(message(Message::Summary), {n[0], n[1], n[2], n[3], n[4], fixed(seconds(), 2)}));
    }

private:
    // Seconds since the start, at least a millisecond.
    double seconds() const
    {
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        return double(std::max<std::int64_t>(elapsed, 1)) / 1000.0;
    }

    std::size_t iTotal;
    bool bShown;
    bool bOnScreen = false;
    bool bDrawn = false;
    Clock::time_point start = Clock::now();
    Clock::time_point drawnAt;
};

// Checks entries on iJobs threads, formatting included, and hands each result
// to print in the order of entries.
template <class Print>
void checkAll(const std::vector<WalkEntry> &entries, int iJobs, const Options &options, Print print)
{
    const std::size_t n = entries.size();
    std::vector<Result> results(n);
    std::vector<char> done(n, 0);
    std::mutex mutex;
    std::condition_variable ready;
    std::atomic<std::size_t> next{0};

    auto work = [&] {
        for (std::size_t i; (i = next++) < n;) {
            Result r = checkOne(entries[i], options);
            const std::lock_guard<std::mutex> lock(mutex);
            results[i] = std::move(r);
            done[i] = 1;
            ready.notify_all();
        }
    };
    std::vector<std::thread> workers;
    for (std::size_t k = 0; k < std::min<std::size_t>(std::size_t(iJobs), n); ++k)
        workers.emplace_back(work);
    for (std::size_t i = 0; i < n; ++i) {
        Result r;
        {
            std::unique_lock<std::mutex> lock(mutex);
            ready.wait(lock, [&] { return done[i] != 0; });
            r = std::move(results[i]);
        }
        print(i, r);
    }
    for (std::thread &t : workers)
        t.join();
}

} // namespace

int run(const std::vector<std::string> &args)
{
    Options options;
    std::string sError;
    if (!parseArguments(args, options, sError)) {
        platform::write(Stream::Err, sError);
        platform::write(Stream::Err, message(Message::Usage));
        return EXIT_TROUBLE;
    }
    if (options.bHelp || options.bVersion) {
        platform::write(Stream::Out, options.bHelp ? std::string(message(Message::Usage)) + std::string(message(Message::Help)) : VERSION);
        platform::flush(Stream::Out);
        return EXIT_ALL_INTACT;
    }
    std::vector<std::string> paths;
    bool bEmptyList = false;
    if (!expandLists(options, paths, sError, bEmptyList)) {
        platform::write(Stream::Err, sError);
        return EXIT_TROUBLE;
    }

    const Walk walk = walkPaths(paths);
    for (const std::string &abFolder : walk.emptyFolders)
        platform::write(Stream::Err, format(message(Message::NoPngBelow), {printableName(abFolder, true)}));
    const int iJobs = options.iJobs > 0 ? options.iJobs : std::max(1, int(std::thread::hardware_concurrency()));

    Progress progress(walk.entries.size());
    std::array<std::size_t, 4> counts{}; // by status
    checkAll(walk.entries, iJobs, options, [&](std::size_t i, const Result &r) {
        ++counts[std::size_t(r.status)];
        progress.clear();
        platform::write(Stream::Out, r.sLines);
        progress.show(i + 1);
    });
    platform::flush(Stream::Out);
    progress.summarise(counts);
    platform::flush(Stream::Err);

    if (counts[std::size_t(Status::Unreadable)] > 0)
        return EXIT_TROUBLE;
    const bool bAllIntact = walk.emptyFolders.empty() && !bEmptyList && counts[std::size_t(Status::Intact)] == walk.entries.size();
    return bAllIntact ? EXIT_ALL_INTACT : EXIT_NOT_ALL_INTACT;
}

} // namespace lumbrik::checker
