#include "XmlReader.h"
#include "XmlChars.h"

#include <unordered_map>
#include <unordered_set>

namespace lumbrik {
namespace {

using namespace xml;

constexpr char16_t PAST_END = 0xFFFF; // what peek() gives past the end: no XML character
constexpr std::size_t QUOTED_MAX = 64;  // code units of a name or value that a message repeats
constexpr std::size_t FEW_ATTRIBUTES = 8; // up to this many, repeated names are sought pair by pair

const std::u16string XML_NAMESPACE = u"http://www.w3.org/XML/1998/namespace";
const std::u16string XMLNS_NAMESPACE = u"http://www.w3.org/2000/xmlns/";

// Why the text is not well formed; the reader adds where.
struct Fault {
    std::u16string sWhat;
};

[[noreturn]] void fail(std::u16string sWhat)
{
    throw Fault{std::move(sWhat)};
}

std::u16string decimal(std::uint64_t i)
{
    const std::string s = std::to_string(i);
    return std::u16string(s.begin(), s.end());
}

std::u16string codePointName(char32_t c)
{
    static const char HEX[] = "0123456789ABCDEF";
    std::u16string s = u"U+";
    int iDigits = c > 0xFFFF ? (c > 0xFFFFF ? 6 : 5) : 4;
    for (int i = iDigits - 1; i >= 0; --i)
        s += char16_t(HEX[(c >> (4 * i)) & 0xF]);
    return s;
}

// A name or value from the text, in quotes, for a message of one line: cut
// after QUOTED_MAX code units, control characters shown by their numbers.
std::u16string quoted(std::u16string_view s)
{
    std::u16string sOut = u"\"";
    for (std::size_t i = 0; i < s.size() && i < QUOTED_MAX; ++i)
        sOut += s[i] < 0x20 ? codePointName(s[i]) : std::u16string(1, s[i]);
    return sOut + (s.size() > QUOTED_MAX ? u"...\"" : u"\"");
}

void appendCodePoint(std::u16string &s, char32_t c)
{
    if (c < 0x10000) {
        s += char16_t(c);
    } else {
        s += char16_t(0xD800 + ((c - 0x10000) >> 10));
        s += char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
}

// The code point at s[i] and how many code units it takes; an unpaired
// surrogate comes back as itself, which is no XML character.
char32_t codePointAt(std::u16string_view s, std::size_t i, std::size_t &iLength)
{
    const char16_t c = s[i];
    iLength = 1;
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
        iLength = 2;
        return 0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(s[i + 1]) - 0xDC00);
    }
    return c;
}

// Line breaks as the Recommendation has them read: CR LF and a lone CR become LF.
std::u16string normaliseLineBreaks(std::u16string_view s)
{
    std::u16string sOut;
    sOut.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != u'\r')
            sOut += s[i];
        else if (i + 1 >= s.size() || s[i + 1] != u'\n')
            sOut += u'\n';
    }
    return sOut;
}

// A tokenised attribute's value: no leading or trailing spaces, single spaces between.
void collapseSpaces(std::u16string &s)
{
    std::size_t iOut = 0;
    bool bSpace = false;
    for (const char16_t c : s) {
        if (c == u' ') {
            bSpace = iOut > 0;
            continue;
        }
        if (bSpace)
            s[iOut++] = u' ';
        bSpace = false;
        s[iOut++] = c;
    }
    s.resize(iOut);
}

char16_t predefinedEntity(std::u16string_view sName)
{
    if (sName == u"lt")
        return u'<';
    if (sName == u"gt")
        return u'>';
    if (sName == u"amp")
        return u'&';
    if (sName == u"apos")
        return u'\'';
    if (sName == u"quot")
        return u'"';
    return 0;
}

struct Entity {
    std::u16string sName;
    std::u16string sText; // the replacement text of an internal entity
    bool bExternal = false;
    bool bUnparsed = false;
    bool bOpen = false; // being expanded: a reference to it now would refer to itself
};

struct AttributeDecl {
    std::u16string sName;
    bool bCData = true;
    bool bHasDefault = false;
    std::u16string sDefault;
};

// The attributes an element type's declarations name, the first of each name.
struct AttributeList {
    std::unordered_map<std::u16string, AttributeDecl> byName;
    std::vector<const AttributeDecl *> defaults; // in the order declared
};

// A stretch of text being read: the document, or an entity's replacement text.
struct Frame {
    std::u16string_view s;
    std::size_t i = 0;
    Entity *pEntity = nullptr;
    std::size_t iDepth = 0; // elements open when the entity began
};

struct OpenElement {
    std::u16string sQualifiedName, sLocalName, sNamespaceUri;
    std::size_t iBindings = 0; // name-space bindings made before its start tag
    std::size_t iFrame = 0;    // the frame its start tag was read from
};

struct RawAttribute {
    std::u16string_view sName;
    std::u16string sValue;
    std::u16string_view sNamespaceUri;
};

} // namespace

class XmlReader::Parser
{
public:
    explicit Parser(std::u16string_view sXml)
        : iExpansionLeft(XML_EXPANSION_ALLOWANCE + XML_EXPANSION_PER_CHARACTER * std::uint64_t(sXml.size()))
    {
        if (sXml.find(u'\r') != std::u16string_view::npos) {
            sNormalised = normaliseLineBreaks(sXml);
            sXml = sNormalised;
        }
        frames.push_back({sXml, 0, nullptr, 0});
        scopes[u"xml"].push_back(XML_NAMESPACE);
    }

    void next(XmlToken &t)
    {
        t.attributes.clear();
        t.sText.clear();
        if (phase == Phase::Done) {
            t.kind = XmlToken::Kind::EndOfDocument;
            return;
        }
        try {
            produce(t);
        } catch (const Fault &fault) {
            t.kind = XmlToken::Kind::Error;
            t.sText = where() + fault.sWhat;
            phase = Phase::Done;
        }
    }

private:
    enum class Phase { Start, Prolog, Content, Epilog, Done };

    // --- reading the current frame ---

    Frame &frame() { return frames.back(); }

    static char16_t peek(const Frame &f, std::size_t iAhead = 0)
    {
        return f.i + iAhead < f.s.size() ? f.s[f.i + iAhead] : PAST_END;
    }

    static bool at(const Frame &f, std::u16string_view sLiteral)
    {
        return f.s.compare(f.i, sLiteral.size(), sLiteral) == 0;
    }

    static bool skipSpace(Frame &f)
    {
        const std::size_t iFrom = f.i;
        while (f.i < f.s.size() && isSpace(f.s[f.i]))
            ++f.i;
        return f.i > iFrom;
    }

    static void requireSpace(Frame &f, const char16_t *sWhere)
    {
        if (!skipSpace(f))
            fail(u"white space expected " + std::u16string(sWhere));
    }

    static void expect(Frame &f, std::u16string_view sLiteral, std::u16string_view sWhere)
    {
        if (!at(f, sLiteral))
            fail(quoted(sLiteral) + u" expected " + std::u16string(sWhere) + found(f));
        f.i += sLiteral.size();
    }

    static std::u16string found(const Frame &f)
    {
        if (f.i >= f.s.size())
            return f.pEntity ? u", found the end of entity " + quoted(f.pEntity->sName) : u", found the end of the text";
        std::size_t iLength = 0;
        const char32_t c = codePointAt(f.s, f.i, iLength);
        if (c >= 0x21 && c < 0x7F)
            return u", found \"" + std::u16string(1, char16_t(c)) + u"\"";
        return u", found " + codePointName(c);
    }

    // Steps over one XML character of literal text, failing on anything else.
    static void stepChar(Frame &f)
    {
        std::size_t iLength = 0;
        const char32_t c = codePointAt(f.s, f.i, iLength);
        if (!isChar(c))
            fail(u"not an XML character: " + codePointName(c));
        f.i += iLength;
    }

    // Steps over XML characters up to sEnd; the frame must hold it.
    static void stepCharsUntil(Frame &f, std::u16string_view sEnd, const std::u16string &sUnclosed)
    {
        while (!at(f, sEnd)) {
            if (f.i >= f.s.size())
                fail(sUnclosed);
            stepChar(f);
        }
    }

    static std::u16string_view parseName(Frame &f, const char16_t *sWhat)
    {
        const std::size_t iFrom = f.i;
        std::size_t iLength = 0;
        if (f.i >= f.s.size() || !isNameStartChar(codePointAt(f.s, f.i, iLength)))
            fail(std::u16string(sWhat) + u" expected" + found(f));
        f.i += iLength;
        while (f.i < f.s.size()) {
            const char16_t c = f.s[f.i];
            if (c < 0x80) {
                if (!isNameChar(c))
                    break;
                ++f.i;
            } else if (isNameChar(codePointAt(f.s, f.i, iLength))) {
                f.i += iLength;
            } else {
                break;
            }
        }
        return f.s.substr(iFrom, f.i - iFrom);
    }

    static void parseNmtoken(Frame &f)
    {
        std::size_t iLength = 0;
        const std::size_t iFrom = f.i;
        while (f.i < f.s.size() && isNameChar(codePointAt(f.s, f.i, iLength)))
            f.i += iLength;
        if (f.i == iFrom)
            fail(u"a name token expected" + found(f));
    }

    // Names in a name-space aware document: a local part, or prefix:local.
    static void checkQName(std::u16string_view sName)
    {
        const std::size_t iColon = sName.find(u':');
        if (iColon == std::u16string_view::npos)
            return;
        std::size_t iLength = 0;
        if (iColon == 0 || iColon + 1 == sName.size() || sName.find(u':', iColon + 1) != std::u16string_view::npos
            || !isNameStartChar(codePointAt(sName, iColon + 1, iLength)))
            fail(u"not a qualified name: " + quoted(sName));
    }

    static void checkNoColon(std::u16string_view sName)
    {
        if (sName.find(u':') != std::u16string_view::npos)
            fail(u"a colon in the name " + quoted(sName));
    }

    // '&#' digits ';' or '&#x' hex ';', standing at '&#'.
    static char32_t parseCharRef(Frame &f)
    {
        f.i += 2;
        const bool bHex = peek(f) == u'x';
        if (bHex)
            ++f.i;
        char32_t c = 0;
        std::size_t iDigits = 0;
        for (;; ++f.i, ++iDigits) {
            const char16_t d = peek(f);
            int iValue = -1;
            if (d >= u'0' && d <= u'9')
                iValue = d - u'0';
            else if (bHex && d >= u'a' && d <= u'f')
                iValue = d - u'a' + 10;
            else if (bHex && d >= u'A' && d <= u'F')
                iValue = d - u'A' + 10;
            if (iValue < 0)
                break;
            c = c > 0x10FFFF ? c : c * (bHex ? 16 : 10) + char32_t(iValue);
        }
        if (iDigits == 0 || peek(f) != u';')
            fail(u"a malformed character reference" + found(f));
        ++f.i;
        if (!isChar(c))
            fail(u"a character reference to no XML character (" + (c > 0x10FFFF ? u"beyond U+10FFFF" : codePointName(c)) + u")");
        return c;
    }

    // --- the document ---

    void produce(XmlToken &t)
    {
        if (iSubsetToken < subsetTokens.size()) {
            t = std::move(subsetTokens[iSubsetToken++]);
            return;
        }
        if (bPendingEnd) {
            bPendingEnd = false;
            endElement(t);
            return;
        }
        if (phase == Phase::Start) {
            phase = Phase::Prolog;
            if (at(frame(), u"<?xml") && isSpace(peek(frame(), 5)))
                xmlDeclaration(frame());
        }
        for (;;) {
            Frame &f = frame();
            if (f.i >= f.s.size()) {
                if (frames.size() > 1) {
                    leaveEntity();
                    continue;
                }
                if (!t.sText.empty()) {
                    t.kind = XmlToken::Kind::Text;
                    return;
                }
                endDocument(t);
                return;
            }
            if (phase == Phase::Content ? content(t) : misc(t))
                return;
        }
    }

    void endDocument(XmlToken &t)
    {
        if (phase == Phase::Prolog)
            fail(u"no document element");
        if (phase == Phase::Content)
            fail(u"the text ends inside the element " + quoted(elements.back().sQualifiedName));
        t.kind = XmlToken::Kind::EndOfDocument;
        phase = Phase::Done;
    }

    // '<?xml' VersionInfo EncodingDecl? SDDecl? S? '?>'. The encoding is
    // checked but means nothing: the text is decoded already.
    void xmlDeclaration(Frame &f)
    {
        f.i += 5;
        skipSpace(f);
        expect(f, u"version", u"in the XML declaration");
        const std::u16string sVersion = declarationValue(f);
        if (sVersion.size() < 3 || sVersion.compare(0, 2, u"1.") != 0
            || sVersion.find_first_not_of(u"0123456789", 2) != std::u16string::npos)
            fail(u"not an XML 1.x version: " + quoted(sVersion));
        bool bSpace = skipSpace(f);
        if (bSpace && at(f, u"encoding")) {
            f.i += 8;
            const std::u16string sEncoding = declarationValue(f);
            bool bName = !sEncoding.empty();
            for (std::size_t i = 0; i < sEncoding.size() && bName; ++i) {
                const char16_t c = sEncoding[i];
                const bool bLetter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
                bName = bLetter || (i > 0 && ((c >= u'0' && c <= u'9') || c == u'.' || c == u'_' || c == u'-'));
            }
            if (!bName)
                fail(u"not an encoding name: " + quoted(sEncoding));
            bSpace = skipSpace(f);
        }
        if (bSpace && at(f, u"standalone")) {
            f.i += 10;
            const std::u16string sStandalone = declarationValue(f);
            if (sStandalone != u"yes" && sStandalone != u"no")
                fail(u"standalone must be \"yes\" or \"no\", not " + quoted(sStandalone));
            bStandalone = sStandalone == u"yes";
            skipSpace(f);
        }
        expect(f, u"?>", u"to end the XML declaration");
    }

    // Eq, then a value in quotes as the XML declaration has them.
    static std::u16string declarationValue(Frame &f)
    {
        skipSpace(f);
        expect(f, u"=", u"in the XML declaration");
        skipSpace(f);
        const char16_t q = peek(f);
        if (q != u'"' && q != u'\'')
            fail(u"a quoted value expected in the XML declaration" + found(f));
        const std::size_t iEnd = f.s.find(q, f.i + 1);
        if (iEnd == std::u16string_view::npos)
            fail(u"a value in the XML declaration is not closed");
        std::u16string s(f.s.substr(f.i + 1, iEnd - f.i - 1));
        f.i = iEnd + 1;
        return s;
    }

    // Before and after the document element: white space, comments,
    // processing instructions, and before it the document type.
    bool misc(XmlToken &t)
    {
        Frame &f = frame();
        if (skipSpace(f))
            return false;
        if (at(f, u"<?"))
            return processingInstruction(f, t), true;
        if (at(f, u"<!--"))
            return comment(f, t), true;
        if (phase == Phase::Prolog && at(f, u"<!DOCTYPE")) {
            if (bDoctype)
                fail(u"a second document type declaration");
            doctype(f);
            if (subsetTokens.empty())
                return false;
            t = std::move(subsetTokens[iSubsetToken++]);
            return true;
        }
        if (phase == Phase::Prolog && peek(f) == u'<' && peek(f, 1) != u'!') {
            phase = Phase::Content;
            startTag(f, t);
            return true;
        }
        if (peek(f) == u'<')
            fail(u"a markup declaration out of place");
        fail(phase == Phase::Prolog ? u"text before the document element" : u"text after the document element");
    }

    // Inside the document element: markup, references and character data.
    bool content(XmlToken &t)
    {
        Frame &f = frame();
        const char16_t c = f.s[f.i];
        if (c == u'<') {
            if (!t.sText.empty()) {
                t.kind = XmlToken::Kind::Text;
                return true;
            }
            if (peek(f, 1) == u'/')
                endTag(f, t);
            else if (at(f, u"<!--"))
                comment(f, t);
            else if (at(f, u"<![CDATA["))
                cdata(f, t);
            else if (peek(f, 1) == u'?')
                processingInstruction(f, t);
            else if (peek(f, 1) == u'!')
                fail(u"a markup declaration inside the document element");
            else
                startTag(f, t);
            return true;
        }
        if (c == u'&')
            return reference(f, t);
        charData(f, t);
        return false;
    }

    void charData(Frame &f, XmlToken &t)
    {
        const char16_t *p = f.s.data();
        const std::size_t n = f.s.size();
        const std::size_t iFrom = f.i;
        std::size_t i = f.i;
        while (i < n) {
            const char16_t c = p[i];
            if (c >= 0x20 && c < 0xD800 && c != u'<' && c != u'&' && c != u']') {
                ++i;
                continue;
            }
            if (c == u'<' || c == u'&')
                break;
            if (c == u']' && i + 2 < n && p[i + 1] == u']' && p[i + 2] == u'>') {
                f.i = i;
                fail(u"\"]]>\" in character data");
            }
            if (c == u']' || c == u'\n' || c == u'\t' || c == u'\r') {
                ++i;
                continue;
            }
            f.i = i;
            stepChar(f);
            i = f.i;
        }
        t.sText.append(p + iFrom, i - iFrom);
        f.i = i;
    }

    // '&' in content: a character, a predefined entity, an entity's text to
    // read next, or a token for one whose declaration was not read.
    bool reference(Frame &f, XmlToken &t)
    {
        if (peek(f, 1) == u'#') {
            appendCodePoint(t.sText, parseCharRef(f));
            return false;
        }
        const std::size_t iFrom = f.i;
        ++f.i;
        const std::u16string_view sName = parseName(f, u"an entity name after \"&\"");
        expect(f, u";", u"after an entity name");
        if (const char16_t c = predefinedEntity(sName)) {
            t.sText += c;
            return false;
        }
        Entity *e = generalEntity(sName);
        if (!e) {
            if (!t.sText.empty()) {
                f.i = iFrom;
                t.kind = XmlToken::Kind::Text;
                return true;
            }
            t.kind = XmlToken::Kind::EntityReference;
            t.sQualifiedName.assign(sName);
            return true;
        }
        if (e->bExternal)
            fail(u"the external entity " + quoted(sName) + u" is not read");
        enterEntity(*e, elements.size());
        return false;
    }

    // The entity of that name, checked for a reference from content or an
    // attribute; null for one that is not declared where that is allowed.
    Entity *generalEntity(std::u16string_view sName)
    {
        const auto it = general.find(std::u16string(sName));
        if (it == general.end()) {
            if (entitiesMustBeDeclared())
                fail(u"the entity " + quoted(sName) + u" is not declared");
            return nullptr;
        }
        Entity &e = it->second;
        if (e.bUnparsed)
            fail(u"a reference to the unparsed entity " + quoted(sName));
        if (e.bOpen)
            fail(u"the entity " + quoted(sName) + u" refers to itself");
        return &e;
    }

    // Whether an undeclared entity is an error: unless a declaration could be
    // in what was not read (an external subset, a parameter entity).
    bool entitiesMustBeDeclared() const { return bStandalone || (!bExternalSubset && !bParameterReference); }

    void charge(const Entity &e)
    {
        const std::uint64_t iCost = std::uint64_t(e.sText.size()) + 1;
        if (iCost > iExpansionLeft)
            fail(u"entity expansion beyond this text's budget, at the entity " + quoted(e.sName));
        iExpansionLeft -= iCost;
    }

    // Defaults added to elements come from the same budget: a DTD could
    // otherwise give every element of the text every attribute it declares.
    void charge(const AttributeDecl &d)
    {
        const std::uint64_t iCost = std::uint64_t(d.sName.size()) + d.sDefault.size() + 1;
        if (iCost > iExpansionLeft)
            fail(u"attribute defaults beyond this text's budget, at the attribute " + quoted(d.sName));
        iExpansionLeft -= iCost;
    }

    void enterEntity(Entity &e, std::size_t iDepth)
    {
        charge(e);
        e.bOpen = true;
        frames.push_back({e.sText, 0, &e, iDepth});
    }

    void leaveEntity()
    {
        Frame &f = frame();
        if (phase == Phase::Content && elements.size() != f.iDepth)
            fail(u"the entity " + quoted(f.pEntity->sName) + u" ends inside the element " + quoted(elements.back().sQualifiedName));
        f.pEntity->bOpen = false;
        frames.pop_back();
    }

    void comment(Frame &f, XmlToken &t)
    {
        f.i += 4;
        const std::size_t iFrom = f.i;
        for (;;) {
            if (f.i >= f.s.size())
                fail(u"a comment is not closed");
            if (f.s[f.i] == u'-' && peek(f, 1) == u'-') {
                if (peek(f, 2) != u'>')
                    fail(u"\"--\" inside a comment");
                break;
            }
            stepChar(f);
        }
        t.kind = XmlToken::Kind::Comment;
        t.sText.assign(f.s.substr(iFrom, f.i - iFrom));
        f.i += 3;
    }

    void cdata(Frame &f, XmlToken &t)
    {
        f.i += 9;
        const std::size_t iFrom = f.i;
        stepCharsUntil(f, u"]]>", u"a CDATA section is not closed");
        t.kind = XmlToken::Kind::CData;
        t.sText.assign(f.s.substr(iFrom, f.i - iFrom));
        f.i += 3;
    }

    void processingInstruction(Frame &f, XmlToken &t)
    {
        f.i += 2;
        const std::u16string_view sTarget = parseName(f, u"a processing instruction's target");
        if (sTarget.size() == 3 && (sTarget[0] | 0x20) == u'x' && (sTarget[1] | 0x20) == u'm' && (sTarget[2] | 0x20) == u'l')
            fail(sTarget == u"xml" ? u"an XML declaration not at the start of the text"
                                   : u"the processing instruction target " + quoted(sTarget) + u" is reserved");
        checkNoColon(sTarget);
        std::size_t iFrom = f.i;
        if (f.i >= f.s.size())
            fail(u"the processing instruction " + quoted(sTarget) + u" is not closed");
        if (!at(f, u"?>")) {
            requireSpace(f, u"after a processing instruction's target");
            iFrom = f.i;
            stepCharsUntil(f, u"?>", u"the processing instruction " + quoted(sTarget) + u" is not closed");
        }
        t.kind = XmlToken::Kind::ProcessingInstruction;
        t.sQualifiedName.assign(sTarget);
        t.sText.assign(f.s.substr(iFrom, f.i - iFrom));
        f.i += 2;
    }

    // --- elements ---

    void startTag(Frame &f, XmlToken &t)
    {
        ++f.i;
        const std::u16string_view sName = parseName(f, u"an element name after \"<\"");
        attributes.clear();
        bool bEmpty = false;
        for (;;) {
            const bool bSpace = skipSpace(f);
            if (peek(f) == u'>') {
                ++f.i;
                break;
            }
            if (at(f, u"/>")) {
                f.i += 2;
                bEmpty = true;
                break;
            }
            if (!bSpace)
                fail(u"white space, \">\" or \"/>\" expected in the start tag of " + quoted(sName) + found(f));
            RawAttribute a;
            a.sName = parseName(f, u"an attribute name");
            skipSpace(f);
            if (peek(f) != u'=') // the message only when it is needed: this is every attribute's path
                fail(u"\"=\" expected after the attribute name " + quoted(a.sName) + found(f));
            ++f.i;
            skipSpace(f);
            attributeValue(f, a.sValue);
            attributes.push_back(std::move(a));
        }
        checkUniqueNames(sName);
        applyAttributeDecls(sName);
        openElement(sName, t);
        if (bEmpty)
            bPendingEnd = true;
    }

    void checkUniqueNames(std::u16string_view sElement)
    {
        const std::size_t n = attributes.size();
        if (n <= FEW_ATTRIBUTES) {
            for (std::size_t i = 1; i < n; ++i)
                for (std::size_t j = 0; j < i; ++j)
                    if (attributes[i].sName == attributes[j].sName)
                        fail(u"the attribute " + quoted(attributes[i].sName) + u" appears twice on " + quoted(sElement));
            return;
        }
        std::unordered_set<std::u16string_view> names;
        for (const RawAttribute &a : attributes)
            if (!names.insert(a.sName).second)
                fail(u"the attribute " + quoted(a.sName) + u" appears twice on " + quoted(sElement));
    }

    // Normalises declared attributes that are not CDATA, and adds the defaults.
    void applyAttributeDecls(std::u16string_view sElement)
    {
        if (attributeLists.empty())
            return;
        const auto it = attributeLists.find(std::u16string(sElement));
        if (it == attributeLists.end())
            return;
        const AttributeList &list = it->second;
        std::unordered_set<std::u16string_view> given;
        for (RawAttribute &a : attributes) {
            given.insert(a.sName);
            const auto found = list.byName.find(std::u16string(a.sName));
            if (found != list.byName.end() && !found->second.bCData)
                collapseSpaces(a.sValue);
        }
        for (const AttributeDecl *d : list.defaults) {
            if (given.count(d->sName))
                continue;
            charge(*d);
            attributes.push_back({d->sName, d->sDefault, {}});
        }
    }

    // Binds the start tag's name-space declarations, resolves its names,
    // and makes the token.
    void openElement(std::u16string_view sName, XmlToken &t)
    {
        OpenElement e;
        e.iBindings = bound.size();
        e.iFrame = frames.size() - 1;
        for (const RawAttribute &a : attributes)
            declareNamespace(a);
        checkQName(sName);
        const std::size_t iColon = sName.find(u':');
        const std::u16string_view sPrefix = iColon == std::u16string_view::npos ? std::u16string_view() : sName.substr(0, iColon);
        if (sPrefix == u"xmlns")
            fail(u"the element " + quoted(sName) + u" has the prefix xmlns");
        const std::u16string *pUri = namespaceOf(sPrefix);
        if (!pUri && !sPrefix.empty())
            fail(u"the prefix " + quoted(sPrefix) + u" of the element " + quoted(sName) + u" is not declared");
        e.sQualifiedName.assign(sName);
        e.sLocalName.assign(iColon == std::u16string_view::npos ? sName : sName.substr(iColon + 1));
        if (pUri)
            e.sNamespaceUri = *pUri;
        resolveAttributes(sName);

        t.kind = XmlToken::Kind::StartElement;
        t.sQualifiedName = e.sQualifiedName;
        t.sLocalName = e.sLocalName;
        t.sNamespaceUri = e.sNamespaceUri;
        t.attributes.resize(attributes.size());
        for (std::size_t i = 0; i < attributes.size(); ++i) {
            t.attributes[i].sQualifiedName.assign(attributes[i].sName);
            t.attributes[i].sValue.swap(attributes[i].sValue);
        }
        elements.push_back(std::move(e));
    }

    void declareNamespace(const RawAttribute &a)
    {
        if (a.sName.compare(0, 5, u"xmlns") != 0 || (a.sName.size() > 5 && a.sName[5] != u':'))
            return;
        checkQName(a.sName);
        const std::u16string_view sPrefix = a.sName.size() > 5 ? a.sName.substr(6) : std::u16string_view();
        const std::u16string &sUri = a.sValue;
        if (sPrefix == u"xmlns")
            fail(u"the prefix xmlns is declared");
        if (sPrefix == u"xml" ? sUri != XML_NAMESPACE : sUri == XML_NAMESPACE)
            fail(u"the prefix xml and its name space " + quoted(XML_NAMESPACE) + u" belong only to each other");
        if (sUri == XMLNS_NAMESPACE)
            fail(u"the name space " + quoted(XMLNS_NAMESPACE) + u" is declared");
        if (!sPrefix.empty() && sUri.empty())
            fail(u"the prefix " + quoted(sPrefix) + u" is declared empty");
        sKey.assign(sPrefix);
        scopes[sKey].push_back(sUri);
        bound.push_back(sKey);
    }

    // The innermost name space bound to the prefix, or null; the empty
    // prefix stands for the default name space, which may be none.
    const std::u16string *namespaceOf(std::u16string_view sPrefix)
    {
        sKey.assign(sPrefix);
        const auto it = scopes.find(sKey);
        if (it == scopes.end() || it->second.empty() || it->second.back().empty())
            return nullptr;
        return &it->second.back();
    }

    void resolveAttributes(std::u16string_view sElement)
    {
        std::size_t iPrefixed = 0;
        for (RawAttribute &a : attributes) {
            checkQName(a.sName);
            const std::size_t iColon = a.sName.find(u':');
            if (iColon == std::u16string_view::npos || a.sName.compare(0, 6, u"xmlns:") == 0)
                continue;
            const std::u16string_view sPrefix = a.sName.substr(0, iColon);
            const std::u16string *pUri = namespaceOf(sPrefix);
            if (!pUri)
                fail(u"the prefix " + quoted(sPrefix) + u" of the attribute " + quoted(a.sName) + u" is not declared");
            a.sNamespaceUri = *pUri;
            ++iPrefixed;
        }
        if (iPrefixed < 2)
            return;
        std::unordered_set<std::u16string> names;
        for (const RawAttribute &a : attributes) {
            if (a.sNamespaceUri.empty())
                continue;
            std::u16string sExpanded(a.sNamespaceUri);
            sExpanded += PAST_END;
            sExpanded += a.sName.substr(a.sName.find(u':') + 1);
            if (!names.insert(std::move(sExpanded)).second)
                fail(u"the attribute " + quoted(a.sName) + u" on " + quoted(sElement) + u" repeats a name in the same name space");
        }
    }

    void endTag(Frame &f, XmlToken &t)
    {
        f.i += 2;
        const std::u16string_view sName = parseName(f, u"an element name after \"</\"");
        skipSpace(f);
        if (peek(f) != u'>')
            fail(u"\">\" expected to end the end tag of " + quoted(sName) + found(f));
        ++f.i;
        const OpenElement &e = elements.back();
        if (sName != e.sQualifiedName)
            fail(u"the end tag " + quoted(sName) + u" does not match the start tag " + quoted(e.sQualifiedName));
        if (e.iFrame != frames.size() - 1)
            fail(u"the element " + quoted(sName) + u" does not end in the entity it starts in");
        endElement(t);
    }

    void endElement(XmlToken &t)
    {
        OpenElement &e = elements.back();
        t.kind = XmlToken::Kind::EndElement;
        t.sQualifiedName.swap(e.sQualifiedName);
        t.sLocalName.swap(e.sLocalName);
        t.sNamespaceUri.swap(e.sNamespaceUri);
        while (bound.size() > e.iBindings) {
            scopes[bound.back()].pop_back();
            bound.pop_back();
        }
        elements.pop_back();
        if (elements.empty())
            phase = Phase::Epilog;
    }

    // --- attribute values ---

    // A quoted attribute value, normalised as for CDATA, with every
    // reference resolved.
    void attributeValue(Frame &f, std::u16string &sValue)
    {
        const char16_t q = quote(f);
        sValue.clear();
        for (;;) {
            if (f.i >= f.s.size())
                fail(u"an attribute value is not closed");
            const char16_t c = f.s[f.i];
            if (c == q) {
                ++f.i;
                return;
            }
            if (c == u'<')
                fail(u"\"<\" in an attribute value");
            if (c == u'&') {
                if (peek(f, 1) == u'#') {
                    appendCodePoint(sValue, parseCharRef(f));
                    continue;
                }
                ++f.i;
                const std::u16string_view sName = parseName(f, u"an entity name after \"&\"");
                expect(f, u";", u"after an entity name");
                if (const char16_t cPredefined = predefinedEntity(sName))
                    sValue += cPredefined;
                else if (bExpandAttributeEntities)
                    expandInAttribute(sName, sValue);
                continue;
            }
            if (isSpace(c)) {
                sValue += u' ';
                ++f.i;
                continue;
            }
            const std::size_t iFrom = f.i;
            stepChar(f);
            sValue.append(f.s.substr(iFrom, f.i - iFrom));
        }
    }

    // An entity's replacement text inside an attribute value, entities in it
    // resolved in turn from a stack of their own.
    void expandInAttribute(std::u16string_view sName, std::u16string &sValue)
    {
        Entity *e = attributeEntity(sName);
        if (!e)
            return;
        std::vector<Frame> stack;
        charge(*e);
        e->bOpen = true;
        stack.push_back({e->sText, 0, e, 0});
        while (!stack.empty()) {
            Frame &f = stack.back();
            if (f.i >= f.s.size()) {
                f.pEntity->bOpen = false;
                stack.pop_back();
                continue;
            }
            const char16_t c = f.s[f.i];
            if (c == u'<')
                fail(u"\"<\" in an attribute value, from the entity " + quoted(f.pEntity->sName));
            if (c == u'&') {
                if (peek(f, 1) == u'#') {
                    appendCodePoint(sValue, parseCharRef(f));
                    continue;
                }
                ++f.i;
                const std::u16string_view sInner = parseName(f, u"an entity name after \"&\"");
                expect(f, u";", u"after an entity name");
                if (const char16_t cPredefined = predefinedEntity(sInner)) {
                    sValue += cPredefined;
                } else if (Entity *pInner = attributeEntity(sInner)) {
                    charge(*pInner);
                    pInner->bOpen = true;
                    stack.push_back({pInner->sText, 0, pInner, 0});
                }
                continue;
            }
            sValue += isSpace(c) ? u' ' : c;
            ++f.i;
        }
    }

    Entity *attributeEntity(std::u16string_view sName)
    {
        Entity *e = generalEntity(sName);
        if (e && e->bExternal)
            fail(u"a reference to the external entity " + quoted(sName) + u" in an attribute value");
        return e;
    }

    // --- the document type ---

    void doctype(Frame &f)
    {
        f.i += 9;
        requireSpace(f, u"after \"<!DOCTYPE\"");
        checkQName(parseName(f, u"the document element's name"));
        const bool bSpace = skipSpace(f);
        if (bSpace && (at(f, u"SYSTEM") || at(f, u"PUBLIC"))) {
            externalId(f, false);
            bExternalSubset = true;
            skipSpace(f);
        }
        if (peek(f) == u'[') {
            ++f.i;
            internalSubset();
            skipSpace(frame());
        }
        expect(frame(), u">", u"to end the document type declaration");
        bDoctype = true;
    }

    // 'SYSTEM' S SystemLiteral | 'PUBLIC' S PubidLiteral S SystemLiteral; a
    // notation may leave the system literal out.
    static void externalId(Frame &f, bool bNotation)
    {
        const bool bPublic = at(f, u"PUBLIC");
        if (!bPublic && !at(f, u"SYSTEM"))
            fail(u"\"SYSTEM\" or \"PUBLIC\" expected" + found(f));
        f.i += 6;
        requireSpace(f, u"after SYSTEM or PUBLIC");
        if (bPublic) {
            const char16_t q = quote(f);
            for (; peek(f) != q; ++f.i)
                if (f.i >= f.s.size() || !isPubidChar(f.s[f.i]))
                    fail(u"not a public identifier's character" + found(f));
            ++f.i;
            const bool bSpace = skipSpace(f);
            if (bNotation && peek(f) == u'>')
                return;
            if (!bSpace)
                fail(u"white space expected after the public identifier" + found(f));
        }
        const char16_t q = quote(f);
        while (peek(f) != q) {
            if (f.i >= f.s.size())
                fail(u"a system identifier is not closed");
            stepChar(f);
        }
        ++f.i;
    }

    static char16_t quote(Frame &f)
    {
        const char16_t q = peek(f);
        if (q != u'"' && q != u'\'')
            fail(u"a quoted literal expected" + found(f));
        ++f.i;
        return q;
    }

    // Declarations up to "]"; the replacement text of an internal parameter
    // entity is read in turn, from the same stack of frames.
    void internalSubset()
    {
        for (;;) {
            Frame &f = frame();
            skipSpace(f);
            if (f.i >= f.s.size()) {
                if (frames.size() == 1)
                    fail(u"the internal subset is not closed");
                f.pEntity->bOpen = false;
                frames.pop_back();
                continue;
            }
            if (peek(f) == u']') {
                if (frames.size() > 1)
                    fail(u"\"]\" inside the parameter entity " + quoted(f.pEntity->sName));
                ++f.i;
                return;
            }
            if (peek(f) == u'%')
                parameterReference(f);
            else if (at(f, u"<!ENTITY"))
                entityDecl(f);
            else if (at(f, u"<!ATTLIST"))
                attlistDecl(f);
            else if (at(f, u"<!ELEMENT"))
                elementDecl(f);
            else if (at(f, u"<!NOTATION"))
                notationDecl(f);
            else if (at(f, u"<!--"))
                comment(f, subsetToken());
            else if (at(f, u"<?"))
                processingInstruction(f, subsetToken());
            else
                fail(u"a markup declaration expected in the internal subset" + found(f));
        }
    }

    // Comments and processing instructions in the internal subset come as
    // tokens after the document type declaration.
    XmlToken &subsetToken()
    {
        subsetTokens.emplace_back();
        return subsetTokens.back();
    }

    // A parameter entity that is not read (external, or not declared) may
    // hold declarations that override later ones: those are then only
    // checked, not used, unless the document says it stands alone.
    void parameterReference(Frame &f)
    {
        ++f.i;
        const std::u16string_view sName = parseName(f, u"a parameter entity's name after \"%\"");
        expect(f, u";", u"after a parameter entity's name");
        bParameterReference = true;
        const auto it = parameters.find(std::u16string(sName));
        if (it == parameters.end() && bStandalone)
            fail(u"the parameter entity " + quoted(sName) + u" is not declared");
        if (it == parameters.end() || it->second.bExternal) {
            bDeclarationsRead = bStandalone;
            return;
        }
        if (it->second.bOpen)
            fail(u"the parameter entity " + quoted(sName) + u" refers to itself");
        enterEntity(it->second, 0);
    }

    // Declarations are read within the frame they start in.
    void endDecl(Frame &f, const char16_t *sWhat)
    {
        skipSpace(f);
        expect(f, u">", sWhat);
    }

    void entityDecl(Frame &f)
    {
        f.i += 8;
        requireSpace(f, u"after \"<!ENTITY\"");
        const bool bParameter = peek(f) == u'%';
        if (bParameter) {
            ++f.i;
            requireSpace(f, u"after \"%\" in an entity declaration");
        }
        Entity e;
        e.sName.assign(parseName(f, u"an entity name"));
        checkNoColon(e.sName);
        requireSpace(f, u"after an entity's name");
        if (peek(f) == u'"' || peek(f) == u'\'') {
            entityValue(f, e.sText);
        } else {
            externalId(f, false);
            e.bExternal = true;
            const bool bSpace = skipSpace(f);
            if (!bParameter && bSpace && at(f, u"NDATA")) {
                f.i += 5;
                requireSpace(f, u"after NDATA");
                parseName(f, u"a notation name");
                e.bUnparsed = true;
            }
        }
        endDecl(f, u"to end an entity declaration");
        if (!bDeclarationsRead || (!bParameter && predefinedEntity(e.sName)))
            return;
        auto &entities = bParameter ? parameters : general;
        const std::u16string sName = e.sName;
        entities.emplace(sName, std::move(e)); // the first declaration binds
    }

    // An entity's literal value: character references resolved now, entity
    // references kept for when the entity is used.
    void entityValue(Frame &f, std::u16string &sText)
    {
        const char16_t q = quote(f);
        for (;;) {
            if (f.i >= f.s.size())
                fail(u"an entity value is not closed");
            const char16_t c = f.s[f.i];
            if (c == q) {
                ++f.i;
                return;
            }
            if (c == u'%')
                fail(u"a parameter entity reference inside a declaration in the internal subset");
            if (c == u'&' && peek(f, 1) == u'#') {
                appendCodePoint(sText, parseCharRef(f));
                continue;
            }
            const std::size_t iFrom = f.i;
            if (c == u'&') {
                ++f.i;
                parseName(f, u"an entity name after \"&\"");
                expect(f, u";", u"after an entity name");
            } else {
                stepChar(f);
            }
            sText.append(f.s.substr(iFrom, f.i - iFrom));
        }
    }

    void attlistDecl(Frame &f)
    {
        f.i += 9;
        requireSpace(f, u"after \"<!ATTLIST\"");
        const std::u16string_view sElement = parseName(f, u"an element name");
        checkQName(sElement);
        for (;;) {
            const bool bSpace = skipSpace(f);
            if (peek(f) == u'>') {
                ++f.i;
                return;
            }
            if (!bSpace)
                fail(u"white space expected in an attribute-list declaration" + found(f));
            AttributeDecl d;
            d.sName.assign(parseName(f, u"an attribute name"));
            checkQName(d.sName);
            requireSpace(f, u"after an attribute's name");
            d.bCData = attributeType(f);
            requireSpace(f, u"after an attribute's type");
            if (at(f, u"#REQUIRED") || at(f, u"#IMPLIED")) {
                f.i += at(f, u"#REQUIRED") ? 9 : 8;
            } else {
                if (at(f, u"#FIXED")) {
                    f.i += 6;
                    requireSpace(f, u"after #FIXED");
                }
                // A reference in a default is resolved where it is declared.
                bExpandAttributeEntities = bDeclarationsRead;
                attributeValue(f, d.sDefault);
                bExpandAttributeEntities = true;
                d.bHasDefault = true;
                if (!d.bCData)
                    collapseSpaces(d.sDefault);
            }
            if (!bDeclarationsRead)
                continue;
            AttributeList &list = attributeLists[std::u16string(sElement)];
            const std::u16string sName = d.sName;
            const auto added = list.byName.emplace(sName, std::move(d)); // the first declaration binds
            if (added.second && added.first->second.bHasDefault)
                list.defaults.push_back(&added.first->second);
        }
    }

    // The attribute's type; true for CDATA, whose value keeps its spaces.
    static bool attributeType(Frame &f)
    {
        if (peek(f) == u'(') {
            nameGroup(f, false);
            return false;
        }
        const std::u16string_view sType = parseName(f, u"an attribute type");
        if (sType == u"CDATA")
            return true;
        if (sType == u"NOTATION") {
            requireSpace(f, u"after NOTATION");
            nameGroup(f, true);
            return false;
        }
        for (const char16_t *s : {u"ID", u"IDREF", u"IDREFS", u"ENTITY", u"ENTITIES", u"NMTOKEN", u"NMTOKENS"})
            if (sType == s)
                return false;
        fail(u"not an attribute type: " + quoted(sType));
    }

    // '(' S? Nmtoken (S? '|' S? Nmtoken)* S? ')', names for a notation.
    static void nameGroup(Frame &f, bool bNames)
    {
        expect(f, u"(", u"to open a list of values");
        for (;;) {
            skipSpace(f);
            if (bNames)
                checkNoColon(parseName(f, u"a notation name"));
            else
                parseNmtoken(f);
            skipSpace(f);
            if (peek(f) == u')') {
                ++f.i;
                return;
            }
            expect(f, u"|", u"between values");
        }
    }

    void elementDecl(Frame &f)
    {
        f.i += 9;
        requireSpace(f, u"after \"<!ELEMENT\"");
        checkQName(parseName(f, u"an element name"));
        requireSpace(f, u"after an element's name");
        if (at(f, u"EMPTY"))
            f.i += 5;
        else if (at(f, u"ANY"))
            f.i += 3;
        else
            contentModel(f);
        endDecl(f, u"to end an element declaration");
    }

    // Mixed or children, the groups nested on a stack of their separators.
    static void contentModel(Frame &f)
    {
        expect(f, u"(", u"to open a content model");
        skipSpace(f);
        if (at(f, u"#PCDATA")) {
            mixedContent(f);
            return;
        }
        std::vector<char16_t> groups{0}; // each open group's separator, once known
        for (;;) {
            skipSpace(f);
            if (peek(f) == u'(') {
                ++f.i;
                groups.push_back(0);
                continue;
            }
            checkQName(parseName(f, u"an element name in a content model"));
            quantifier(f);
            for (;;) {
                skipSpace(f);
                const char16_t c = peek(f);
                if (c == u')') {
                    ++f.i;
                    groups.pop_back();
                    quantifier(f);
                    if (groups.empty())
                        return;
                    continue;
                }
                if (c != u'|' && c != u',')
                    fail(u"\"|\", \",\" or \")\" expected in a content model" + found(f));
                if (groups.back() != 0 && groups.back() != c)
                    fail(u"\"|\" and \",\" mixed in one group of a content model");
                groups.back() = c;
                ++f.i;
                break;
            }
        }
    }

    static void quantifier(Frame &f)
    {
        const char16_t c = peek(f);
        if (c == u'?' || c == u'*' || c == u'+')
            ++f.i;
    }

    // '(' S? '#PCDATA' (S? '|' S? Name)* S? ')*', or without names ')' alone.
    static void mixedContent(Frame &f)
    {
        f.i += 7;
        bool bNames = false;
        for (;;) {
            skipSpace(f);
            if (peek(f) == u')') {
                ++f.i;
                if (peek(f) == u'*')
                    ++f.i;
                else if (bNames)
                    fail(u"\")*\" expected to end mixed content with element names" + found(f));
                return;
            }
            expect(f, u"|", u"in mixed content");
            skipSpace(f);
            checkQName(parseName(f, u"an element name in mixed content"));
            bNames = true;
        }
    }

    void notationDecl(Frame &f)
    {
        f.i += 10;
        requireSpace(f, u"after \"<!NOTATION\"");
        checkNoColon(parseName(f, u"a notation name"));
        requireSpace(f, u"after a notation's name");
        externalId(f, true);
        endDecl(f, u"to end a notation declaration");
    }

    // --- where ---

    // "Line L, column C: " for the position in the text, counted in
    // characters; inside an entity, the position after the reference to it.
    std::u16string where() const
    {
        const Frame &f = frames.front();
        std::uint64_t iLine = 1, iColumn = 1;
        for (std::size_t i = 0; i < f.i && i < f.s.size(); ++i) {
            if (f.s[i] == u'\n') {
                ++iLine;
                iColumn = 1;
            } else if (f.s[i] < 0xDC00 || f.s[i] > 0xDFFF || i == 0 || f.s[i - 1] < 0xD800 || f.s[i - 1] > 0xDBFF) {
                ++iColumn;
            }
        }
        std::u16string s = u"Line " + decimal(iLine) + u", column " + decimal(iColumn) + u": ";
        if (frames.size() > 1)
            s += u"in the entity " + quoted(frames.back().pEntity->sName) + u", ";
        return s;
    }

    std::u16string sNormalised; // the text, line breaks normalised, where it had a CR
    std::vector<Frame> frames;  // the document, then the entities being read
    Phase phase = Phase::Start;
    bool bPendingEnd = false; // an empty element's end comes next
    bool bDoctype = false;
    bool bStandalone = false;
    bool bExternalSubset = false;
    bool bParameterReference = false;
    bool bDeclarationsRead = true; // false after a parameter entity that was not read
    bool bExpandAttributeEntities = true;
    std::uint64_t iExpansionLeft;
    std::unordered_map<std::u16string, Entity> general, parameters;
    std::unordered_map<std::u16string, AttributeList> attributeLists;
    std::vector<OpenElement> elements;
    std::vector<RawAttribute> attributes; // the start tag being read
    std::unordered_map<std::u16string, std::vector<std::u16string>> scopes; // prefix to its bindings, innermost last
    std::vector<std::u16string> bound;                                     // the prefixes bound, in order
    std::u16string sKey;
    std::vector<XmlToken> subsetTokens; // from the internal subset, still to give
    std::size_t iSubsetToken = 0;
};

XmlReader::XmlReader(std::u16string_view sXml) : parser(std::make_unique<Parser>(sXml)) {}

XmlReader::~XmlReader() = default;

void XmlReader::next(XmlToken &t)
{
    parser->next(t);
}

} // namespace lumbrik
