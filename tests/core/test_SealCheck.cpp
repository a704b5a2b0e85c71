// The seal check: verdicts, outputs and failure text, for files and in memory.

#include "Check.h"
#include "MemorySource.h"
#include "SealCheck.h"
#include "Voucher.h"

#include <vector>

using namespace lumbrik;
using namespace lumbrik::fixtures;

namespace {

const std::u16string CZ = u"CZ-SIG";
const std::u16string DW = u"DW-SIG";

std::string goodPayload() { return payload(IMAGE_SEAL_U, voucherXml(CZ, DW)); }
std::string head() { return pngSignature() + ihdr(); }

struct VerdictRow {
    const char *sName;
    std::string file;
    bool bIntact;
    SealFault fault;
    std::u16string sSignCZ, sSignDw;
    bool bExtractionError; // only looked at when intact
};

std::string withByte5Flipped(std::string ab)
{
    ab[5] = char(ab[5] ^ 1);
    return ab;
}

std::u16string upper(std::u16string s)
{
    for (char16_t &c : s)
        if (c >= u'a' && c <= u'z')
            c = char16_t(c - u'a' + u'A');
    return s;
}

std::vector<VerdictRow> verdictRows()
{
    const std::string idat = chunk("IDAT", IMAGE_DATA);
    const std::string good = goodVoucher();
    const std::u16string otherXml = voucherXml(u"CZ-2", u"DW-2");
    // The seal of IMAGE_DATA with bit 0 of byte 5 flipped, worked out by hand.
    const std::u16string flippedSeal = u"00392bf85ddce9cd5e7fc32151fbdc53";
    const std::u16string none;
    using F = SealFault;
    return {
        // Intact vouchers, and changes the seal does not cover.
        {"good", good, true, F::None, CZ, DW, false},
        {"image data split over two IDAT chunks",
         head() + chunk("IDAT", IMAGE_DATA.substr(0, 10)) + chunk("IDAT", IMAGE_DATA.substr(10)) + chunk("IEND", goodPayload()),
         true, F::None, CZ, DW, false},
        {"another picture with its own seal", otherVoucher(), true, F::None, u"CZ-2", u"DW-2", false},
        {"no IDAT, seal of empty image data", head() + chunk("IEND", payload(EMPTY_SEAL, voucherXml(CZ, DW))), true, F::None, CZ, DW, false},
        {"wrong CRC on every chunk",
         pngSignature() + chunk("IHDR", ihdr().substr(8, 13), Crc::Wrong) + chunk("IDAT", IMAGE_DATA, Crc::Wrong)
             + chunk("IEND", goodPayload(), Crc::Wrong),
         true, F::None, CZ, DW, false},
        {"text chunk added", head() + chunk("tEXt", std::string("Comment\0edited", 14)) + idat + chunk("IEND", goodPayload()),
         true, F::None, CZ, DW, false},
        {"IHDR changed", pngSignature() + ihdr(400, 300) + idat + chunk("IEND", goodPayload()), true, F::None, CZ, DW, false},
        {"XML changed", voucher(payload(IMAGE_SEAL_U, otherXml)), true, F::None, u"CZ-2", u"DW-2", false},
        {"XML damaged", voucher(payload(IMAGE_SEAL_U, u"<EInvoice><EInvoiceSignature>")), true, F::None, none, none, true},
        {"only the issuer signature", voucher(payload(IMAGE_SEAL_U, voucherXml(std::nullopt, DW))), true, F::None, none, DW, false},
        {"zero byte in the XML", voucher(payload(IMAGE_SEAL_U, std::u16string(u"<a>\0</a>", 8))), true, F::None, none, none, true},
        {"IDAT after IEND is image data",
         head() + chunk("IDAT", IMAGE_DATA.substr(0, 7)) + chunk("IEND", goodPayload()) + chunk("IDAT", IMAGE_DATA.substr(7)),
         true, F::None, CZ, DW, false},
        {"second IEND replaces a wrong first",
         head() + idat + chunk("IEND", payload(flippedSeal, otherXml)) + chunk("IEND", goodPayload()), true, F::None, CZ, DW, false},
        {"trailing chunk of another type runs past the end", good + chunkHeader("tEXt", 1000) + "abc", true, F::None, CZ, DW, false},
        {"IEND without its CRC", good.substr(0, good.size() - 4), true, F::None, CZ, DW, false},
        {"four-byte character before the seal counts as two",
         voucher(utf8(u"{\"si\U0001F600\":\"" + std::u16string(IMAGE_SEAL_U) + u"\",\"data\":\"" + voucherXml(CZ, DW) + u"\"}")),
         true, F::None, CZ, DW, false},
        {"seal of the changed image data",
         head() + chunk("IDAT", withByte5Flipped(IMAGE_DATA)) + chunk("IEND", payload(flippedSeal, voucherXml(CZ, DW))),
         true, F::None, CZ, DW, false},

        // Failures, one row per cause.
        {"empty file", "", false, F::NotPng, none, none, false},
        {"shorter than the signature", pngSignature().substr(0, 5), false, F::NotPng, none, none, false},
        {"not a PNG signature", "GIF89a\r\n" + good.substr(8), false, F::NotPng, none, none, false},
        {"ordinary PNG: empty IEND", head() + idat + chunk("IEND", ""), false, F::EmptyPayload, none, none, false},
        {"empty IEND after a payload", good + chunk("IEND", ""), false, F::EmptyPayload, CZ, DW, false},
        {"no IEND", head() + idat, false, F::NoPayload, none, none, false},
        {"signature only", pngSignature(), false, F::NoPayload, none, none, false},
        {"seal in upper case", voucher(payload(upper(IMAGE_SEAL_U), voucherXml(CZ, DW))), false, F::SealMismatch, CZ, DW, false},
        {"one IDAT byte changed", head() + chunk("IDAT", withByte5Flipped(IMAGE_DATA)) + chunk("IEND", goodPayload()),
         false, F::SealMismatch, CZ, DW, false},
        {"second IEND with a wrong seal", good + chunk("IEND", payload(flippedSeal, otherXml)), false, F::SealMismatch, u"CZ-2",
         u"DW-2", false},
        {"payload shorter than 41 characters", voucher("{\"sign\":\"9d16851f36c9dc5a092f"), false, F::SealMismatch, none, none, false},
        // Shifted by one, the XML text starts with a quotation mark and is no XML.
        {"byte-order mark shifts the seal and the XML", voucher("\xEF\xBB\xBF" + goodPayload()), false, F::SealMismatch, none, none,
         false},
        {"payload not UTF-8", voucher(goodPayload() + "\xC0\xAF"), false, F::InvalidUtf8, none, none, false},
        {"trailing bytes inside a length field", good + std::string(2, '\0'), false, F::CutInHeader, CZ, DW, false},
        {"trailing bytes inside a type field", good + std::string("\0\0\0\x05ID", 6), false, F::CutInHeader, CZ, DW, false},
        {"IDAT runs past the end", head() + chunk("IDAT", IMAGE_DATA).substr(0, idat.size() - 10), false, F::CutInData, none, none,
         false},
        {"trailing IDAT runs past the end", good + chunkHeader("IDAT", 100) + "abc", false, F::CutInData, CZ, DW, false},
        {"trailing IEND runs past the end", good + chunkHeader("IEND", 100) + "abc", false, F::CutInData, CZ, DW, false},
        // Lengths far beyond the file fail before anything is allocated for them.
        {"IDAT length 2^31-1 in a short file", head() + chunkHeader("IDAT", 0x7FFFFFFFu) + IMAGE_DATA, false, F::CutInData, none,
         none, false},
        {"IEND length 2^31-1 in a short file", head() + idat + chunkHeader("IEND", 0x7FFFFFFFu) + goodPayload(), false,
         F::CutInData, none, none, false},
        {"IDAT length 2^31", head() + chunkHeader("IDAT", 0x80000000u) + IMAGE_DATA, false, F::LengthTooLarge, none, none, false},
        {"IEND length 2^32-1 after a payload", good + chunkHeader("IEND", 0xFFFFFFFFu), false, F::LengthTooLarge, CZ, DW, false},
        {"type compared case-sensitively", head() + idat + chunk("iEND", goodPayload()), false, F::NoPayload, none, none, false},
    };
}

} // namespace

TEST_CASE("seal check verdicts, file and memory alike")
{
    TempDir dir;
    for (const VerdictRow &row : verdictRows()) {
        INFO(std::string(row.sName));
        const std::u16string sPath = dir.write("voucher.png", row.file);

        // Outputs start full, to show that every path empties or fills them.
        std::u16string sSignCZ = u"stale", sSignDw = u"stale", ErrMsg = u"stale";
        CHECK(CheckNonTaxVoucher(sPath, sSignCZ, sSignDw, ErrMsg) == row.bIntact);
        CHECK(sSignCZ == row.sSignCZ);
        CHECK(sSignDw == row.sSignDw);
        if (row.bIntact)
            CHECK(ErrMsg.empty() == !row.bExtractionError);
        else
            CHECK(ErrMsg == FAILED);

        // The same walk over memory gives the same verdict and names its cause.
        MemorySource memory(row.file);
        std::u16string sMemCZ, sMemDw, sMemErr;
        const SealReport report = checkVoucherSource(memory, sMemCZ, sMemDw, sMemErr);
        CHECK(report.fault == row.fault);
        CHECK(sMemCZ == row.sSignCZ);
        CHECK(sMemDw == row.sSignDw);
        CHECK(sMemErr == ErrMsg);
    }
}

TEST_CASE("a missing file fails with empty signatures")
{
    TempDir dir;
    std::u16string sSignCZ = u"x", sSignDw = u"x", ErrMsg;
    CHECK_FALSE(CheckNonTaxVoucher((dir.path() / "gone.png").u16string(), sSignCZ, sSignDw, ErrMsg));
    CHECK(ErrMsg == FAILED);
    CHECK(sSignCZ.empty());
    CHECK(sSignDw.empty());
}

TEST_CASE("a folder is no voucher file")
{
    TempDir dir;
    std::u16string sSignCZ, sSignDw, ErrMsg;
    CHECK_FALSE(CheckNonTaxVoucher(dir.path().u16string(), sSignCZ, sSignDw, ErrMsg));
    CHECK(ErrMsg == FAILED);
}

TEST_CASE("the explanation's CRC check finds the wrong CRCs and leaves the verdict alone")
{
    const std::string file = pngSignature() + chunk("IHDR", ihdr().substr(8, 13), Crc::Wrong) + chunk("IDAT", IMAGE_DATA)
        + chunk("IEND", goodPayload()) + chunk("tEXt", std::string("a\0b", 3), Crc::Wrong);
    MemorySource memory(file);
    std::u16string sSignCZ, sSignDw, ErrMsg;
    const SealReport report = checkVoucherSource(memory, sSignCZ, sSignDw, ErrMsg, Detail::Explain);
    CHECK(report.fault == SealFault::None);
    REQUIRE(report.badCrcs.size() == 2);
    CHECK(report.badCrcs[0].iOffset == 8);
    CHECK(report.badCrcs[0].abType == "IHDR");
    CHECK(report.badCrcs[1].abType == "tEXt");
    CHECK(report.iChunksAfterEnd == 1);
    CHECK(report.sComputed == IMAGE_SEAL_U);
}
