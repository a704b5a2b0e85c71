// The XML reader against the W3C XML Conformance Test Suite, where it is beside
// the checkout: every standalone XML 1.0 case without external entities, as
// the Fifth Edition and Namespaces in XML 1.0 judge it. Documents that are not
// well formed must be rejected, valid and invalid ones read to the end, and
// where the suite gives a canonical form, the tokens must reproduce it.

#include "Check.h"
#include "Utf8.h"
#include "XmlReader.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

using namespace lumbrik;
using lumbrik::fixtures::utf8;

namespace {

namespace fs = std::filesystem;

std::string readBytes(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The attributes of each <TEST> start tag of an index, read by a scan of
// its own rather than by the reader under test.
std::vector<std::map<std::string, std::string>> testsOf(const std::string &abIndex)
{
    std::vector<std::map<std::string, std::string>> tests;
    for (std::size_t i = abIndex.find("<TEST"); i != std::string::npos; i = abIndex.find("<TEST", i + 1)) {
        if (!std::isspace(static_cast<unsigned char>(abIndex[i + 5])))
            continue;
        const std::size_t iEnd = abIndex.find('>', i);
        std::map<std::string, std::string> attributes;
        for (std::size_t j = i + 5; j < iEnd;) {
            const std::size_t iEq = abIndex.find('=', j);
            if (iEq == std::string::npos || iEq > iEnd)
                break;
            std::string sName = abIndex.substr(j, iEq - j);
            sName.erase(std::remove_if(sName.begin(), sName.end(), [](char c) { return std::isspace(static_cast<unsigned char>(c)); }),
                        sName.end());
            const std::size_t iOpen = abIndex.find_first_of("\"'", iEq);
            const std::size_t iClose = iOpen < iEnd ? abIndex.find(abIndex[iOpen], iOpen + 1) : std::string::npos;
            if (iClose > iEnd)
                break;
            attributes[sName] = abIndex.substr(iOpen + 1, iClose - iOpen - 1);
            j = iClose + 1;
        }
        tests.push_back(attributes);
    }
    return tests;
}

// Whether a case judges a non-validating XML 1.0 (Fifth Edition) reader that
// resolves nothing external and reads name spaces.
bool applies(std::map<std::string, std::string> &test)
{
    const std::string &sType = test["TYPE"];
    if (sType != "valid" && sType != "invalid" && sType != "not-wf")
        return false;
    if (!test["ENTITIES"].empty() && test["ENTITIES"] != "none")
        return false;
    if (test["RECOMMENDATION"] == "XML1.1" || test["RECOMMENDATION"] == "NS1.1" || test["VERSION"] == "1.1")
        return false;
    if (!test["EDITION"].empty() && test["EDITION"].find('5') == std::string::npos)
        return false;
    return test["NAMESPACE"] != "no";
}

std::string lower(std::string s)
{
    for (char &c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The encoding an XML declaration names, or "".
std::string declaredEncoding(const std::string &ab)
{
    const std::size_t iEnd = ab.find("?>");
    if (ab.compare(0, 5, "<?xml") != 0 || iEnd == std::string::npos)
        return std::string();
    const std::size_t i = ab.find("encoding", 0);
    if (i == std::string::npos || i > iEnd)
        return std::string();
    const std::size_t iOpen = ab.find_first_of("\"'", i);
    const std::size_t iClose = iOpen < iEnd ? ab.find(ab[iOpen], iOpen + 1) : std::string::npos;
    return iClose < iEnd ? lower(ab.substr(iOpen + 1, iClose - iOpen - 1)) : std::string();
}

// The document as the voucher reader would hand it over: decoded, without a
// byte-order mark; false where a reader of bytes would find it undecodable (a
// byte-order mark that contradicts the declared encoding, UTF-16 without one).
bool decode(const std::string &ab, std::u16string &sText)
{
    sText.clear();
    const bool bBigEndian = ab.compare(0, 2, "\xFE\xFF") == 0, bLittleEndian = ab.compare(0, 2, "\xFF\xFE") == 0;
    if (bBigEndian || bLittleEndian) {
        std::string abAscii; // enough of the text to find its declaration
        for (std::size_t i = 2; i + 1 < ab.size(); i += 2) {
            const unsigned char a = static_cast<unsigned char>(ab[i]), b = static_cast<unsigned char>(ab[i + 1]);
            sText += char16_t(bBigEndian ? (a << 8 | b) : (b << 8 | a));
            abAscii += char(sText.back() < 0x80 ? sText.back() : '?');
        }
        const std::string sEncoding = declaredEncoding(abAscii);
        return sEncoding.empty() || sEncoding == "utf-16";
    }
    const std::string sEncoding = declaredEncoding(ab.compare(0, 3, "\xEF\xBB\xBF") == 0 ? ab.substr(3) : ab);
    if (ab.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        return (sEncoding.empty() || sEncoding == "utf-8") && decodeUtf8Strict(std::string_view(ab).substr(3), sText);
    }
    if (sEncoding == "utf-16") // without its byte-order mark
        return false;
    if (sEncoding == "iso-8859-1" || sEncoding == "us-ascii") {
        sText.assign(ab.begin(), ab.end());
        for (char16_t &c : sText)
            c &= 0xFF;
        return true;
    }
    // UTF-8, whatever else a malformed encoding name says: the reader judges the name.
    return decodeUtf8Strict(ab, sText);
}

void appendEscaped(std::u16string &sOut, const std::u16string &s)
{
    for (const char16_t c : s) {
        switch (c) {
        case u'&': sOut += u"&amp;"; break;
        case u'<': sOut += u"&lt;"; break;
        case u'>': sOut += u"&gt;"; break;
        case u'"': sOut += u"&quot;"; break;
        case u'\t': sOut += u"&#9;"; break;
        case u'\n': sOut += u"&#10;"; break;
        case u'\r': sOut += u"&#13;"; break;
        default: sOut += c;
        }
    }
}

// The document read to its end, in the suite's canonical form (James
// Clark's); false with the error in sOut when the reader rejects it.
bool canonical(const std::u16string &sXml, std::u16string &sOut)
{
    XmlReader reader(sXml);
    XmlToken t;
    sOut.clear();
    for (reader.next(t);; reader.next(t)) {
        switch (t.kind) {
        case XmlToken::Kind::StartElement: {
            sOut += u"<" + t.sQualifiedName;
            std::sort(t.attributes.begin(), t.attributes.end(),
                      [](const XmlAttribute &a, const XmlAttribute &b) { return a.sQualifiedName < b.sQualifiedName; });
            for (const XmlAttribute &a : t.attributes) {
                sOut += u" " + a.sQualifiedName + u"=\"";
                appendEscaped(sOut, a.sValue);
                sOut += u"\"";
            }
            sOut += u">";
            break;
        }
        case XmlToken::Kind::EndElement: sOut += u"</" + t.sQualifiedName + u">"; break;
        case XmlToken::Kind::Text:
        case XmlToken::Kind::CData: appendEscaped(sOut, t.sText); break;
        case XmlToken::Kind::ProcessingInstruction: sOut += u"<?" + t.sQualifiedName + u" " + t.sText + u"?>"; break;
        case XmlToken::Kind::Comment:
        case XmlToken::Kind::EntityReference: break;
        case XmlToken::Kind::Error: sOut = t.sText; return false;
        case XmlToken::Kind::EndOfDocument: return true;
        }
    }
}

// A canonical form as the suite writes it; the notations some add in a
// document type declaration are no tokens, so they are left out.
std::u16string expectedCanonical(const fs::path &path)
{
    std::string ab = readBytes(path);
    const std::size_t iDoctype = ab.find("<!DOCTYPE"), iEnd = ab.find("]>\n", iDoctype);
    if (iEnd != std::string::npos)
        ab.erase(iDoctype, iEnd + 3 - iDoctype);
    std::u16string s;
    decodeUtf8Strict(ab, s);
    return s;
}

// Canonical forms of the suite's that break its own rules.
const std::map<std::string, const char *> FAULTY_CANONICAL = {
    {"valid-sa-044", "writes its empty elements as <e/>, not <e></e>"},
};

struct Counts {
    int iPassed = 0, iFailed = 0;
};

} // namespace

TEST_CASE("the W3C XML conformance suite")
{
    const fs::path root = LUMBRIK_XMLCONF;
    std::error_code e;
    if (!fs::is_regular_file(root / "xmlconf.xml", e)) {
        MESSAGE("the W3C XML conformance suite is not beside this checkout");
        return;
    }
    // The suite's parts, as its index names them.
    const std::string abIndex = readBytes(root / "xmlconf.xml");
    std::vector<std::string> parts;
    for (std::size_t i = abIndex.find("SYSTEM \""); i != std::string::npos; i = abIndex.find("SYSTEM \"", i + 1)) {
        const std::size_t iFrom = i + 8;
        parts.push_back(abIndex.substr(iFrom, abIndex.find('"', iFrom) - iFrom));
    }
    std::map<std::string, Counts> counts;
    int iCanonical = 0;
    for (const std::string &sPart : parts) {
        const fs::path part = root / fs::u8path(sPart);
        if (sPart == "testcases.dtd")
            continue;
        for (std::map<std::string, std::string> &test : testsOf(readBytes(part))) {
            if (!applies(test))
                continue;
            const fs::path file = part.parent_path() / fs::u8path(test["URI"]);
            const std::string &sType = test["TYPE"];
            CAPTURE(test["ID"]);
            CAPTURE(sType);
            std::u16string sXml, sOut;
            const bool bRead = decode(readBytes(file), sXml) && canonical(sXml, sOut);
            const bool bRight = bRead == (sType != "not-wf");
            CHECK_MESSAGE(bRight, utf8(sOut));
            Counts &c = counts[sType];
            (bRight ? c.iPassed : c.iFailed)++;
            if (bRead && !test["OUTPUT"].empty() && !FAULTY_CANONICAL.count(test["ID"])) {
                ++iCanonical;
                CHECK(sOut == expectedCanonical(part.parent_path() / fs::u8path(test["OUTPUT"])));
            }
        }
    }
    for (const auto &[sType, c] : counts)
        MESSAGE(sType << ": " << c.iPassed << " right, " << c.iFailed << " wrong");
    MESSAGE(iCanonical << " canonical forms compared");
    CHECK(counts["valid"].iPassed > 0);
    CHECK(counts["not-wf"].iPassed > 0);
}
