// What both windows share: a signature's line breaks in a text box, and how
// far the right-hand pane may be dragged.

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

TEST_CASE("a dragged pane stays between its minimum and what leaves the picture its minimum, or closes")
{
    struct Row {
        const char *sName;
        int iWanted, iWidth;
    };
    const Row rows[] = {
        {"ordinary", 400, 400},
        {"just above the minimum", 31, 31},
        {"the minimum closes", 30, 0},
        {"below the minimum closes", 5, 0},
        {"past the left edge closes", -40, 0},
        {"leaves 30 for the picture", 1200, 1100},
        {"exactly 30 left", 1100, 1100},
    };
    for (const Row &row : rows) {
        INFO(std::string(row.sName));
        CHECK(legalPaneWidth(row.iWanted, 1130) == row.iWidth);
    }
}
