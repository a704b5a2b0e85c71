// Lumbrik.exe run from a folder that also holds DLLs named as the system's own
// (a Downloads folder, say) loads none of them: each would run its code inside
// the program. Under Wine, WINEDLLOVERRIDES makes Wine prefer such a copy, as
// Windows prefers one beside the program for any DLL that is not a KnownDLL.

#include "Program.h"
#include "WindowFixture.h"

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

using namespace lumbrik;
using namespace lumbrik::fixtures;
using namespace lumbrik::testing;

namespace {

// Loaded before any of the program's code runs; KnownDLLs on Windows, which
// never come from the program's folder.
const std::vector<std::wstring> LOADED_FIRST = {L"ntdll.dll", L"kernel32.dll", L"kernelbase.dll", L"msvcrt.dll"};
// Planted whether or not this system loads them: those that the program or the
// system on its behalf load on Windows.
const std::vector<std::wstring> ALWAYS_PLANTED = {L"bcrypt.dll", L"comctl32.dll", L"uxtheme.dll", L"version.dll",
                                                  L"propsys.dll", L"windowscodecs.dll", L"dwmapi.dll"};

// An environment variable set for the programs this process starts, restored after.
class Environment
{
public:
    Environment(const wchar_t *sName, const std::wstring &sValue) : sName(sName)
    {
        wchar_t sOld[32768];
        const DWORD iLength = GetEnvironmentVariableW(sName, sOld, 32768);
        if (iLength > 0 && iLength < 32768)
            sOldValue = sOld;
        SetEnvironmentVariableW(sName, sValue.c_str());
    }
    ~Environment() { SetEnvironmentVariableW(sName, sOldValue ? sOldValue->c_str() : nullptr); }
    Environment(const Environment &) = delete;
    Environment &operator=(const Environment &) = delete;
    const std::optional<std::wstring> &old() const { return sOldValue; }

private:
    const wchar_t *sName;
    std::optional<std::wstring> sOldValue;
};

std::wstring current(const wchar_t *sName)
{
    wchar_t s[32768] = {};
    GetEnvironmentVariableW(sName, s, 32768);
    return s;
}

// Starts the program with the voucher, checks it, shows the open dialog and
// closes; returns what it had loaded by then.
std::vector<std::wstring> walkThrough(const std::filesystem::path &exe)
{
    Program program(exe.wstring(), L"voucher.png", exe.parent_path().wstring());
    REQUIRE(program.form());
    program.click(ID_CHECK_VOUCHER);
    const std::optional<SeenBox> box = program.answerBox();
    REQUIRE(box);
    CHECK(box->sText == L"校验通过！");
    program.click(ID_OPEN_FILE);
    CHECK(program.cancelOpenDialog());
    const std::vector<std::wstring> loaded = program.modules();
    CHECK(program.close() == 0);
    return loaded;
}

// Runs the checker at exe on the voucher beside it; its exit status.
DWORD checkBeside(const std::filesystem::path &exe)
{
    std::wstring sCommand = L"\"" + exe.wstring() + L"\" voucher.png";
    STARTUPINFOW startup = {sizeof startup};
    PROCESS_INFORMATION process = {};
    REQUIRE(CreateProcessW(nullptr, sCommand.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                           exe.parent_path().c_str(), &startup, &process));
    WaitForSingleObject(process.hProcess, 60000);
    DWORD iExit = 1000;
    GetExitCodeProcess(process.hProcess, &iExit);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return iExit;
}

} // namespace

TEST_CASE("no DLL planted beside Lumbrik.exe or lumbrik-check.exe is loaded, and the programs work all the same")
{
    TempDir dir;
    const std::filesystem::path exe = dir.path() / "Lumbrik.exe";
    const std::filesystem::path checker = dir.path() / "lumbrik-check.exe";
    REQUIRE(CopyFileW(LUMBRIK_EXE, exe.c_str(), FALSE));
    REQUIRE(CopyFileW(LUMBRIK_CHECK_EXE, checker.c_str(), FALSE));
    {
        std::ofstream out(dir.path() / "voucher.png", std::ios::binary);
        out << goodVoucher();
    }
    const std::vector<std::wstring> loaded = walkThrough(exe);
    CHECK(std::find(loaded.begin(), loaded.end(), L"lumbrik.exe") != loaded.end());

    std::vector<std::wstring> planted = ALWAYS_PLANTED;
    std::copy_if(loaded.begin(), loaded.end(), std::back_inserter(planted), [](const std::wstring &sName) {
        return sName.size() > 4 && sName.compare(sName.size() - 4, 4, L".dll") == 0
            && std::find(LOADED_FIRST.begin(), LOADED_FIRST.end(), sName) == LOADED_FIRST.end()
            && std::find(ALWAYS_PLANTED.begin(), ALWAYS_PLANTED.end(), sName) == ALWAYS_PLANTED.end();
    });
    std::wstring sOverrides;
    for (const std::wstring &sName : planted) {
        REQUIRE(CopyFileW(PLANTED_DLL, (dir.path() / sName).c_str(), FALSE));
        sOverrides += (sOverrides.empty() ? L"" : L",") + sName.substr(0, sName.size() - 4);
    }
    const std::filesystem::path marker = dir.path() / "marker.txt";
    const std::wstring sKeep = current(L"WINEDLLOVERRIDES");
    Environment overrides(L"WINEDLLOVERRIDES", (sKeep.empty() ? L"" : sKeep + L";") + sOverrides + L"=n,b");
    Environment markerName(L"LUMBRIK_PLANTED_MARKER", marker.wstring());

    walkThrough(exe);
    // The checker uses a part of what the window does: the same DLLs lie in wait for it.
    CHECK(checkBeside(checker) == 0);
    std::wstring sLoaded;
    if (std::filesystem::exists(marker)) {
        std::ifstream in(marker, std::ios::binary);
        const std::string ab((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        sLoaded.assign(reinterpret_cast<const wchar_t *>(ab.data()), ab.size() / sizeof(wchar_t));
    }
    INFO("planted: " << utf8(std::u16string(sOverrides.begin(), sOverrides.end())));
    CHECK(sLoaded == L""); // the planted copies that were loaded, one a line
}
