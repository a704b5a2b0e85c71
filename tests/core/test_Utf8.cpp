// Strict UTF-8 decoding of the sealed payload.

#include "Check.h"
#include "Utf8.h"

using namespace lumbrik;

TEST_CASE("strict UTF-8 decoding")
{
    struct Row {
        const char *sName;
        std::string bytes;
        bool bWellFormed;
        std::u16string sText;
        int iFirstBad;
    };
    const Row rows[] = {
        {"ASCII", "{\"sign\":", true, u"{\"sign\":", -1},
        {"Chinese", "\xE4\xB8\xAD", true, u"中", -1},
        {"four bytes become two UTF-16 units", "\xF0\x9F\x98\x80", true, std::u16string{char16_t(0xD83D), char16_t(0xDE00)}, -1},
        {"byte-order mark kept", "\xEF\xBB\xBFx", true, std::u16string{char16_t(0xFEFF), u'x'}, -1},
        {"zero byte", std::string("a\0b", 3), true, std::u16string(u"a\0b", 3), -1},
        {"empty", "", true, u"", -1},
        {"highest code point", "\xF4\x8F\xBF\xBF", true, std::u16string{char16_t(0xDBFF), char16_t(0xDFFF)}, -1},
        {"lone continuation byte", "a\x80", false, u"", 1},
        {"overlong two bytes", "\xC0\xAF", false, u"", 0},
        {"overlong three bytes", "\xE0\x80\xAF", false, u"", 0},
        {"overlong four bytes", "\xF0\x80\x80\xAF", false, u"", 0},
        {"encoded surrogate", "\xED\xA0\x80", false, u"", 0},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", false, u"", 0},
        {"five-byte form", "\xF8\x88\x80\x80\x80", false, u"", 0},
        {"byte 0xFE", "\xFE", false, u"", 0},
        {"cut off at the end", "ab\xE4\xB8", false, u"", 2},
        {"cut off in the middle", "\xE4\xB8x", false, u"", 0},
    };
    for (const Row &row : rows) {
        INFO(std::string(row.sName));
        CHECK(firstInvalidUtf8(row.bytes) == row.iFirstBad);
        std::u16string sText = u"untouched";
        CHECK(decodeUtf8Strict(row.bytes, sText) == row.bWellFormed);
        CHECK(sText == (row.bWellFormed ? row.sText : u"untouched"));
    }
}
