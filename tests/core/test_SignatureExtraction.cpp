// The signature extraction: what it finds in voucher XML, and what stops it.

#include "Check.h"
#include "Voucher.h"

#include <vector>

using namespace lumbrik;
using namespace lumbrik::fixtures;

namespace {

std::u16string block(const std::u16string &sInner)
{
    return u"<EInvoice><EInvoiceSignature>" + sInner + u"</EInvoiceSignature></EInvoice>";
}

std::u16string sig(const std::u16string &sId, const std::u16string &sContent)
{
    return u"<Signature id=\"" + sId + u"\">" + sContent + u"</Signature>";
}

std::u16string dw(const std::u16string &sValue)
{
    return sig(u"InvoicingParty", u"<SignatureValue>" + sValue + u"</SignatureValue>");
}

std::u16string cz(const std::u16string &sValue)
{
    return sig(u"SupervisorParty", u"<SignatureValue>" + sValue + u"</SignatureValue>");
}

// A Signature in the name space sigNs whose first SignatureValue ("A") is in
// valueNs and whose second ("B") is in sigNs.
std::u16string nsRow(const std::u16string &sigNs, const std::u16string &valueNs)
{
    return u"<E><EInvoiceSignature><Signature xmlns=\"" + sigNs + u"\" id=\"InvoicingParty\"><p:SignatureValue xmlns:p=\""
        + valueNs + u"\">A</p:SignatureValue><SignatureValue>B</SignatureValue></Signature></EInvoiceSignature></E>";
}

struct Row {
    const char *sName;
    std::u16string sXml;
    bool bResult;
    std::u16string sSignCZ, sSignDw;
    bool bError;
};

std::vector<Row> rows()
{
    const std::u16string A = u"A", B = u"B", none;
    const std::u16string BOM(1, char16_t(0xFEFF));
    return {
        {"both", block(dw(A) + cz(B)), true, B, A, false},
        {"finance only", block(cz(B)), true, B, none, false},
        {"issuer only", block(dw(A)), true, none, A, false},
        {"empty text", none, false, none, none, true},
        {"malformed yields nothing, even before the fault", u"<EInvoice><EInvoiceSignature>" + dw(A) + u"<broken", false, none, none, true},
        {"undeclared prefix is malformed", block(dw(A) + u"<x:y/>"), false, none, none, true},
        {"two document elements", block(dw(A)) + u"<more/>", false, none, none, true},
        {"no EInvoiceSignature", u"<EInvoice>" + dw(A) + u"</EInvoice>", false, none, none, false},
        {"document element named EInvoiceSignature", u"<EInvoiceSignature>" + dw(A) + u"</EInvoiceSignature>", false, none, none, false},
        {"EInvoiceSignature deeper than a child of the root",
         u"<EInvoice><Wrap><EInvoiceSignature>" + dw(A) + u"</EInvoiceSignature></Wrap></EInvoice>", false, none, none, false},
        {"Signature not a direct child", block(u"<Wrap>" + dw(A) + u"</Wrap>"), false, none, none, false},
        {"SignatureValue not a direct child", block(sig(u"InvoicingParty", u"<W><SignatureValue>A</SignatureValue></W>")), false,
         none, none, false},
        {"several EInvoiceSignature blocks are all read",
         u"<E><EInvoiceSignature>" + dw(A) + u"</EInvoiceSignature><EInvoiceSignature>" + cz(B) + u"</EInvoiceSignature></E>", true,
         B, A, false},
        {"the later of two matches wins", block(dw(A) + dw(B)), true, none, B, false},
        {"a later match without SignatureValue keeps the earlier", block(dw(A) + sig(u"InvoicingParty", u"<Other>x</Other>")), true,
         none, A, false},
        {"first SignatureValue of a Signature counts",
         block(sig(u"InvoicingParty", u"<SignatureValue>1</SignatureValue><SignatureValue>2</SignatureValue>")), true, none, u"1",
         false},
        {"id compared case-sensitively", block(sig(u"invoicingparty", u"<SignatureValue>A</SignatureValue>")), false, none, none,
         false},
        {"id compared whole", block(sig(u" InvoicingParty", u"<SignatureValue>A</SignatureValue>")), false, none, none, false},
        {"Signature without id", block(u"<Signature><SignatureValue>A</SignatureValue></Signature>"), false, none, none, false},
        {"prefixed EInvoiceSignature does not match",
         u"<E xmlns:p=\"urn:x\"><p:EInvoiceSignature>" + dw(A) + u"</p:EInvoiceSignature></E>", false, none, none, false},
        {"prefixed Signature does not match",
         u"<E xmlns:p=\"urn:x\"><EInvoiceSignature><p:Signature id=\"InvoicingParty\"><SignatureValue>A</SignatureValue>"
         u"</p:Signature></EInvoiceSignature></E>",
         false, none, none, false},
        {"prefixed SignatureValue matches by local name",
         block(sig(u"InvoicingParty", u"<p:SignatureValue xmlns:p=\"urn:x\">A</p:SignatureValue>")), true, none, A, false},
        {"name space of Signature: value in the same one",
         u"<E><EInvoiceSignature><Signature xmlns=\"urn:Sig\" id=\"InvoicingParty\"><SignatureValue>A</SignatureValue></Signature>"
         u"</EInvoiceSignature></E>",
         true, none, A, false},
        {"name space URI compared without case", nsRow(u"urn:Sig", u"URN:SIG"), true, none, A, false},
        {"non-ASCII name space URI matches itself", nsRow(u"urn:ä", u"urn:ä"), true, none, A, false},
        {"IRI with Chinese characters matches itself", nsRow(u"http://例子.中国/签名", u"http://例子.中国/签名"), true, none, A, false},
        {"case of non-ASCII letters counts", nsRow(u"urn:ä", u"urn:Ä"), true, none, B, false},
        {"KELVIN SIGN is not the letter K", nsRow(u"urn:\u212A", u"urn:k"), true, none, B, false},
        {"LONG S is not the letter s", nsRow(u"urn:\u017F", u"urn:s"), true, none, B, false},
        {"value in another name space is passed over", nsRow(u"urn:Sig", u"urn:other"), true, none, B, false},
        {"several lines keep their breaks", block(dw(u"line1\nline2\r\nline3")), true, none, u"line1\nline2\nline3", false},
        {"surrounding white space kept", block(dw(u"  A \n")), true, none, u"  A \n", false},
        {"white space between elements is no node",
         block(sig(u"InvoicingParty", u"\n  <SignatureValue>A</SignatureValue>\n")), true, none, A, false},
        {"entities and character references", block(dw(u"a&amp;b&#x4E2D;")), true, none, u"a&b中", false},
        {"CDATA section", block(dw(u"<![CDATA[<x>]]>")), true, none, u"<x>", false},
        {"empty CDATA section", block(dw(u"<![CDATA[]]>")), false, none, none, true},
        {"empty value", block(dw(none)), false, none, none, true},
        {"blank value", block(dw(u"  ")), false, none, none, true},
        {"text and a comment", block(dw(u"A<!--c-->")), false, none, none, true},
        {"text and CDATA", block(dw(u"A<![CDATA[B]]>")), false, none, none, true},
        {"a comment alone", block(dw(u"<!--c-->")), false, none, none, true},
        {"an element inside", block(dw(u"<b>A</b>")), false, none, none, true},
        {"signatures copied before an error stay", block(cz(B) + dw(none) + dw(A)), false, B, none, true},
        {"byte-order mark dropped", BOM + block(dw(A)), true, none, A, false},
        {"a second byte-order mark is text before the document element", BOM + BOM + block(dw(A)), false, none, none, true},
        {"an unpaired high surrogate is no character", block(dw(u"a" + std::u16string(1, char16_t(0xD800)) + u"b")), false, none,
         none, true},
        {"an unpaired low surrogate is no character", block(cz(B) + dw(std::u16string(1, char16_t(0xDC00)))), false, none, none, true},
        {"a surrogate pair is one character", block(dw(u"\U0001F600")), true, none, u"\U0001F600", false},
        {"declared encoding ignored", u"<?xml version=\"1.0\" encoding=\"GBK\"?>" + block(dw(u"中文")), true, none, u"中文", false},
        {"a line break after the declaration", u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + block(dw(A) + cz(B)), true, B, A, false},
        {"white space after a comment, a PI and CDATA",
         u"<!--c-->\n<?p x?>\n<E><EInvoiceSignature><![CDATA[x]]>\n" + dw(A) + u"</EInvoiceSignature></E>\n", true, none, A, false},
        {"version 2.0 is malformed", u"<?xml version=\"2.0\"?>" + block(dw(A)), false, none, none, true},
        {"a declaration and nothing else", u"<?xml version=\"1.0\"?>", false, none, none, true},
        {"a lone byte-order mark", BOM, false, none, none, true},
        {"a leading NUL", std::u16string(1, u'\0') + block(dw(A)), false, none, none, true},
        {"UTF-16LE text read as bytes", std::u16string(u"<\0E\0/\0>\0", 8), false, none, none, true},
        {"a PI left open after the document element", block(dw(A)) + u"\n<?pi", false, none, none, true},
        {"a comment of 1,000,000 characters", block(u"<!--" + std::u16string(1000000, u'c') + u"-->" + dw(A)), true, none, A, false},
        {"a 5,000-character entity used once",
         u"<!DOCTYPE E [<!ENTITY s \"" + std::u16string(5000, u'S') + u"\">]>" + block(dw(u"&s;")), true, none,
         std::u16string(5000, u'S'), false},
        {"an id the DTD gives by default",
         u"<!DOCTYPE E [<!ATTLIST Signature id CDATA \"SupervisorParty\">]>"
             + block(u"<Signature><SignatureValue>B</SignatureValue></Signature>"),
         true, B, none, false},
        {"a name of the Fifth Edition", block(u"<\u0E01\u0E3A/>" + dw(A)), true, none, A, false},
        {"name spaces on the root are carried",
         u"<E xmlns=\"urn:bill\" xmlns:ds=\"urn:ds\"><EInvoiceSignature>" + dw(A) + u"</EInvoiceSignature></E>", true, none, A, false},
    };
}

} // namespace

TEST_CASE("signature extraction follows the document's rules")
{
    for (const Row &row : rows()) {
        INFO(std::string(row.sName));
        std::u16string sSignCZ = u"stale", sSignDw = u"stale", ErrMsg = u"stale";
        CHECK(GetXMLData(row.sXml, sSignCZ, sSignDw, ErrMsg) == row.bResult);
        CHECK(sSignCZ == row.sSignCZ);
        CHECK(sSignDw == row.sSignDw);
        CHECK_MESSAGE(!ErrMsg.empty() == row.bError, utf8(ErrMsg));
    }
}

TEST_CASE("entity expansion stops")
{
    std::u16string sDtd = u"<!DOCTYPE E [<!ENTITY a0 \"lollollollollollollollollollol\">";
    for (int i = 1; i < 10; ++i)
        sDtd += u"<!ENTITY a" + number(i) + u" \"" + repeated(u"&a" + number(i - 1) + u";", 10) + u"\">";
    sDtd += u"]>";
    std::u16string sSignCZ, sSignDw, ErrMsg;
    CHECK_FALSE(GetXMLData(sDtd + block(dw(u"&a9;")), sSignCZ, sSignDw, ErrMsg));
    CHECK(sSignDw.empty());
    CHECK_FALSE(ErrMsg.empty());
}

TEST_CASE("an external entity is never read")
{
    TempDir dir;
    const std::u16string sSecret = dir.write("secret.txt", "SECRET");
    std::u16string sUrl = u"file:///" + sSecret;
    for (char16_t &c : sUrl)
        if (c == u'\\')
            c = u'/';
    const std::u16string sXml = u"<!DOCTYPE E [<!ENTITY ext SYSTEM \"" + sUrl + u"\">]>" + block(dw(u"&ext;") + cz(u"x&ext;"));
    std::u16string sSignCZ, sSignDw, ErrMsg;
    GetXMLData(sXml, sSignCZ, sSignDw, ErrMsg);
    CHECK(sSignDw.find(u"SECRET") == std::u16string::npos);
    CHECK(sSignCZ.find(u"SECRET") == std::u16string::npos);
    CHECK_FALSE(ErrMsg.empty()); // the value holds no text of its own
}

TEST_CASE("deep nesting is read in linear time")
{
    const int iDepth = 200000;
    const std::u16string sDeep = repeated(u"<d>", iDepth) + repeated(u"</d>", iDepth);
    for (const bool bInside : {true, false}) {
        CAPTURE(bInside);
        const std::u16string sXml = bInside ? block(dw(sDeep) + cz(u"B"))
                                            : u"<E>" + sDeep + u"<EInvoiceSignature>" + cz(u"B") + u"</EInvoiceSignature></E>";
        std::u16string sSignCZ, sSignDw, ErrMsg;
        CHECK(GetXMLData(sXml, sSignCZ, sSignDw, ErrMsg) == !bInside);
        CHECK(sSignCZ == (bInside ? u"" : u"B"));
        CHECK(ErrMsg.empty() == !bInside);
    }
}
