// lumbrik-check as a user runs it, natively and as lumbrik-check.exe: one
// table of cases, each the exact output, error start and exit status expected.

#include "CheckerRun.h"
#include "Fixtures.h"

#include <doctest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

using namespace lumbrik::fixtures;
using namespace lumbrik::testing;

namespace {

// The files every case may name, in a folder of their own:
//   good.png altered.png plain.png gif.png 票据.png
//   tree/{a.png, b.PNG, notes.txt, .hidden.png, sub/c.png}   empty/
//   <two folders of 120 characters>/长路径.png (a path past 260 characters)
//   list.txt (good.png, plain.png), nul-list.txt, empty-list.txt
class CheckerFiles
{
public:
    // Ascii: only names in ASCII, for a system whose file names cannot be
    // Chinese in the language tested (Wine in a locale that is not installed).
    enum class Names { Any, Ascii };

    explicit CheckerFiles(Names names)
    {
        std::string sTemp = std::filesystem::temp_directory_path().u8string();
        while (!sTemp.empty() && (sTemp.back() == '/' || sTemp.back() == '\\'))
            sTemp.pop_back();
        sDir = sTemp + separator() + "lumbrik-check-test-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
        makeFolder(sDir);
        makeFolder(path("empty"));
        write("good.png", goodVoucher());
        if (names == Names::Ascii)
            return;
        const std::string altered = pngSignature() + ihdr() + chunk("IDAT", "tampered")
            + chunk("IEND", payload(IMAGE_SEAL_U, voucherXml(u"CZ-SIG", u"DW-SIG")));
        const std::string plain = pngSignature() + ihdr() + chunk("IDAT", IMAGE_DATA) + chunk("IEND", "");
        write("altered.png", altered);
        write("plain.png", plain);
        write("gif.png", "GIF89a");
        write("票据.png", goodVoucher());
        makeFolder(path("tree"));
        makeFolder(path("tree/sub"));
        write("tree/a.png", goodVoucher());
        write("tree/b.PNG", plain);
        write("tree/notes.txt", "not a picture");
        write("tree/.hidden.png", altered);
        write("tree/sub/c.png", altered);
        makeFolder(path(std::string(120, 'l')));
        makeFolder(path(std::string(120, 'l') + '/' + std::string(120, 'm')));
        write(std::string(120, 'l') + '/' + std::string(120, 'm') + "/长路径.png", goodVoucher());
        write("list.txt", path("good.png") + '\n' + path("plain.png") + '\n');
        write("nul-list.txt", path("good.png") + '\0' + path("plain.png") + '\n');
        write("empty-list.txt", "");
    }
    ~CheckerFiles() { removeTree(sDir); }

    // The path of sRelative, written with '/', below the folder.
    std::string path(const std::string &sRelative) const
    {
        std::string s = sDir + separator() + sRelative;
        for (char &c : s)
            c = c == '/' ? separator() : c;
        return s;
    }

    // s with <name> replaced by the path of name, and <json:name> by that path as a JSON string's content.
    std::string expand(const std::string &s) const
    {
        std::string sOut;
        for (std::size_t i = 0; i < s.size();) {
            const std::size_t iEnd = s[i] == '<' ? s.find('>', i) : std::string::npos;
            if (iEnd == std::string::npos) {
                sOut += s[i++];
                continue;
            }
            const std::string sName = s.substr(i + 1, iEnd - i - 1);
            const bool bJson = sName.rfind("json:", 0) == 0;
            for (const char c : path(bJson ? sName.substr(5) : sName))
                sOut += bJson && c == '\\' ? std::string("\\\\") : std::string(1, c);
            i = iEnd + 1;
        }
        return sOut;
    }

private:
    void write(const std::string &sRelative, const std::string &ab) const { writeFile(path(sRelative), ab); }

    std::string sDir;
};

struct Case {
    const char *sName;
    std::vector<std::string> args; // expanded
    int iExit;
    std::string abOut;             // expanded; exact unless bOutStart
    std::string abErrStart;        // expanded; empty: nothing on the error stream
    bool bOutStart = false;
    std::string abInput;           // expanded
    UserLanguage language = UserLanguage::English;
};

const std::string LONG = std::string(120, 'l') + '/' + std::string(120, 'm');
const std::string SIGNATURES = "\t财政签名：CZ-SIG\t单位签名：DW-SIG\n";
const std::string FAILED_JSON = "\"intact\":false,\"error\":\"获取加密信息失败！\"";

const Case CASES[] = {
    {"intact", {"<good.png>"}, 0, "<good.png>\t自应用本签名以来，“good.png”没有被篡改。" + SIGNATURES, ""},
    {"intact, JSON", {"--json", "<good.png>"}, 0,
     "{\"file\":\"<json:good.png>\",\"status\":\"intact\",\"intact\":true,\"finance_signature\":\"CZ-SIG\",\"issuer_signature\":\"DW-SIG\"}\n", ""},
    {"altered", {"<altered.png>"}, 1, "<altered.png>\t自应用本签名以来，“altered.png”已被篡改，请停止使用。\n", ""},
    {"altered, JSON", {"--json", "<altered.png>"}, 1, "{\"file\":\"<json:altered.png>\",\"status\":\"altered\"," + FAILED_JSON + "}\n", ""},
    {"not a voucher", {"<plain.png>"}, 1, "<plain.png>\t“plain.png”不是电子票据：不是 PNG 图片，或图片中没有封存的签名数据。\n", ""},
    {"not a voucher, JSON", {"--json", "<plain.png>"}, 1,
     "{\"file\":\"<json:plain.png>\",\"status\":\"not_a_voucher\"," + FAILED_JSON + "}\n", ""},
    {"unreadable", {"<missing.png>"}, 2, "<missing.png>\t无法读取“missing.png”：文件不存在。\n", ""},
    {"unreadable, JSON", {"--json", "<missing.png>"}, 2,
     "{\"file\":\"<json:missing.png>\",\"status\":\"unreadable\"," + FAILED_JSON + ",\"reason\":\"文件不存在\"}\n", ""},
    {"explained", {"--explain", "<gif.png>"}, 1,
     "<gif.png>\t“gif.png”不是电子票据：不是 PNG 图片，或图片中没有封存的签名数据。\n"
     "\t说明：不是 PNG 文件：开头的字节为 47 49 46 38 39 61，PNG 文件以 89 50 4E 47 0D 0A 1A 0A 开头\n", ""},
    {"Chinese name", {"<票据.png>"}, 0, "<票据.png>\t自应用本签名以来，“票据.png”没有被篡改。" + SIGNATURES, ""},
    {"path past 260 characters, named", {"<" + LONG + "/长路径.png>"}, 0,
     "<" + LONG + "/长路径.png>\t自应用本签名以来，“长路径.png”没有被篡改。" + SIGNATURES, ""},
    {"path past 260 characters, found", {"<" + std::string(120, 'l') + ">"}, 0,
     "<" + LONG + "/长路径.png>\t自应用本签名以来，“长路径.png”没有被篡改。" + SIGNATURES, ""},
    {"a folder, sorted, hidden files left out, on two threads", {"-j", "2", "<tree>"}, 1,
     "<tree/a.png>\t自应用本签名以来，“a.png”没有被篡改。" + SIGNATURES
         + "<tree/b.PNG>\t“b.PNG”不是电子票据：不是 PNG 图片，或图片中没有封存的签名数据。\n"
         + "<tree/sub/c.png>\t自应用本签名以来，“c.png”已被篡改，请停止使用。\n", ""},
    {"results in the order named", {"-j2", "<missing.png>", "<good.png>", "<altered.png>"}, 2,
     "<missing.png>\t无法读取“missing.png”：文件不存在。\n<good.png>\t自应用本签名以来，“good.png”没有被篡改。" + SIGNATURES
         + "<altered.png>\t自应用本签名以来，“altered.png”已被篡改，请停止使用。\n", ""},
    {"a folder without vouchers", {"<empty>"}, 1, "", "lumbrik-check: no *.png below <empty>\n"},
    {"--files-from, a line each", {"--files-from", "<list.txt>"}, 1,
     "<good.png>\t自应用本签名以来，“good.png”没有被篡改。" + SIGNATURES
         + "<plain.png>\t“plain.png”不是电子票据：不是 PNG 图片，或图片中没有封存的签名数据。\n", ""},
    {"--files-from - with -0, and a name besides", {"<altered.png>", "-0", "--files-from", "-"}, 1,
     "<altered.png>\t自应用本签名以来，“altered.png”已被篡改，请停止使用。\n"
     "<good.png>\t自应用本签名以来，“good.png”没有被篡改。" + SIGNATURES
         + "<票据.png>\t自应用本签名以来，“票据.png”没有被篡改。" + SIGNATURES,
     "", false, std::string("<good.png>") + '\0' + "<票据.png>" + '\0'},
    {"--files-from - with lines", {"--files-from=-"}, 0, "<good.png>\t自应用本签名以来，“good.png”没有被篡改。" + SIGNATURES, "",
     false, "<good.png>\n"},
    {"--files-from, a list holding NUL bytes without -0", {"--files-from", "<nul-list.txt>"}, 2, "",
     "lumbrik-check: the list <nul-list.txt> holds NUL bytes"},
    {"--files-from, a list that cannot be read", {"--files-from", "<missing.txt>"}, 2, "",
     "lumbrik-check: cannot read the list <missing.txt>: 文件不存在\n"},
    {"--files-from, an empty list", {"--files-from", "<empty-list.txt>"}, 1, "",
     "lumbrik-check: the list <empty-list.txt> names no file\n"},
    {"-0 without a list", {"-0", "<good.png>"}, 2, "", "lumbrik-check: -0 applies only to --files-from\nusage: "},
    {"no file", {"--json"}, 2, "", "lumbrik-check: no file named\nusage: lumbrik-check"},
    {"unknown option", {"--frobnicate", "<good.png>"}, 2, "", "lumbrik-check: unknown option '--frobnicate'\nusage: "},
    {"-j 0", {"-j", "0", "<good.png>"}, 2, "", "lumbrik-check: -j needs a whole number of at least 1\n"},
    {"--help", {"--help"}, 0, "usage: lumbrik-check [--json] [--explain] [-j N] [[-0] --files-from LIST] [FILE|DIR...]\n"
                              "Checks whether electronic vouchers have been altered", "", true},
    {"--version", {"--version"}, 0, "lumbrik-check 1.0.0.0\n", ""},
};

// The checker's own messages follow the user's language; the verdicts do not.
const Case LANGUAGE_CASES[] = {
    {"messages in Chinese", {"--frobnicate"}, 2, "", "lumbrik-check：未知选项“--frobnicate”\n用法：lumbrik-check", false, "",
     UserLanguage::Chinese},
    {"help in Chinese", {"--help"}, 0, "用法：lumbrik-check [--json] [--explain] [-j N] [[-0] --files-from 列表] [文件|文件夹...]\n"
                                      "检查电子票据自加封以来是否被篡改。\n", "", true, "", UserLanguage::Chinese},
    {"verdicts in Chinese, messages in Chinese", {"<good.png>", "<empty>"}, 1,
     "<good.png>\t自应用本签名以来，“good.png”没有被篡改。" + SIGNATURES, "lumbrik-check：<empty> 下没有 *.png 文件\n", false, "",
     UserLanguage::Chinese},
    {"verdicts in Chinese, messages in English", {"<good.png>", "<empty>"}, 1,
     "<good.png>\t自应用本签名以来，“good.png”没有被篡改。" + SIGNATURES, "lumbrik-check: no *.png below <empty>\n", false, "",
     UserLanguage::English},
};

// Runs the case c on files and checks all it expects.
void check(const Case &c, const CheckerFiles &files)
{
    const std::string sCase = c.sName;
    CAPTURE(sCase);
    std::vector<std::string> args;
    for (const std::string &s : c.args)
        args.push_back(files.expand(s));
    const Run r = runChecker(args, files.expand(c.abInput), c.language);
    const std::string abOut = files.expand(c.abOut);
    CHECK(r.iExit == c.iExit);
    if (c.bOutStart)
        CHECK(r.abOut.substr(0, abOut.size()) == abOut);
    else
        CHECK(r.abOut == abOut);
    const std::string abErr = files.expand(c.abErrStart);
    CHECK(r.abErr.substr(0, abErr.size()) == abErr);
    if (abErr.empty())
        CHECK(r.abErr.empty());
}

} // namespace

TEST_CASE("lumbrik-check: outcomes, options and exit statuses")
{
    const CheckerFiles files(CheckerFiles::Names::Any);
    for (const Case &c : CASES)
        check(c, files);
}

TEST_CASE("lumbrik-check: messages in the user's language")
{
    // Where the runner cannot choose the language (under Wine it is the
    // process's own), each run takes the cases in its language.
    const CheckerFiles files(CheckerFiles::Names::Ascii);
    for (const Case &c : LANGUAGE_CASES) {
        if (canRunIn(c.language))
            check(c, files);
    }
}

TEST_CASE("lumbrik-check: a folder that cannot be listed")
{
    // Made by the test fixture checker_locked_folder: LOCKED/inner, which the
    // system refuses to list (mode 000, for a user without the right to override it).
    const std::string sLocked = LUMBRIK_LOCKED;
    const std::string sInner = sLocked + "/inner";
    REQUIRE(canList(sLocked)); // else the fixture has not run
    if (canList(sInner)) {
        MESSAGE("skipped: this user may list every folder; scripts/test-windows drops that right");
        return;
    }
    Run r = runChecker({sLocked});
    CHECK(r.iExit == 2);
    CHECK(r.abOut == sInner + "\t无法列出文件夹“inner”：没有读取权限。\n");
    CHECK(r.abErr.empty()); // a folder that holds what cannot be listed is not "without vouchers"
    r = runChecker({"--json", sInner});
    CHECK(r.iExit == 2);
    std::string sJsonPath;
    for (const char c : sInner)
        sJsonPath += c == '\\' ? std::string("\\\\") : std::string(1, c);
    CHECK(r.abOut == "{\"file\":\"" + sJsonPath + "\",\"status\":\"unreadable\",\"intact\":false,\"reason\":\"没有读取权限\"}\n");
}

#ifdef _WIN32
TEST_CASE("lumbrik-check.exe: what only Windows has")
{
    const CheckerFiles files(CheckerFiles::Names::Ascii);
    const std::string sGood = files.path("good.png");
    const std::string sIntact = sGood + "\t自应用本签名以来，“good.png”没有被篡改。" + SIGNATURES;

    SUBCASE("a file that another program is writing is not read half-written")
    {
        const FileWriter writer(sGood);
        const Run r = runChecker({sGood});
        CHECK(r.iExit == 2);
        CHECK(r.abOut == sGood + "\t无法读取“good.png”：文件正被其他程序使用。\n");
    }
    SUBCASE("a list in UTF-16 with its byte-order mark, as PowerShell writes one, with CR LF")
    {
        std::string abList = "\xFF\xFE";
        for (const char c : sGood + "\r\n")
            abList += std::string{c, '\0'}; // the path is ASCII
        const Run r = runChecker({"--files-from", "-"}, abList);
        CHECK(r.iExit == 0);
        CHECK(r.abOut == sIntact);
    }
    SUBCASE("a list in UTF-8 with its byte-order mark, with CR LF")
    {
        const Run r = runChecker({"--files-from", "-"}, "\xEF\xBB\xBF" + sGood + "\r\n" + sGood + "\r\n");
        CHECK(r.iExit == 0);
        CHECK(r.abOut == sIntact + sIntact);
    }
}
#endif
