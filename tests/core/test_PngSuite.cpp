// Ordinary and broken PNG files from PngSuite: none is a voucher, none breaks the check.

#include "Check.h"
#include "Voucher.h"

#include <algorithm>
#include <filesystem>

TEST_CASE("no PngSuite file is a voucher")
{
    const std::filesystem::path suite(LUMBRIK_PNGSUITE);
    std::error_code e;
    if (!std::filesystem::is_directory(suite, e)) {
        MESSAGE("PngSuite is not beside this checkout");
        return;
    }
    int iFiles = 0;
    for (const auto &entry : std::filesystem::directory_iterator(suite)) {
        if (entry.path().extension() != ".png")
            continue;
        ++iFiles;
        CAPTURE(entry.path().filename().string());
        std::u16string sSignCZ, sSignDw, ErrMsg;
        CHECK_FALSE(lumbrik::CheckNonTaxVoucher(entry.path().u16string(), sSignCZ, sSignDw, ErrMsg));
        CHECK(ErrMsg == lumbrik::fixtures::FAILED);
        CHECK(sSignCZ.empty());
        CHECK(sSignDw.empty());
    }
    CHECK(iFiles > 100);
}
