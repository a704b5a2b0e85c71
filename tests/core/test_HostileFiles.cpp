// Files made to hurt: huge lengths, sparse giants, deep and wide XML, entity
// tricks, stray bytes in every field. Each ends in the documented verdict.

#include "Check.h"
#include "Voucher.h"

#include <filesystem>

using namespace lumbrik;
using namespace lumbrik::fixtures;

namespace {

std::u16string sig(const std::u16string &sId, const std::u16string &sValue)
{
    return u"<Signature id=\"" + sId + u"\"><SignatureValue>" + sValue + u"</SignatureValue></Signature>";
}

std::string sealed(const std::u16string &sXml)
{
    return voucher(payload(IMAGE_SEAL_U, sXml));
}

struct Verdict {
    bool bIntact = false;
    std::u16string sSignCZ, sSignDw, ErrMsg;
};

Verdict checkFile(const std::u16string &sPath)
{
    Verdict v;
    v.bIntact = CheckNonTaxVoucher(sPath, v.sSignCZ, v.sSignDw, v.ErrMsg);
    return v;
}

} // namespace

TEST_CASE("hostile payloads leave the verdict to the image data")
{
    struct Row {
        const char *sName;
        std::string file;
        std::u16string sSignCZ, sSignDw;
    };
    const int iDeep = 1000000; // 7 MB of nesting
    std::u16string sWide;
    for (int i = 0; i < 100000; ++i)
        sWide += sig(u"InvoicingParty", number(i));
    std::u16string sBomb = u"<!DOCTYPE E [<!ENTITY a0 \"ha\">";
    for (int i = 1; i < 30; ++i)
        sBomb += u"<!ENTITY a" + number(i) + u" \"&a" + number(i - 1) + u";&a" + number(i - 1) + u";\">";
    const Row rows[] = {
        {"7 MB deep beside the signatures",
         sealed(u"<E>" + repeated(u"<d>", iDeep) + repeated(u"</d>", iDeep) + u"<EInvoiceSignature>" + sig(u"SupervisorParty", u"B")
                + u"</EInvoiceSignature></E>"),
         u"B", u""},
        {"100000 signatures, the last wins", sealed(u"<E><EInvoiceSignature>" + sWide + u"</EInvoiceSignature></E>"), u"", u"99999"},
        {"entity bomb yields nothing",
         sealed(sBomb + u"]><E><EInvoiceSignature>" + sig(u"InvoicingParty", u"&a29;") + u"</EInvoiceSignature></E>"), u"", u""},
        {"external entity is not read",
         sealed(u"<!DOCTYPE E [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><E><EInvoiceSignature>" + sig(u"InvoicingParty", u"&x;")
                + sig(u"SupervisorParty", u"B") + u"</EInvoiceSignature></E>"),
         u"", u""},
        {"external subset is not read",
         sealed(u"<!DOCTYPE E SYSTEM \"file:///etc/passwd\"><E><EInvoiceSignature>" + sig(u"SupervisorParty", u"B")
                + u"</EInvoiceSignature></E>"),
         u"B", u""},
    };
    TempDir dir;
    for (const Row &row : rows) {
        INFO(std::string(row.sName));
        // The image data is sealed: whatever the XML does, the verdict is intact.
        const Verdict v = checkFile(dir.write("payload.png", row.file));
        CHECK(v.bIntact);
        CHECK(v.sSignCZ == row.sSignCZ);
        CHECK(v.sSignDw == row.sSignDw);
        CHECK(v.sSignDw.find(u"root:") == std::u16string::npos);
    }
}

TEST_CASE("stray bytes in every field")
{
    const std::string head = pngSignature() + ihdr();
    const std::string idat = chunk("IDAT", IMAGE_DATA);
    const std::u16string sSeal = IMAGE_SEAL_U;
    const std::string abSeal = IMAGE_SEAL;
    const std::u16string sXml = voucherXml(u"C", u"D");
    const std::string good = payload(sSeal, sXml);
    struct Row {
        const char *sName;
        std::string file;
        bool bIntact;
    };
    const Row rows[] = {
        {"zero bytes in a signature byte", std::string("\x89PN\0\r\n\x1a\n", 8) + ihdr() + idat + chunk("IEND", good), false},
        {"zero type: a chunk to skip", head + chunk(std::string(4, '\0').c_str(), "x") + idat + chunk("IEND", good), true},
        {"zero length IDAT", head + chunk("IDAT", "") + idat + chunk("IEND", good), true},
        {"zero bytes in the seal", voucher(payload(sSeal.substr(0, 31) + std::u16string(1, u'\0'), sXml)), false},
        {"zero bytes in the opening", voucher(std::string("{\"si\0n\":\"", 9) + abSeal + "\",\"data\":\"x\"}"), true},
        {"zero bytes in the XML", voucher(payload(sSeal, std::u16string(u"<E>\0</E>", 8))), true},
        {"invalid UTF-8 in the opening", voucher("{\"si\xFFn\":\"" + abSeal + "\"}"), false},
        {"invalid UTF-8 in the seal", voucher("{\"sign\":\"\xC3" + abSeal.substr(1) + "\"}"), false},
        {"invalid UTF-8 in the XML", voucher(good.substr(0, 60) + "\xED\xA0\x80" + good.substr(60)), false},
        {"invalid UTF-8 in the closing", voucher(good.substr(0, good.size() - 1) + "\xF8"), false},
    };
    TempDir dir;
    for (const Row &row : rows) {
        INFO(std::string(row.sName));
        const Verdict v = checkFile(dir.write("stray.png", row.file));
        CHECK(v.bIntact == row.bIntact);
        if (!row.bIntact)
            CHECK(v.ErrMsg == FAILED);
    }
}

TEST_CASE("a sparse 3 GiB file skips past its end")
{
    // Nearly all a hole: a text chunk claims 4 GiB and so ends the walk.
    TempDir dir;
    const std::u16string sPath = dir.write("giant.png", goodVoucher() + chunkHeader("tEXt", 0xFFFFFFF0u));
    std::error_code e;
    std::filesystem::resize_file(std::filesystem::path(sPath), std::uintmax_t(3) << 30, e);
    if (e) {
        MESSAGE("this file system cannot hold a sparse 3 GiB file");
        return;
    }
    const Verdict v = checkFile(sPath);
    CHECK(v.bIntact);
    CHECK(v.sSignCZ == u"CZ-SIG");
}
