#include "Messages.h"

#include "CheckerPlatform.h"

namespace lumbrik::checker {
namespace {

// A few dozen lines in two languages: one table, kept next to each other so
// that a change to one is seen beside the other.
struct Texts {
    Message id;
    const char *sEnglish;
    const char *sChinese;
};

constexpr Texts TEXTS[] = {
    {Message::Usage,
     "usage: lumbrik-check [--json] [--explain] [-j N] [[-0] --files-from LIST] [FILE|DIR...]\n",
     "用法：lumbrik-check [--json] [--explain] [-j N] [[-0] --files-from 列表] [文件|文件夹...]\n"},
    {Message::Help,
     "Checks whether electronic vouchers have been altered since they were sealed.\n"
     "A folder stands for every *.png below it.\n"
     "\n"
     "  --json             one JSON object per file instead of a line of text\n"
     "  --explain          say why, with byte offsets\n"
     "  -j N               check N files at once (default: one per processor)\n"
     "  --files-from LIST  also check the files and folders named in LIST, one a\n"
     "                     line; - reads the names from standard input\n"
     "  -0                 names in LIST end in a NUL byte instead (find -print0)\n"
     "  --help             show this help and exit\n"
     "  --version          show the version and exit\n"
     "\n"
     "Exit status: 0 if every file is intact, 1 if any is altered or not a voucher,\n"
     "2 for a usage error or a file or folder that could not be read.\n",
     "检查电子票据自加封以来是否被篡改。\n"
     "文件夹代表其下所有的 *.png 文件。\n"
     "\n"
     "  --json             每个文件输出一个 JSON 对象，而不是一行文字\n"
     "  --explain          说明原因，附字节偏移\n"
     "  -j N               同时检查 N 个文件（默认：每个处理器一个）\n"
     "  --files-from 列表  也检查列表中的文件和文件夹，每行一个；\n"
     "                     - 表示从标准输入读取\n"
     "  -0                 列表中的名称以 NUL 字节分隔（find -print0）\n"
     "  --help             显示本帮助并退出\n"
     "  --version          显示版本并退出\n"
     "\n"
     "退出状态：所有文件都完好时为 0；有文件被篡改或不是电子票据时为 1；\n"
     "用法错误或有文件、文件夹无法读取时为 2。\n"},
    {Message::JobsNeedNumber, "lumbrik-check: -j needs a whole number of at least 1\n",
     "lumbrik-check：-j 需要一个不小于 1 的整数\n"},
    {Message::UnknownOption, "lumbrik-check: unknown option '%1'\n", "lumbrik-check：未知选项“%1”\n"},
    {Message::NeedsArgument, "lumbrik-check: %1 needs a file name\n", "lumbrik-check：%1 需要一个文件名\n"},
    {Message::NulWithoutList, "lumbrik-check: -0 applies only to --files-from\n", "lumbrik-check：-0 只能与 --files-from 一起使用\n"},
    {Message::NoFileNamed, "lumbrik-check: no file named\n", "lumbrik-check：没有指定文件\n"},
    {Message::CannotReadList, "lumbrik-check: cannot read the list %1: %2\n", "lumbrik-check：无法读取列表 %1：%2\n"},
    {Message::NulInList, "lumbrik-check: the list %1 holds NUL bytes; with -0 they separate names\n",
     "lumbrik-check：列表 %1 中有 NUL 字节；加上 -0 时它们分隔名称\n"},
    {Message::ListNamesNothing, "lumbrik-check: the list %1 names no file\n", "lumbrik-check：列表 %1 中没有文件名\n"},
    {Message::NoPngBelow, "lumbrik-check: no *.png below %1\n", "lumbrik-check：%1 下没有 *.png 文件\n"},
    {Message::Progress, "%1/%2 checked, %3 files/s", "已检查 %1/%2，每秒 %3 个文件"},
    {Message::Summary, "%1 checked: %2 intact, %3 altered, %4 not vouchers, %5 unreadable, in %6 s\n",
     "共检查 %1 个：完好 %2 个，被篡改 %3 个，不是电子票据 %4 个，无法读取 %5 个，用时 %6 秒\n"},
};

} // namespace

std::string_view message(Message m)
{
    static const bool bChinese = platform::userLanguage() == Language::Chinese;
    for (const Texts &t : TEXTS) {
        if (t.id == m)
            return bChinese ? t.sChinese : t.sEnglish;
    }
    return {};
}

} // namespace lumbrik::checker
