// The XML reader: the tokens it gives, the errors it names (line and column
// included) and its limits, as tables of exact expectations.

#include "Check.h"
#include "XmlReader.h"

using namespace lumbrik;
using namespace lumbrik::fixtures;

namespace {

// The tokens of sXml in a short notation: <{uri}name a=v>, </name>, "text",
// [cdata], <!--comment-->, <?target data?>, &entity;, and !error.
std::u16string tokens(const std::u16string &sXml)
{
    XmlReader reader(sXml);
    XmlToken t;
    std::u16string s;
    for (reader.next(t);; reader.next(t)) {
        switch (t.kind) {
        case XmlToken::Kind::StartElement:
            s += u"<" + (t.sNamespaceUri.empty() ? u"" : u"{" + t.sNamespaceUri + u"}") + t.sQualifiedName;
            for (const XmlAttribute &a : t.attributes)
                s += u" " + a.sQualifiedName + u"=" + a.sValue;
            s += u">";
            break;
        case XmlToken::Kind::EndElement: s += u"</" + t.sQualifiedName + u">"; break;
        case XmlToken::Kind::Text: s += u"\"" + t.sText + u"\""; break;
        case XmlToken::Kind::CData: s += u"[" + t.sText + u"]"; break;
        case XmlToken::Kind::Comment: s += u"<!--" + t.sText + u"-->"; break;
        case XmlToken::Kind::ProcessingInstruction: s += u"<?" + t.sQualifiedName + u" " + t.sText + u"?>"; break;
        case XmlToken::Kind::EntityReference: s += u"&" + t.sQualifiedName + u";"; break;
        case XmlToken::Kind::Error: return s + u"!" + t.sText;
        case XmlToken::Kind::EndOfDocument: return s;
        }
    }
}

std::u16string doctype(const std::u16string &sSubset)
{
    return u"<!DOCTYPE a [" + sSubset + u"]>";
}

struct Row {
    const char *sName;
    std::u16string sXml;
    std::u16string sTokens;
};

} // namespace

TEST_CASE("the reader's tokens")
{
    const std::u16string sLong(5000, u'x');
    const Row rows[] = {
        {"an empty element", u"<a/>", u"<a></a>"},
        {"a line break after the declaration", u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<a>x</a>\n", u"<a>\"x\"</a>"},
        {"white space after a comment, a PI and CDATA", u"<a><!--c--> <?p d?> <![CDATA[<x>]]> </a>",
         u"<a><!--c-->\" \"<?p d?>\" \"[<x>]\" \"</a>"},
        {"comment and PI around the document element", u"<!--c--><?p?><a/><?q r?> ", u"<!--c--><?p ?><a></a><?q r?>"},
        {"references", u"<a>&lt;&#x4E2D;&#20013;&amp;&#x1F600;</a>", u"<a>\"<中中&\U0001F600\"</a>"},
        {"line breaks normalised", u"<a b='1\r\n2'>x\r\ny\rz</a>", u"<a b=1 2>\"x\ny\nz\"</a>"},
        {"attribute values normalised", u"<a b=\" x\ty\n\" c='&#10;&#9;'/>", u"<a b= x y  c=\n\t></a>"},
        {"a DTD's default, its id too, and a tokenised value",
         doctype(u"<!ATTLIST a t NMTOKENS #IMPLIED id CDATA \"InvoicingParty\" u NMTOKENS #FIXED ' p  q '>") + u"<a t=\"  x   y \"/>",
         u"<a t=x y id=InvoicingParty u=p q></a>"},
        {"the first attribute declaration binds", doctype(u"<!ATTLIST a id CDATA 'one'><!ATTLIST a id CDATA 'two'>") + u"<a/>",
         u"<a id=one></a>"},
        {"an entity with markup", doctype(u"<!ENTITY e '<b c=\"&#38;amp;\">x</b>y'>") + u"<a>&e;</a>", u"<a><b c=&>\"x\"</b>\"y\"</a>"},
        {"an escaped less-than in an entity", doctype(u"<!ENTITY e '&#38;#60;'>") + u"<a>&e;</a>", u"<a>\"<\"</a>"},
        {"entities in attribute values", doctype(u"<!ENTITY e 'x&f;'><!ENTITY f '&#9;y'>") + u"<a b='&e;'/>", u"<a b=x y></a>"},
        {"an internal parameter entity is read", doctype(u"<!ENTITY % p \"<!ENTITY e 'x'>\">%p;") + u"<a>&e;</a>", u"<a>\"x\"</a>"},
        {"the first entity declaration binds", doctype(u"<!ENTITY e '1'><!ENTITY e '2'>") + u"<a>&e;</a>", u"<a>\"1\"</a>"},
        {"a 5,000-character entity used once", doctype(u"<!ENTITY e '" + sLong + u"'>") + u"<a>&e;</a>", u"<a>\"" + sLong + u"\"</a>"},
        {"undeclared entity with an external subset is passed", u"<!DOCTYPE a SYSTEM 'a.dtd'><a>x&e;y</a>", u"<a>\"x\"&e;\"y\"</a>"},
        {"declarations after an unread parameter entity are not used",
         doctype(u"<!ENTITY % p SYSTEM 'p.ent'>%p;<!ENTITY e 'x'><!ATTLIST a id CDATA 'd'>") + u"<a>&e;</a>", u"<a>&e;</a>"},
        {"unless the document stands alone",
         u"<?xml version='1.0' standalone='yes'?>" + doctype(u"<!ENTITY % p SYSTEM 'p.ent'>%p;<!ENTITY e 'x'><!ATTLIST a id CDATA 'd'>")
             + u"<a>&e;</a>",
         u"<a id=d>\"x\"</a>"},
        {"name spaces", u"<a xmlns='urn:d' xmlns:p='urn:p'><p:b p:c='1'/><c xmlns=''/></a>",
         u"<{urn:d}a xmlns=urn:d xmlns:p=urn:p><{urn:p}p:b p:c=1></p:b><c xmlns=></c></a>"},
        {"the innermost declaration wins", u"<p:a xmlns:p='urn:1'><p:b xmlns:p='urn:2'/><p:c/></p:a>",
         u"<{urn:1}p:a xmlns:p=urn:1><{urn:2}p:b xmlns:p=urn:2></p:b><{urn:1}p:c></p:c></p:a>"},
        {"a default declares a name space", doctype(u"<!ATTLIST a xmlns CDATA 'urn:d'>") + u"<a/>", u"<{urn:d}a xmlns=urn:d></a>"},
        {"the xml prefix is bound", u"<a xml:lang='zh'/>", u"<a xml:lang=zh></a>"},
        {"Fifth Edition names", u"<\u0E01\u0E3A a\u0300='1'/>", u"<\u0E01\u0E3A a\u0300=1></\u0E01\u0E3A>"},
        {"a DTD's comment and PI come after it", doctype(u"<!--c--><?p d?><!ELEMENT a (#PCDATA|b)*>") + u"<a/>",
         u"<!--c--><?p d?><a></a>"},
    };
    for (const Row &row : rows) {
        INFO(std::string(row.sName));
        CHECK(tokens(row.sXml) == row.sTokens);
    }
}

TEST_CASE("the reader's errors: where and why")
{
    std::u16string sLaughs = u"<!ENTITY a0 'lol'>";
    for (int i = 1; i < 30; ++i)
        sLaughs += u"<!ENTITY a" + number(i) + u" '&a" + number(i - 1) + u";&a" + number(i - 1) + u";'>";
    const std::u16string sBlowUp = doctype(u"<!ENTITY e '" + std::u16string(20000, u'x') + u"'>") + u"<a>" + repeated(u"&e;", 20000);
    const Row rows[] = {
        {"empty text", u"", u"!Line 1, column 1: no document element"},
        {"a declaration and nothing else", u"<?xml version=\"1.0\"?>", u"!Line 1, column 22: no document element"},
        {"a lone byte-order mark", u"\uFEFF", u"!Line 1, column 1: text before the document element"},
        {"a leading NUL", std::u16string(1, u'\0') + u"<a/>", u"!Line 1, column 1: text before the document element"},
        {"UTF-16LE read as bytes", std::u16string(u"<\0a\0/\0>\0", 8), u"!Line 1, column 2: an element name after \"<\" expected, found U+0000"},
        {"a PI left open after the root", u"<a/>\n<?pi open", u"<a></a>!Line 2, column 10: the processing instruction \"pi\" is not closed"},
        {"a PI left open after its target", u"<a/><?pi", u"<a></a>!Line 1, column 9: the processing instruction \"pi\" is not closed"},
        {"an open element", u"<a>\n", u"<a>\"\n\"!Line 2, column 1: the text ends inside the element \"a\""},
        {"a mismatched end tag", u"<a>\n  </b>", u"<a>\"\n  \"!Line 2, column 7: the end tag \"b\" does not match the start tag \"a\""},
        {"version 2.0", u"<?xml version=\"2.0\"?><a/>", u"!Line 1, column 20: not an XML 1.x version: \"2.0\""},
        {"a declaration not at the start", u" <?xml version=\"1.0\"?><a/>",
         u"!Line 1, column 7: an XML declaration not at the start of the text"},
        {"two document elements", u"<a/><b/>", u"<a></a>!Line 1, column 5: a markup declaration out of place"},
        {"text after the document element", u"<a/>x", u"<a></a>!Line 1, column 5: text after the document element"},
        {"-- in a comment", u"<a><!-- a -- b --></a>", u"<a>!Line 1, column 11: \"--\" inside a comment"},
        {"]]> in text", u"<a>x]]></a>", u"<a>!Line 1, column 5: \"]]>\" in character data"},
        {"< in an attribute", u"<a b='<'/>", u"!Line 1, column 7: \"<\" in an attribute value"},
        {"a repeated attribute", u"<a b='1' b='2'/>", u"!Line 1, column 17: the attribute \"b\" appears twice on \"a\""},
        {"a character reference to no character", u"<a>&#xFFFE;</a>", u"<a>!Line 1, column 12: a character reference to no XML character (U+FFFE)"},
        {"an undeclared entity", u"<a>&e;</a>", u"<a>!Line 1, column 7: the entity \"e\" is not declared"},
        {"an external entity names itself", doctype(u"<!ENTITY x SYSTEM 'file:///etc/passwd'>") + u"<a>&x;</a>",
         u"<a>!Line 1, column 61: the external entity \"x\" is not read"},
        {"an external entity in an attribute", doctype(u"<!ENTITY x SYSTEM 'x'>") + u"<a b='&x;'/>",
         u"!Line 1, column 47: a reference to the external entity \"x\" in an attribute value"},
        {"an entity refers to itself", doctype(u"<!ENTITY e 'a&e;'>") + u"<a>&e;</a>",
         u"<a>!Line 1, column 40: in the entity \"e\", the entity \"e\" refers to itself"},
        {"entities refer to each other", doctype(u"<!ENTITY e '&f;'><!ENTITY f '&e;'>") + u"<a b='&e;'/>",
         u"!Line 1, column 59: the entity \"e\" refers to itself"},
        {"an entity that ends inside an element", doctype(u"<!ENTITY e '<b>'>") + u"<a>&e;</b></a>",
         u"<a><b>!Line 1, column 39: in the entity \"e\", the entity \"e\" ends inside the element \"b\""},
        {"billion laughs", doctype(sLaughs) + u"<a>&a29;</a>",
         u"<a>!Line 1, column 767: in the entity \"a3\", entity expansion beyond this text's budget, at the entity \"a2\""},
        {"quadratic blow-up", sBlowUp, u"<a>!Line 1, column 20306: entity expansion beyond this text's budget, at the entity \"e\""},
        {"an undeclared prefix", u"<a>\n<x:y/></a>", u"<a>\"\n\"!Line 2, column 7: the prefix \"x\" of the element \"x:y\" is not declared"},
        {"an undeclared attribute prefix", u"<a x:b='1'/>", u"!Line 1, column 13: the prefix \"x\" of the attribute \"x:b\" is not declared"},
        {"an empty prefix declaration", u"<a xmlns:p=''/>", u"!Line 1, column 16: the prefix \"p\" is declared empty"},
        {"the xmlns prefix declared", u"<a xmlns:xmlns='urn:x'/>", u"!Line 1, column 25: the prefix xmlns is declared"},
        {"the xml prefix bound elsewhere", u"<a xmlns:xml='urn:x'/>",
         u"!Line 1, column 23: the prefix xml and its name space \"http://www.w3.org/XML/1998/namespace\" belong only to each other"},
        {"the xml name space under another prefix", u"<a xmlns:p='http://www.w3.org/XML/1998/namespace'/>",
         u"!Line 1, column 52: the prefix xml and its name space \"http://www.w3.org/XML/1998/namespace\" belong only to each other"},
        {"the xmlns name space declared", u"<a xmlns='http://www.w3.org/2000/xmlns/'/>",
         u"!Line 1, column 43: the name space \"http://www.w3.org/2000/xmlns/\" is declared"},
        {"an element prefixed xmlns", u"<xmlns:a/>", u"!Line 1, column 11: the element \"xmlns:a\" has the prefix xmlns"},
        {"two attributes with one expanded name", u"<a xmlns:p='urn:x' xmlns:q='urn:x' p:b='1' q:b='2'/>",
         u"!Line 1, column 53: the attribute \"q:b\" on \"a\" repeats a name in the same name space"},
        {"not a qualified name", u"<a:b:c/>", u"!Line 1, column 9: not a qualified name: \"a:b:c\""},
        {"a PI's target with a colon", u"<?a:b?><c/>", u"!Line 1, column 6: a colon in the name \"a:b\""},
        {"a message is one line", u"<?xml version=\"1\n0\"?>", u"!Line 2, column 3: not an XML 1.x version: \"1U+000A0\""},
    };
    for (const Row &row : rows) {
        INFO(std::string(row.sName));
        const std::u16string sTokens = tokens(row.sXml);
        CHECK_MESSAGE(sTokens == row.sTokens, utf8(sTokens.substr(0, 300)));
    }
}

TEST_CASE("the entity budget follows the text's size")
{
    // An entity of L characters used k times costs k (L + 1); a text of n
    // characters may spend XML_EXPANSION_ALLOWANCE + n XML_EXPANSION_PER_CHARACTER.
    const std::u16string sHead = doctype(u"<!ENTITY e '" + std::u16string(1000, u'x') + u"'>") + u"<a>";
    const auto text = [&](std::uint64_t k) { return sHead + repeated(u"&e;", int(k)) + u"</a>"; };
    const auto fits = [&](std::uint64_t k) {
        return k * 1001 <= XML_EXPANSION_ALLOWANCE + XML_EXPANSION_PER_CHARACTER * (sHead.size() + 3 * k + 4);
    };
    std::uint64_t k = 1;
    while (fits(k + 1))
        ++k;
    const std::u16string sAtBudget = tokens(text(k)), sOver = tokens(text(k + 1));
    CHECK(sAtBudget.find(u'!') == std::u16string::npos);
    CHECK(sOver.find(u"entity expansion beyond this text's budget") != std::u16string::npos);
}

TEST_CASE("attribute defaults come from the same budget")
{
    const std::u16string sDtd = doctype(u"<!ATTLIST b d CDATA '" + std::u16string(1000, u'd') + u"'>");
    CHECK(tokens(sDtd + u"<a>" + repeated(u"<b/>", 100) + u"</a>").find(u'!') == std::u16string::npos);
    const std::u16string sMany = tokens(sDtd + u"<a>" + repeated(u"<b/>", 5000) + u"</a>");
    CHECK(sMany.find(u"!Line 1, column ") != std::u16string::npos);
    CHECK(sMany.find(u": attribute defaults beyond this text's budget, at the attribute \"d\"") != std::u16string::npos);
}

TEST_CASE("a huge comment and deep nesting are read")
{
    const std::u16string sComment = u"<a><!--" + std::u16string(1000000, u'c') + u"--></a>";
    CHECK((tokens(sComment) == sComment));
    const int iDepth = 100000;
    const std::u16string sDeep = repeated(u"<d>", iDepth) + repeated(u"</d>", iDepth);
    CHECK((tokens(sDeep) == sDeep));
}
