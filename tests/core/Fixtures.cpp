#include "Fixtures.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <stdexcept>

namespace lumbrik::fixtures {

std::vector<std::filesystem::path> pngSuiteFiles()
{
    std::vector<std::filesystem::path> files;
    std::error_code e;
    for (std::filesystem::directory_iterator it(LUMBRIK_PNGSUITE, e), end; !e && it != end; it.increment(e))
        if (it->path().extension() == ".png")
            files.push_back(it->path());
    std::sort(files.begin(), files.end());
    if (!files.empty() && files.size() != 175)
        throw std::runtime_error("PngSuite is not whole: " + std::to_string(files.size()) + " files");
    return files;
}

std::string pngSignature()
{
    return std::string("\x89PNG\r\n\x1a\n", 8);
}

// Bit by bit, as ISO 3309 defines it: apart from the table the core uses.
std::uint32_t crc32(const std::string &abTypeAndData)
{
    std::uint32_t c = 0xFFFFFFFFu;
    for (const char b : abTypeAndData) {
        c ^= static_cast<unsigned char>(b);
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return c ^ 0xFFFFFFFFu;
}

std::string bigEndian(std::uint32_t iValue)
{
    return {char(iValue >> 24), char(iValue >> 16), char(iValue >> 8), char(iValue)};
}

std::string chunkHeader(const char *sType, std::uint32_t iLen)
{
    return bigEndian(iLen) + std::string(sType, 4);
}

std::string chunk(const char *sType, const std::string &abData, Crc crc)
{
    const std::string abTypeAndData = std::string(sType, 4) + abData;
    const std::uint32_t iCrc = crc32(abTypeAndData) ^ (crc == Crc::Wrong ? 1u : 0u);
    return bigEndian(std::uint32_t(abData.size())) + abTypeAndData + bigEndian(iCrc);
}

std::string ihdr(int iWidth, int iHeight)
{
    // 8-bit RGB, deflate, adaptive filtering, no interlace.
    return chunk("IHDR", bigEndian(std::uint32_t(iWidth)) + bigEndian(std::uint32_t(iHeight)) + std::string("\x08\x02\x00\x00\x00", 5));
}

std::string utf8(const std::u16string &s)
{
    std::string ab;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
        else if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD;
        if (c < 0x80) {
            ab += char(c);
        } else if (c < 0x800) {
            ab += char(0xC0 | (c >> 6));
            ab += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            ab += char(0xE0 | (c >> 12));
            ab += char(0x80 | ((c >> 6) & 0x3F));
            ab += char(0x80 | (c & 0x3F));
        } else {
            ab += char(0xF0 | (c >> 18));
            ab += char(0x80 | ((c >> 12) & 0x3F));
            ab += char(0x80 | ((c >> 6) & 0x3F));
            ab += char(0x80 | (c & 0x3F));
        }
    }
    return ab;
}

std::string payload(const std::u16string &sSeal, const std::u16string &sXml)
{
    return utf8(u"{\"sign\":\"" + sSeal + u"\",\"data\":\"" + sXml + u"\"}");
}

std::u16string voucherXml(const std::optional<std::u16string> &sFinance, const std::optional<std::u16string> &sIssuer)
{
    std::u16string sXml = u"<EInvoice><Header><BillNo>0001</BillNo></Header><EInvoiceSignature>";
    if (sIssuer)
        sXml += u"<Signature id=\"InvoicingParty\"><SignatureValue>" + *sIssuer + u"</SignatureValue></Signature>";
    if (sFinance)
        sXml += u"<Signature id=\"SupervisorParty\"><SignatureValue>" + *sFinance + u"</SignatureValue></Signature>";
    return sXml + u"</EInvoiceSignature></EInvoice>";
}

std::string voucher(const std::string &abPayload)
{
    return pngSignature() + ihdr() + chunk("IDAT", IMAGE_DATA) + chunk("IEND", abPayload);
}

std::string goodVoucher()
{
    return voucher(payload(IMAGE_SEAL_U, voucherXml(u"CZ-SIG", u"DW-SIG")));
}

std::string otherVoucher(const std::u16string &sSeal)
{
    return pngSignature() + ihdr(OTHER_IMAGE_SIZE, OTHER_IMAGE_SIZE) + chunk("IDAT", OTHER_IMAGE_DATA)
        + chunk("IEND", payload(sSeal, voucherXml(u"CZ-2", u"DW-2")));
}

TempDir::TempDir()
{
    static std::atomic<int> iNext{0};
    const auto iStamp = std::chrono::steady_clock::now().time_since_epoch().count();
    dir = std::filesystem::temp_directory_path()
        / ("lumbrik-test-" + std::to_string(iStamp) + "-" + std::to_string(iNext++));
    std::filesystem::create_directories(dir);
}

TempDir::~TempDir()
{
    std::error_code e;
    std::filesystem::remove_all(dir, e);
}

std::u16string TempDir::write(const std::string &sName, const std::string &ab) const
{
    const std::filesystem::path file = dir / std::filesystem::u8path(sName);
    std::ofstream out(file, std::ios::binary);
    out.write(ab.data(), std::streamsize(ab.size()));
    if (!out)
        throw std::runtime_error("cannot write the fixture " + file.u8string());
    return file.u16string();
}

std::u16string repeated(const std::u16string &s, int n)
{
    std::u16string sOut;
    sOut.reserve(s.size() * std::size_t(n));
    for (int i = 0; i < n; ++i)
        sOut += s;
    return sOut;
}

std::u16string number(long long i)
{
    const std::string s = std::to_string(i);
    return std::u16string(s.begin(), s.end());
}

} // namespace lumbrik::fixtures
