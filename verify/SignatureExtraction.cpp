#include "Voucher.h"

#include <QXmlStreamReader>

#include <algorithm>
#include <exception>

namespace lumbrik {
namespace {

const QString EINVOICE_SIGNATURE = QStringLiteral("EInvoiceSignature");
const QString SIGNATURE = QStringLiteral("Signature");
const QString SIGNATURE_VALUE = QStringLiteral("SignatureValue");
const QString ID = QStringLiteral("id");
const QString INVOICING_PARTY = QStringLiteral("InvoicingParty");
const QString SUPERVISOR_PARTY = QStringLiteral("SupervisorParty");

constexpr int BLOCK_DEPTH = 2;     // EInvoiceSignature, a child of the document element
constexpr int SIGNATURE_DEPTH = 3; // Signature
constexpr int VALUE_DEPTH = 4;     // SignatureValue

bool isXmlSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

bool isBlank(const QString &s)
{
    return std::all_of(s.begin(), s.end(), isXmlSpace);
}

// The child nodes of one SignatureValue element, as a DOM that drops blank text
// nodes would hold them: adjacent character data merges into one text node.
class ValueContent
{
public:
    void addText(const QString &s) { sPendingText += s; }

    void addCData(const QString &s)
    {
        flushText();
        addNode(s.isEmpty() ? Kind::Other : Kind::CData, s);
    }

    void addOther()
    {
        flushText();
        addNode(Kind::Other, QString());
    }

    // The element's text value, or false with the reason in sError.
    bool value(QString &sValue, QString &sError)
    {
        flushText();
        if (iNodes == 0)
            sError = QStringLiteral("SignatureValue has no content");
        else if (iNodes > 1)
            sError = QStringLiteral("SignatureValue holds more than one node");
        else if (kind == Kind::Other)
            sError = QStringLiteral("SignatureValue holds no text");
        else
            sValue = sText;
        return sError.isEmpty();
    }

private:
    enum class Kind { Text, CData, Other };

    void flushText()
    {
        if (!sPendingText.isEmpty() && !isBlank(sPendingText))
            addNode(Kind::Text, sPendingText);
        sPendingText.clear();
    }

    void addNode(Kind k, const QString &s)
    {
        if (++iNodes == 1) {
            kind = k;
            sText = s;
        }
    }

    QString sPendingText;
    qint64 iNodes = 0;
    Kind kind = Kind::Other;
    QString sText;
};

char16_t foldAsciiCase(QChar c)
{
    const char16_t u = c.unicode();
    return u >= u'A' && u <= u'Z' ? char16_t(u + (u'a' - u'A')) : u;
}

// Name-space URIs match when they differ at most in the case of ASCII letters;
// every other code unit must be the same, so no look-alike folds into a letter.
bool sameNamespace(QStringView a, QStringView b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](QChar x, QChar y) { return foldAsciiCase(x) == foldAsciiCase(y); });
}

// The position of the first UTF-16 code unit that is half of a surrogate pair
// without its other half, or -1. Such a unit is no XML character.
qsizetype firstUnpairedSurrogate(const QString &s)
{
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate())
            ++i;
        else if (s[i].isSurrogate())
            return i;
    }
    return -1;
}

// Why sXml cannot be a well-formed document for reasons the reader would not
// see: it is handed the text as UTF-8, which has no unpaired surrogates and
// whose leading byte-order mark the reader drops.
QString textFault(const QString &sXml)
{
    if (sXml.startsWith(QChar(0xFEFF)))
        return QStringLiteral("Text before the document element: a byte-order mark");
    const qsizetype i = firstUnpairedSurrogate(sXml);
    if (i >= 0)
        return QStringLiteral("Not an XML character: an unpaired surrogate at code unit %1").arg(i + 1);
    return QString();
}

// One pass over the document that finds what a walk of its DOM would find:
// the signatures are copied in document order, and an error in a value stops
// the copying where it occurs. A document that is not well formed yields nothing.
class SignatureScan
{
public:
    explicit SignatureScan(const QString &sXmlData) : xml(sXmlData) {}

    bool run(QString &sSignCZ, QString &sSignDw, QString &ErrMsg)
    {
        while (!xml.atEnd()) {
            xml.readNext();
            handleToken();
        }
        if (xml.hasError()) {
            ErrMsg = xml.errorString();
            return false;
        }
        sSignCZ = sFoundCZ;
        sSignDw = sFoundDw;
        if (!sValueError.isEmpty()) {
            ErrMsg = sValueError;
            return false;
        }
        return !(sSignCZ + sSignDw).isEmpty();
    }

private:
    void handleToken()
    {
        switch (xml.tokenType()) {
        case QXmlStreamReader::StartElement:
            startElement();
            break;
        case QXmlStreamReader::EndElement:
            endElement();
            break;
        case QXmlStreamReader::Characters:
            if (iDepth == VALUE_DEPTH && pValue) {
                if (xml.isCDATA())
                    pValue->addCData(xml.text().toString());
                else
                    pValue->addText(xml.text().toString());
            }
            break;
        case QXmlStreamReader::Comment:
        case QXmlStreamReader::ProcessingInstruction:
        case QXmlStreamReader::EntityReference:
            if (iDepth == VALUE_DEPTH && pValue)
                pValue->addOther();
            break;
        default:
            break;
        }
    }

    void startElement()
    {
        ++iDepth;
        if (iDepth == BLOCK_DEPTH)
            bInBlock = xml.qualifiedName() == EINVOICE_SIGNATURE;
        else if (iDepth == SIGNATURE_DEPTH && bInBlock)
            startSignature();
        else if (iDepth == VALUE_DEPTH && pParty && !bValueFound && isSignatureValue())
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

    void startSignature()
    {
        pParty = nullptr;
        bValueFound = false;
        if (xml.qualifiedName() != SIGNATURE || !sValueError.isEmpty())
            return;
        const QXmlStreamAttributes attributes = xml.attributes();
        if (!attributes.hasAttribute(ID))
            return;
        const QStringView sId = attributes.value(ID);
        if (sId == INVOICING_PARTY)
            pParty = &sFoundDw;
        else if (sId == SUPERVISOR_PARTY)
            pParty = &sFoundCZ;
        sSignatureNamespace = xml.namespaceUri().toString();
    }

    bool isSignatureValue() const
    {
        if (xml.qualifiedName() != SIGNATURE_VALUE && xml.name() != SIGNATURE_VALUE)
            return false;
        return sSignatureNamespace.isEmpty() || sameNamespace(xml.namespaceUri(), sSignatureNamespace);
    }

    void startValue()
    {
        bValueFound = true;
        value = ValueContent();
        pValue = &value;
    }

    void endValue()
    {
        QString sValue;
        if (value.value(sValue, sValueError))
            *pParty = sValue;
        else
            pParty = nullptr; // the first error ends the copying
        pValue = nullptr;
    }

    QXmlStreamReader xml;
    int iDepth = 0;
    bool bInBlock = false;
    QString *pParty = nullptr;     // where the current Signature's value goes
    QString sSignatureNamespace;
    bool bValueFound = false;      // only the first SignatureValue of a Signature counts
    ValueContent value;
    ValueContent *pValue = nullptr; // set while inside the SignatureValue that counts
    QString sFoundCZ, sFoundDw, sValueError;
};

} // namespace

bool GetXMLData(const QString &sXmlData, QString &sSignCZ, QString &sSignDw, QString &ErrMsg)
{
    sSignCZ.clear();
    sSignDw.clear();
    ErrMsg.clear();
    if (sXmlData.isEmpty()) {
        ErrMsg = QStringLiteral("The XML text is empty: there is no document element");
        return false;
    }
    // The text is decoded already; a leading byte-order mark is not part of it.
    const QString sXml = sXmlData.startsWith(QChar(0xFEFF)) ? sXmlData.mid(1) : sXmlData;
    ErrMsg = textFault(sXml);
    if (!ErrMsg.isEmpty())
        return false;
    try {
        return SignatureScan(sXml).run(sSignCZ, sSignDw, ErrMsg);
    } catch (const std::exception &e) {
        ErrMsg = QString::fromLocal8Bit(e.what());
    } catch (...) {
        ErrMsg = QStringLiteral("The extraction stopped on an unknown error");
    }
    return false;
}

} // namespace lumbrik
