// Ordinary and broken PNG files from PngSuite: none is a voucher, none breaks the check.

#include "Check.h"
#include "Voucher.h"

#include <algorithm>
#include <filesystem>

TEST_CASE("no PngSuite file is a voucher")
{
    const std::vector<std::filesystem::path> files = lumbrik::fixtures::pngSuiteFiles();
    if (files.empty()) {
        MESSAGE("PngSuite is not beside this checkout");
        return;
    }
    for (const std::filesystem::path &file : files) {
        CAPTURE(file.filename().string());
        std::u16string sSignCZ, sSignDw, ErrMsg;
        CHECK_FALSE(lumbrik::CheckNonTaxVoucher(file.u16string(), sSignCZ, sSignDw, ErrMsg));
        CHECK(ErrMsg == lumbrik::fixtures::FAILED);
        CHECK(sSignCZ.empty());
        CHECK(sSignDw.empty());
    }
}
