// What both windows share: a signature's line breaks in a text box.

#include "Check.h"
#include "WindowText.h"

using namespace lumbrik;

TEST_CASE("every CR, LF or CR LF becomes one line break of the box")
{
    struct Row {
        std::u16string sIn, sOut;
    };
    const Row rows[] = {
        {u"a\r\nb", u"a|b"}, {u"a\rb", u"a|b"},     {u"a\nb", u"a|b"},         {u"a\n\rb", u"a||b"},
        {u"\r\n\r\n", u"||"}, {u"\r\r\n\n", u"|||"}, {u"no break", u"no break"}, {u"", u""},
    };
    for (const Row &row : rows) {
        INFO(lumbrik::fixtures::utf8(row.sIn));
        CHECK(withLineBreaks(row.sIn, u"|") == row.sOut);
    }
}
