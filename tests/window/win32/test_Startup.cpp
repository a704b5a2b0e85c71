// The real program: one window titled Lumbrik, its resources, and a voucher
// named on its command line; closing the window ends the program with 0.

#include "Program.h"
#include "WindowFixture.h"

#include <doctest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace lumbrik;
using namespace lumbrik::fixtures;
using namespace lumbrik::testing;

namespace {

const std::wstring NO_FILE_BOX = L"请先打开票据文件！";
const std::wstring PASSED_BOX = L"校验通过！";

void writeFile(const std::filesystem::path &file, const std::string &ab)
{
    std::ofstream out(file, std::ios::binary);
    out.write(ab.data(), std::streamsize(ab.size()));
    REQUIRE(out);
}

} // namespace

TEST_CASE("Lumbrik.exe shows one window and ends with 0 when it is closed")
{
    Program program(LUMBRIK_EXE, L"");
    REQUIRE(program.form());
    CHECK(textOf(program.form()) == L"Lumbrik");
    CHECK(program.close() == 0);
}

TEST_CASE("a voucher named on the command line opens at start; 验证 checks it without any dialog")
{
    struct Row {
        const char *sCase;
        std::wstring sArguments;     // $ stands for the folder
        std::vector<SeenBox> atStart; // caption and text
        std::wstring sCheckBox;       // the box 验证 gives
        std::wstring sVerdictName;    // the file named in the verdict; none: the label stays at rest
    };
    const std::vector<Row> rows = {
        {"a full path, quoted", L"\"$\\voucher.png\"", {}, PASSED_BOX, L"voucher.png"},
        {"a Chinese name with spaces", L"\"$\\电子票据 2026 (副本).png\"", {}, PASSED_BOX, L"电子票据 2026 (副本).png"},
        {"a path relative to the current folder", L"voucher.png", {}, PASSED_BOX, L"voucher.png"},
        {"extra arguments are ignored", L"\"$\\voucher.png\" \"$\\missing.png\" --other", {}, PASSED_BOX, L"voucher.png"},
        {"a file that does not exist", L"\"$\\missing.png\"", {{L"提示", L"指定票据文件不存在！"}},
         NO_FILE_BOX, L""},
        {"a file without a picture header", L"\"$\\not-a-picture.png\"",
         {{L"出错啦", L"图片加载失败，错误信息：This operation is not valid because the current image contains no valid header."}},
         L"校验失败，错误信息：获取加密信息失败！", L"not-a-picture.png"},
        {"an empty argument", L"\"\"", {}, NO_FILE_BOX, L""},
    };
    TempDir dir;
    writeFile(dir.path() / "voucher.png", goodVoucher());
    writeFile(dir.path() / std::filesystem::path(u"电子票据 2026 (副本).png"), goodVoucher());
    writeFile(dir.path() / "not-a-picture.png", "GIF89a not a picture");
    for (const Row &row : rows) {
        INFO(std::string(row.sCase));
        std::wstring sArguments = row.sArguments;
        for (std::size_t i = sArguments.find(L'$'); i != std::wstring::npos; i = sArguments.find(L'$', i))
            sArguments.replace(i, 1, dir.path().wstring());
        Program program(LUMBRIK_EXE, sArguments, dir.path().wstring());
        REQUIRE(program.form());
        for (const SeenBox &expected : row.atStart) {
            const std::optional<SeenBox> box = program.answerBox();
            REQUIRE(box);
            CHECK(box->sCaption == expected.sCaption);
            CHECK(box->sText == expected.sText);
            CHECK(box->hOwner == program.form());
        }
        CHECK(program.text(ID_CHECK_RESULT) == L"查验结果：");
        program.click(ID_CHECK_VOUCHER);
        const std::optional<SeenBox> box = program.answerBox();
        REQUIRE(box);
        CHECK(box->sText == row.sCheckBox);
        if (row.sCheckBox == PASSED_BOX)
            CHECK(program.text(ID_CHECK_RESULT) == L"查验结果：自应用本签名以来，“" + row.sVerdictName + L"”没有被篡改。");
        else if (!row.sVerdictName.empty())
            CHECK(program.text(ID_CHECK_RESULT) == L"查验结果：自应用本签名以来，“" + row.sVerdictName + L"”已被篡改，请停止使用。");
        else
            CHECK(program.text(ID_CHECK_RESULT) == L"查验结果：");
        CHECK(program.close() == 0);
    }
}

TEST_CASE("Lumbrik.exe carries its version record and manifest")
{
    const HMODULE hExe = LoadLibraryExW(LUMBRIK_EXE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    REQUIRE(hExe);
    CHECK(FindResourceW(hExe, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)) != nullptr); // the manifest
    const HRSRC hVersion = FindResourceW(hExe, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16));
    REQUIRE(hVersion);
    const void *pVersion = LockResource(LoadResource(hExe, hVersion));
    void *pValue = nullptr;
    UINT iLength = 0;
    REQUIRE(VerQueryValueW(pVersion, L"\\StringFileInfo\\080404b0\\ProductName", &pValue, &iLength));
    CHECK(std::wstring(static_cast<const wchar_t *>(pValue)) == L"Lumbrik");
    REQUIRE(VerQueryValueW(pVersion, L"\\", &pValue, &iLength));
    const auto *pFixed = static_cast<const VS_FIXEDFILEINFO *>(pValue);
    CHECK(pFixed->dwFileVersionMS == 0x00010000u);
    CHECK(pFixed->dwProductVersionLS == 0u);
    FreeLibrary(hExe);
}

TEST_CASE_FIXTURE(Window, "opening at start: the picture, or the warning box for a file that does not exist")
{
    TempDir dir;
    form.openAtStart(wide(dir.write("voucher.png", goodVoucher())));
    CHECK(driver.boxes.empty());
    CHECK(pictureSize().cx > 0);

    form.openAtStart(wide(dir.path().u16string() + u"\\missing.png"));
    REQUIRE(driver.boxes.size() == 1);
    CHECK(driver.boxes[0].sCaption == L"提示");
    CHECK(driver.boxes[0].sText == L"指定票据文件不存在！");
    CHECK(driver.boxes[0].sIcon == IDI_WARNING);
    CHECK(driver.boxes[0].hOwner == form.handle());
    click(ID_CHECK_VOUCHER); // the voucher opened before is still the one checked
    REQUIRE(driver.boxes.size() == 2);
    CHECK(driver.boxes[1].sText == PASSED_BOX);
}
