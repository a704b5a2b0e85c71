// Reading a file whole for a window: every reason it cannot be read is told
// apart from a file that was read, and other programs' readers do not stand in
// the way.

#include "Check.h"
#include "FileBytes.h"
#include "Voucher.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>

using namespace lumbrik;
using namespace lumbrik::fixtures;

namespace {

constexpr std::int64_t NO_LIMIT = std::int64_t(1) << 40;

} // namespace

TEST_CASE("a file is read whole, or not at all with the reason")
{
    TempDir dir;
    const std::string ab = goodVoucher();
    const std::u16string sVoucher = dir.write("voucher.png", ab);
    const std::u16string sEmpty = dir.write("empty.png", "");
    std::filesystem::create_directory(dir.path() / "folder.png");
    struct Row {
        const char *sName;
        std::u16string sPath;
        std::int64_t iMaxSize;
        ReadError error;
        std::string abRead;
    };
    const Row rows[] = {
        {"a voucher", sVoucher, NO_LIMIT, ReadError::None, ab},
        {"exactly as large as allowed", sVoucher, std::int64_t(ab.size()), ReadError::None, ab},
        {"one byte larger than allowed", sVoucher, std::int64_t(ab.size()) - 1, ReadError::TooLarge, ""},
        {"an empty file", sEmpty, NO_LIMIT, ReadError::None, ""},
        {"nothing there", (dir.path() / "gone.png").u16string(), NO_LIMIT, ReadError::Missing, ""},
        {"in a folder that is not there", (dir.path() / "gone" / "v.png").u16string(), NO_LIMIT, ReadError::Missing, ""},
        {"a folder", (dir.path() / "folder.png").u16string(), NO_LIMIT, ReadError::NotAFile, ""},
    };
    for (const Row &row : rows) {
        INFO(std::string(row.sName));
        const FileBytes file = readWholeFile(row.sPath, row.iMaxSize);
        CHECK(file.error == row.error);
        CHECK(std::string(file.view()) == row.abRead);
    }
}

#ifdef _WIN32

TEST_CASE("other programs' readers share the file, writers keep it from being read")
{
    TempDir dir;
    const std::u16string sPath = dir.write("voucher.png", goodVoucher());
    const auto *pPath = reinterpret_cast<const wchar_t *>(sPath.c_str());
    struct Row {
        const char *sName;
        DWORD iAccess, iShare;
        ReadError error;
    };
    const Row rows[] = {
        {"a viewer reading it, sharing with readers", GENERIC_READ, FILE_SHARE_READ, ReadError::None},
        {"a viewer reading it, sharing with everyone", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
         ReadError::None},
        {"a program writing it", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, ReadError::InUse},
        {"a program holding it to itself", GENERIC_READ, 0, ReadError::InUse},
    };
    for (const Row &row : rows) {
        INFO(std::string(row.sName));
        const HANDLE h = CreateFileW(pPath, row.iAccess, row.iShare, nullptr, OPEN_EXISTING, 0, nullptr);
        REQUIRE(h != INVALID_HANDLE_VALUE);
        CHECK(readWholeFile(sPath, NO_LIMIT).error == row.error);
        std::u16string sSignCZ, sSignDw, ErrMsg;
        CHECK(CheckNonTaxVoucher(sPath, sSignCZ, sSignDw, ErrMsg) == (row.error == ReadError::None));
        CloseHandle(h);
    }
}

#else

TEST_CASE("a file its reader has no right to read is Denied")
{
    if (geteuid() != 0)
        return; // only root can read as another user
    TempDir dir;
    const std::u16string sPath = dir.write("voucher.png", goodVoucher());
    std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
    std::filesystem::permissions(std::filesystem::path(sPath), std::filesystem::perms::owner_write);
    const int iBefore = setfsuid(65534); // nobody
    const FileBytes file = readWholeFile(sPath, NO_LIMIT);
    setfsuid(uid_t(iBefore));
    CHECK(file.error == ReadError::Denied);
}

TEST_CASE("a FIFO is not a file, and is not waited on")
{
    TempDir dir;
    const std::filesystem::path fifo = dir.path() / "fifo.png";
    REQUIRE(mkfifo(fifo.c_str(), 0600) == 0);
    CHECK(readWholeFile(fifo.u16string(), NO_LIMIT).error == ReadError::NotAFile);
}

#endif
