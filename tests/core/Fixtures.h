#pragma once
// Test-only: writes voucher files byte by byte, so that every fixture can carry
// exactly the defect it is named after; and the folder they are written to.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace lumbrik::fixtures {

// A small RGB picture's compressed image data, 25 bytes, and its seal, both
// worked out by hand with an independent MD5 tool.
inline const std::string IMAGE_DATA("\x78\xda\x63\xf8\xcf\xc0\xc0\x00\xc6\x40\x00\xa4\x18\x1a\x1a\x1a\x40\x8c\xff\xff\x01\x85\xa0\x0b\x77", 25);
inline constexpr char IMAGE_SEAL[] = "9d16851f36c9dc5a092f470e4ca1c2e9";
inline constexpr char16_t IMAGE_SEAL_U[] = u"9d16851f36c9dc5a092f470e4ca1c2e9";
inline constexpr int IMAGE_WIDTH = 4;
inline constexpr int IMAGE_HEIGHT = 2;
// A second picture, 2 x 2 pixels (blue, blue; blue, yellow), that looks
// nothing like the first: its compressed image data and its seal, worked out
// with an independent zlib and MD5.
inline const std::string OTHER_IMAGE_DATA("\x78\xda\x63\x60\x60\xf8\x0f\x46\x0c\xff\xff\xff\x67\x00\x00\x1b\xf2\x04\xfc", 19);
inline constexpr char16_t OTHER_IMAGE_SEAL_U[] = u"939a5038dbb0e1eb54ce80b5193891b7";
inline constexpr int OTHER_IMAGE_SIZE = 2;
// The seal of empty image data: md5hex(md5hex("") + salt).
inline constexpr char16_t EMPTY_SEAL[] = u"f72884f1a37edef119c082ba4e287e4a";
inline constexpr char16_t FAILED[] = u"获取加密信息失败！";

// The PngSuite files whose header no decoder can read, as its documentation
// describes them: a damaged signature, a wrong IHDR checksum, or a colour type
// or bit depth the format does not have.
inline constexpr const char *PNGSUITE_WITHOUT_HEADER[] = {
    "xs1n0g01.png", "xs2n0g01.png", "xs4n0g01.png", "xs7n0g01.png", "xcrn0g04.png", "xlfn0g04.png",
    "xhdn0g08.png", "xc1n0g08.png", "xc9n2c08.png", "xd0n2c08.png", "xd3n2c08.png", "xd9n2c08.png"};

// The PngSuite files beside this checkout, in name order; none when it is not
// there. When it is, all of its 175 files.
std::vector<std::filesystem::path> pngSuiteFiles();

enum class Crc { Right, Wrong };

std::string pngSignature();
std::uint32_t crc32(const std::string &abTypeAndData);
std::string bigEndian(std::uint32_t iValue);
std::string chunk(const char *sType, const std::string &abData, Crc crc = Crc::Right);
// A chunk whose length field says iLen whatever data follows (none by default).
std::string chunkHeader(const char *sType, std::uint32_t iLen);
std::string ihdr(int iWidth = IMAGE_WIDTH, int iHeight = IMAGE_HEIGHT);

// UTF-16 text as UTF-8 bytes; an unpaired surrogate is written as U+FFFD.
std::string utf8(const std::u16string &s);
// {"sign":"<sSeal>","data":"<sXml>"} in UTF-8.
std::string payload(const std::u16string &sSeal, const std::u16string &sXml);
// Voucher XML holding the two signatures; a missing value leaves its Signature out.
std::u16string voucherXml(const std::optional<std::u16string> &sFinance, const std::optional<std::u16string> &sIssuer);

// signature, IHDR, one IDAT of IMAGE_DATA, IEND with abPayload.
std::string voucher(const std::string &abPayload);
// The same with a payload sealing IMAGE_DATA and signatures "CZ-SIG" and "DW-SIG".
std::string goodVoucher();
// A voucher of the second picture whose payload holds sSeal and signatures "CZ-2" and "DW-2".
std::string otherVoucher(const std::u16string &sSeal = OTHER_IMAGE_SEAL_U);

// A folder of its own for one test's fixtures, removed with everything in it.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::filesystem::path &path() const { return dir; }
    // Writes ab to the file sName (UTF-8) here and returns its path as the core takes it.
    std::u16string write(const std::string &sName, const std::string &ab) const;

private:
    std::filesystem::path dir;
};

// n copies of s.
std::u16string repeated(const std::u16string &s, int n);
std::u16string number(long long i);

} // namespace lumbrik::fixtures
