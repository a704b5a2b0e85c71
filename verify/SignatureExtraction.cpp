#include "Voucher.h"
#include "XmlReader.h"

#include <algorithm>
#include <exception>
#include <memory>

namespace lumbrik {
namespace {

const std::u16string EINVOICE_SIGNATURE = u"EInvoiceSignature";
const std::u16string SIGNATURE = u"Signature";
const std::u16string SIGNATURE_VALUE = u"SignatureValue";
const std::u16string ID = u"id";
const std::u16string INVOICING_PARTY = u"InvoicingParty";
const std::u16string SUPERVISOR_PARTY = u"SupervisorParty";
constexpr char16_t BYTE_ORDER_MARK = 0xFEFF;

constexpr int BLOCK_DEPTH = 2;     // EInvoiceSignature, a child of the document element
constexpr int SIGNATURE_DEPTH = 3; // Signature
constexpr int VALUE_DEPTH = 4;     // SignatureValue

bool isXmlSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

bool isBlank(const std::u16string &s)
{
    return std::all_of(s.begin(), s.end(), isXmlSpace);
}

char16_t foldAsciiCase(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c;
}

// Name-space URIs match when they differ at most in the case of ASCII letters;
// every other code unit must be the same, so no look-alike folds into a letter.
bool sameNamespace(const std::u16string &a, const std::u16string &b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char16_t x, char16_t y) { return foldAsciiCase(x) == foldAsciiCase(y); });
}

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The position of the first UTF-16 code unit that is half of a surrogate pair
// without its other half, or npos. Such a unit is no XML character.
std::size_t firstUnpairedSurrogate(std::u16string_view s)
{
    // Nearly every text holds no surrogate at all: a branch-free pass says so.
    bool bAny = false;
    for (const char16_t c : s)
        bAny |= (c & 0xF800) == 0xD800;
    if (!bAny)
        return std::u16string::npos;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if ((s[i] & 0xF800) != 0xD800)
            continue;
        if (isHighSurrogate(s[i]) && i + 1 < s.size() && isLowSurrogate(s[i + 1]))
            ++i;
        else
            return i;
    }
    return std::u16string::npos;
}

std::u16string decimal(std::size_t i)
{
    const std::string s = std::to_string(i);
    return std::u16string(s.begin(), s.end());
}

// Why sXml cannot be a well-formed document, for reasons a reader that gets
// the text as bytes would not see: an unpaired surrogate cannot be encoded,
// and a leading byte-order mark would be taken for the encoding's.
std::u16string textFault(std::u16string_view sXml)
{
    if (!sXml.empty() && sXml.front() == BYTE_ORDER_MARK)
        return u"Text before the document element: a byte-order mark";
    const std::size_t i = firstUnpairedSurrogate(sXml);
    if (i != std::u16string::npos)
        return u"Not an XML character: an unpaired surrogate at code unit " + decimal(i + 1);
    return std::u16string();
}

const std::u16string *attribute(const XmlToken &t, const std::u16string &sName)
{
    for (const XmlAttribute &a : t.attributes)
        if (a.sQualifiedName == sName)
            return &a.sValue;
    return nullptr;
}

// The child nodes of one SignatureValue element, as a DOM that drops blank text
// nodes would hold them: adjacent character data merges into one text node.
class ValueContent
{
public:
    void addText(const std::u16string &s) { sPendingText += s; }

    void addCData(const std::u16string &s)
    {
        flushText();
        addNode(s.empty() ? Kind::Other : Kind::CData, s);
    }

    void addOther()
    {
        flushText();
        addNode(Kind::Other, std::u16string());
    }

    // The element's text value, or false with the reason in sError.
    bool value(std::u16string &sValue, std::u16string &sError)
    {
        flushText();
        if (iNodes == 0)
            sError = u"SignatureValue has no content";
        else if (iNodes > 1)
            sError = u"SignatureValue holds more than one node";
        else if (kind == Kind::Other)
            sError = u"SignatureValue holds no text";
        else
            sValue = sText;
        return sError.empty();
    }

private:
    enum class Kind { Text, CData, Other };

    void flushText()
    {
        if (!sPendingText.empty() && !isBlank(sPendingText))
            addNode(Kind::Text, sPendingText);
        sPendingText.clear();
    }

    void addNode(Kind k, const std::u16string &s)
    {
        if (++iNodes == 1) {
            kind = k;
            sText = s;
        }
    }

    std::u16string sPendingText;
    std::int64_t iNodes = 0;
    Kind kind = Kind::Other;
    std::u16string sText;
};

// One pass over the document that finds what a walk of its DOM would find:
// the signatures are copied in document order, and an error in a value stops
// the copying where it occurs. A document that is not well formed yields nothing.
class SignatureScan
{
public:
    explicit SignatureScan(std::u16string_view sXml) : xml(sXml) {}

    bool run(std::u16string &sSignCZ, std::u16string &sSignDw, std::u16string &ErrMsg)
    {
        XmlToken t;
        for (xml.next(t); t.kind != XmlToken::Kind::EndOfDocument; xml.next(t)) {
            if (t.kind == XmlToken::Kind::Error) {
                ErrMsg = t.sText;
                return false;
            }
            handleToken(t);
        }
        sSignCZ = sFoundCZ;
        sSignDw = sFoundDw;
        if (!sValueError.empty()) {
            ErrMsg = sValueError;
            return false;
        }
        return !(sSignCZ + sSignDw).empty();
    }

private:
    void handleToken(const XmlToken &t)
    {
        switch (t.kind) {
        case XmlToken::Kind::StartElement:
            startElement(t);
            break;
        case XmlToken::Kind::EndElement:
            endElement();
            break;
        case XmlToken::Kind::Text:
            if (iDepth == VALUE_DEPTH && pValue)
                pValue->addText(t.sText);
            break;
        case XmlToken::Kind::CData:
            if (iDepth == VALUE_DEPTH && pValue)
                pValue->addCData(t.sText);
            break;
        case XmlToken::Kind::Comment:
        case XmlToken::Kind::ProcessingInstruction:
        case XmlToken::Kind::EntityReference:
            if (iDepth == VALUE_DEPTH && pValue)
                pValue->addOther();
            break;
        case XmlToken::Kind::Error:
        case XmlToken::Kind::EndOfDocument:
            break;
        }
    }

    void startElement(const XmlToken &t)
    {
        ++iDepth;
        if (iDepth == BLOCK_DEPTH)
            bInBlock = t.sQualifiedName == EINVOICE_SIGNATURE;
        else if (iDepth == SIGNATURE_DEPTH && bInBlock)
            startSignature(t);
        else if (iDepth == VALUE_DEPTH && pParty && !bValueFound && isSignatureValue(t))
            startValue();
        else if (iDepth == VALUE_DEPTH + 1 && pValue)
            pValue->addOther();
    }

    void endElement()
    {
        if (iDepth == VALUE_DEPTH && pValue)
            endValue();
        else if (iDepth == SIGNATURE_DEPTH)
            pParty = nullptr;
        --iDepth;
    }

    void startSignature(const XmlToken &t)
    {
        pParty = nullptr;
        bValueFound = false;
        if (t.sQualifiedName != SIGNATURE || !sValueError.empty())
            return;
        const std::u16string *pId = attribute(t, ID);
        if (!pId)
            return;
        if (*pId == INVOICING_PARTY)
            pParty = &sFoundDw;
        else if (*pId == SUPERVISOR_PARTY)
            pParty = &sFoundCZ;
        sSignatureNamespace = t.sNamespaceUri;
    }

    bool isSignatureValue(const XmlToken &t) const
    {
        if (t.sQualifiedName != SIGNATURE_VALUE && t.sLocalName != SIGNATURE_VALUE)
            return false;
        return sSignatureNamespace.empty() || sameNamespace(t.sNamespaceUri, sSignatureNamespace);
    }

    void startValue()
    {
        bValueFound = true;
        value = ValueContent();
        pValue = &value;
    }

    void endValue()
    {
        std::u16string sValue;
        if (value.value(sValue, sValueError))
            *pParty = sValue;
        else
            pParty = nullptr; // the first error ends the copying
        pValue = nullptr;
    }

    XmlReader xml;
    int iDepth = 0;
    bool bInBlock = false;
    std::u16string *pParty = nullptr;   // where the current Signature's value goes
    std::u16string sSignatureNamespace;
    bool bValueFound = false;           // only the first SignatureValue of a Signature counts
    ValueContent value;
    ValueContent *pValue = nullptr;     // set while inside the SignatureValue that counts
    std::u16string sFoundCZ, sFoundDw, sValueError;
};

std::u16string fromAscii(const char *s)
{
    std::u16string sOut;
    for (; *s; ++s)
        sOut += char16_t(static_cast<unsigned char>(*s));
    return sOut;
}

} // namespace

bool GetXMLData(const std::u16string &sXmlData, std::u16string &sSignCZ, std::u16string &sSignDw, std::u16string &ErrMsg)
{
    sSignCZ.clear();
    sSignDw.clear();
    ErrMsg.clear();
    if (sXmlData.empty()) {
        ErrMsg = u"The XML text is empty: there is no document element";
        return false;
    }
    // The text is decoded already; a leading byte-order mark is not part of it.
    std::u16string_view sXml = sXmlData;
    if (sXml.front() == BYTE_ORDER_MARK)
        sXml.remove_prefix(1);
    ErrMsg = textFault(sXml);
    if (!ErrMsg.empty())
        return false;
    try {
        return SignatureScan(sXml).run(sSignCZ, sSignDw, ErrMsg);
    } catch (const std::exception &e) {
        ErrMsg = fromAscii(e.what());
    } catch (...) {
        ErrMsg = u"The extraction stopped on an unknown error";
    }
    return false;
}

} // namespace lumbrik
