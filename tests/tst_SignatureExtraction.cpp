// The signature extraction: what it finds in voucher XML, and what stops it.

#include "Voucher.h"

#include <QTemporaryFile>
#include <QtTest>

using namespace lumbrik;

namespace {

QString block(const QString &sInner)
{
    return QStringLiteral("<EInvoice><EInvoiceSignature>") + sInner + QStringLiteral("</EInvoiceSignature></EInvoice>");
}

QString sig(const QString &sId, const QString &sContent)
{
    return QStringLiteral("<Signature id=\"%1\">%2</Signature>").arg(sId, sContent);
}

QString dw(const QString &sValue)
{
    return sig(QStringLiteral("InvoicingParty"), QStringLiteral("<SignatureValue>") + sValue + QStringLiteral("</SignatureValue>"));
}

QString cz(const QString &sValue)
{
    return sig(QStringLiteral("SupervisorParty"), QStringLiteral("<SignatureValue>") + sValue + QStringLiteral("</SignatureValue>"));
}

// A Signature in the name space sigNs whose first SignatureValue ("A") is in
// valueNs and whose second ("B") is in sigNs.
QString nsRow(const QString &sigNs, const QString &valueNs)
{
    return QStringLiteral("<E><EInvoiceSignature><Signature xmlns=\"%1\" id=\"InvoicingParty\">"
                          "<p:SignatureValue xmlns:p=\"%2\">A</p:SignatureValue><SignatureValue>B</SignatureValue>"
                          "</Signature></EInvoiceSignature></E>").arg(sigNs, valueNs);
}

} // namespace

class TestSignatureExtraction : public QObject
{
    Q_OBJECT

private slots:
    void extraction_data();
    void extraction();
    void entityExpansionStops();
    void externalEntityNeverRead();
    void deepNesting_data();
    void deepNesting();
};

void TestSignatureExtraction::extraction_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("signCZ");
    QTest::addColumn<QString>("signDw");
    QTest::addColumn<bool>("error");

    const QString A = QStringLiteral("A"), B = QStringLiteral("B");

    QTest::newRow("both") << block(dw(A) + cz(B)) << true << B << A << false;
    QTest::newRow("finance only") << block(cz(B)) << true << B << QString() << false;
    QTest::newRow("issuer only") << block(dw(A)) << true << QString() << A << false;
    QTest::newRow("empty text") << QString() << false << QString() << QString() << true;
    QTest::newRow("malformed yields nothing, even before the fault")
        << QStringLiteral("<EInvoice><EInvoiceSignature>") + dw(A) + QStringLiteral("<broken") << false << QString() << QString() << true;
    QTest::newRow("undeclared prefix is malformed") << block(dw(A) + QStringLiteral("<x:y/>")) << false << QString() << QString() << true;
    QTest::newRow("two document elements") << block(dw(A)) + QStringLiteral("<more/>") << false << QString() << QString() << true;
    QTest::newRow("no EInvoiceSignature") << QStringLiteral("<EInvoice>") + dw(A) + QStringLiteral("</EInvoice>")
        << false << QString() << QString() << false;
    QTest::newRow("document element named EInvoiceSignature")
        << QStringLiteral("<EInvoiceSignature>") + dw(A) + QStringLiteral("</EInvoiceSignature>") << false << QString() << QString() << false;
    QTest::newRow("EInvoiceSignature deeper than a child of the root")
        << QStringLiteral("<EInvoice><Wrap><EInvoiceSignature>") + dw(A) + QStringLiteral("</EInvoiceSignature></Wrap></EInvoice>")
        << false << QString() << QString() << false;
    QTest::newRow("Signature not a direct child") << block(QStringLiteral("<Wrap>") + dw(A) + QStringLiteral("</Wrap>"))
        << false << QString() << QString() << false;
    QTest::newRow("SignatureValue not a direct child")
        << block(sig(QStringLiteral("InvoicingParty"), QStringLiteral("<W><SignatureValue>A</SignatureValue></W>")))
        << false << QString() << QString() << false;
    QTest::newRow("several EInvoiceSignature blocks are all read")
        << QStringLiteral("<E><EInvoiceSignature>") + dw(A) + QStringLiteral("</EInvoiceSignature><EInvoiceSignature>") + cz(B)
               + QStringLiteral("</EInvoiceSignature></E>")
        << true << B << A << false;
    QTest::newRow("the later of two matches wins") << block(dw(A) + dw(B)) << true << QString() << B << false;
    QTest::newRow("a later match without SignatureValue keeps the earlier")
        << block(dw(A) + sig(QStringLiteral("InvoicingParty"), QStringLiteral("<Other>x</Other>"))) << true << QString() << A << false;
    QTest::newRow("first SignatureValue of a Signature counts")
        << block(sig(QStringLiteral("InvoicingParty"), QStringLiteral("<SignatureValue>1</SignatureValue><SignatureValue>2</SignatureValue>")))
        << true << QString() << QStringLiteral("1") << false;
    QTest::newRow("id compared case-sensitively") << block(sig(QStringLiteral("invoicingparty"), QStringLiteral("<SignatureValue>A</SignatureValue>")))
        << false << QString() << QString() << false;
    QTest::newRow("id compared whole") << block(sig(QStringLiteral(" InvoicingParty"), QStringLiteral("<SignatureValue>A</SignatureValue>")))
        << false << QString() << QString() << false;
    QTest::newRow("Signature without id") << block(QStringLiteral("<Signature><SignatureValue>A</SignatureValue></Signature>"))
        << false << QString() << QString() << false;
    QTest::newRow("prefixed EInvoiceSignature does not match")
        << QStringLiteral("<E xmlns:p=\"urn:x\"><p:EInvoiceSignature>") + dw(A) + QStringLiteral("</p:EInvoiceSignature></E>")
        << false << QString() << QString() << false;
    QTest::newRow("prefixed Signature does not match")
        << QStringLiteral("<E xmlns:p=\"urn:x\"><EInvoiceSignature><p:Signature id=\"InvoicingParty\"><SignatureValue>A</SignatureValue></p:Signature></EInvoiceSignature></E>")
        << false << QString() << QString() << false;
    QTest::newRow("prefixed SignatureValue matches by local name")
        << block(sig(QStringLiteral("InvoicingParty"), QStringLiteral("<p:SignatureValue xmlns:p=\"urn:x\">A</p:SignatureValue>")))
        << true << QString() << A << false;
    QTest::newRow("name space of Signature: value in the same one")
        << QStringLiteral("<E><EInvoiceSignature><Signature xmlns=\"urn:Sig\" id=\"InvoicingParty\"><SignatureValue>A</SignatureValue></Signature></EInvoiceSignature></E>")
        << true << QString() << A << false;
    QTest::newRow("name space URI compared without case")
        << QStringLiteral("<E><EInvoiceSignature><Signature xmlns=\"urn:Sig\" id=\"InvoicingParty\"><p:SignatureValue xmlns:p=\"URN:SIG\">A</p:SignatureValue></Signature></EInvoiceSignature></E>")
        << true << QString() << A << false;
    QTest::newRow("non-ASCII name space URI matches itself")
        << nsRow(QString::fromUtf8("urn:ä"), QString::fromUtf8("urn:ä")) << true << QString() << A << false;
    QTest::newRow("IRI with Chinese characters matches itself")
        << nsRow(QString::fromUtf8("http://例子.中国/签名"), QString::fromUtf8("http://例子.中国/签名")) << true << QString() << A << false;
    QTest::newRow("case of non-ASCII letters counts")
        << nsRow(QString::fromUtf8("urn:ä"), QString::fromUtf8("urn:Ä")) << true << QString() << B << false;
    QTest::newRow("KELVIN SIGN is not the letter K")
        << nsRow(QString::fromUtf8("urn:\u212A"), QStringLiteral("urn:k")) << true << QString() << B << false;
    QTest::newRow("LONG S is not the letter s")
        << nsRow(QString::fromUtf8("urn:\u017F"), QStringLiteral("urn:s")) << true << QString() << B << false;
    QTest::newRow("value in another name space is passed over")
        << QStringLiteral("<E><EInvoiceSignature><Signature xmlns=\"urn:Sig\" id=\"InvoicingParty\"><p:SignatureValue xmlns:p=\"urn:other\">A</p:SignatureValue><SignatureValue>B</SignatureValue></Signature></EInvoiceSignature></E>")
        << true << QString() << B << false;
    QTest::newRow("several lines keep their breaks") << block(dw(QStringLiteral("line1\nline2\r\nline3"))) << true << QString()
        << QStringLiteral("line1\nline2\nline3") << false;
    QTest::newRow("surrounding white space kept") << block(dw(QStringLiteral("  A \n"))) << true << QString() << QStringLiteral("  A \n") << false;
    QTest::newRow("white space between elements is no node")
        << block(sig(QStringLiteral("InvoicingParty"), QStringLiteral("\n  <SignatureValue>A</SignatureValue>\n"))) << true << QString() << A << false;
    QTest::newRow("entities and character references") << block(dw(QStringLiteral("a&amp;b&#x4E2D;"))) << true << QString()
        << QString::fromUtf8("a&b中") << false;
    QTest::newRow("CDATA section") << block(dw(QStringLiteral("<![CDATA[<x>]]>"))) << true << QString() << QStringLiteral("<x>") << false;
    QTest::newRow("empty CDATA section") << block(dw(QStringLiteral("<![CDATA[]]>"))) << false << QString() << QString() << true;
    QTest::newRow("empty value") << block(dw(QString())) << false << QString() << QString() << true;
    QTest::newRow("blank value") << block(dw(QStringLiteral("  "))) << false << QString() << QString() << true;
    QTest::newRow("text and a comment") << block(dw(QStringLiteral("A<!--c-->"))) << false << QString() << QString() << true;
    QTest::newRow("text and CDATA") << block(dw(QStringLiteral("A<![CDATA[B]]>"))) << false << QString() << QString() << true;
    QTest::newRow("a comment alone") << block(dw(QStringLiteral("<!--c-->"))) << false << QString() << QString() << true;
    QTest::newRow("an element inside") << block(dw(QStringLiteral("<b>A</b>"))) << false << QString() << QString() << true;
    QTest::newRow("signatures copied before an error stay") << block(cz(B) + dw(QString()) + dw(A)) << false << B << QString() << true;
    QTest::newRow("byte-order mark dropped") << QChar(0xFEFF) + block(dw(A)) << true << QString() << A << false;
    QTest::newRow("a second byte-order mark is text before the document element")
        << QString(2, QChar(0xFEFF)) + block(dw(A)) << false << QString() << QString() << true;
    QTest::newRow("an unpaired high surrogate is no character")
        << block(dw(QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b"))) << false << QString() << QString() << true;
    QTest::newRow("an unpaired low surrogate is no character")
        << block(cz(B) + dw(QChar(0xDC00))) << false << QString() << QString() << true;
    QTest::newRow("a surrogate pair is one character")
        << block(dw(QString::fromUtf8("\U0001F600"))) << true << QString() << QString::fromUtf8("\U0001F600") << false;
    QTest::newRow("declared encoding ignored")
        << QStringLiteral("<?xml version=\"1.0\" encoding=\"GBK\"?>") + block(dw(QString::fromUtf8("中文"))) << true << QString()
        << QString::fromUtf8("中文") << false;
    QTest::newRow("name spaces on the root are carried")
        << QStringLiteral("<E xmlns=\"urn:bill\" xmlns:ds=\"urn:ds\"><EInvoiceSignature>") + dw(A) + QStringLiteral("</EInvoiceSignature></E>")
        << true << QString() << A << false;
}

void TestSignatureExtraction::extraction()
{
    QFETCH(QString, xml);
    QFETCH(bool, result);
    QFETCH(QString, signCZ);
    QFETCH(QString, signDw);
    QFETCH(bool, error);

    QString sSignCZ = QStringLiteral("stale"), sSignDw = QStringLiteral("stale"), ErrMsg = QStringLiteral("stale");
    QCOMPARE(GetXMLData(xml, sSignCZ, sSignDw, ErrMsg), result);
    QCOMPARE(sSignCZ, signCZ);
    QCOMPARE(sSignDw, signDw);
    QCOMPARE(!ErrMsg.isEmpty(), error);
}

void TestSignatureExtraction::entityExpansionStops()
{
    QString sDtd = QStringLiteral("<!DOCTYPE E [<!ENTITY a0 \"lollollollollollollollollollol\">");
    for (int i = 1; i < 10; ++i)
        sDtd += QStringLiteral("<!ENTITY a%1 \"%2\">").arg(i).arg(QStringLiteral("&a%1;").arg(i - 1).repeated(10));
    sDtd += QStringLiteral("]>");
    QString sSignCZ, sSignDw, ErrMsg;
    QVERIFY(!GetXMLData(sDtd + block(dw(QStringLiteral("&a9;"))), sSignCZ, sSignDw, ErrMsg));
    QVERIFY(sSignDw.isEmpty());
    QVERIFY(!ErrMsg.isEmpty());
}

void TestSignatureExtraction::externalEntityNeverRead()
{
    QTemporaryFile secret;
    QVERIFY(secret.open());
    secret.write("SECRET");
    secret.close();
    const QString sUrl = QUrl::fromLocalFile(secret.fileName()).toString();
    const QString sXml = QStringLiteral("<!DOCTYPE E [<!ENTITY ext SYSTEM \"%1\">]>").arg(sUrl)
        + block(dw(QStringLiteral("&ext;")) + cz(QStringLiteral("x&ext;")));
    QString sSignCZ, sSignDw, ErrMsg;
    GetXMLData(sXml, sSignCZ, sSignDw, ErrMsg);
    QVERIFY(!sSignDw.contains(QStringLiteral("SECRET")));
    QVERIFY(!sSignCZ.contains(QStringLiteral("SECRET")));
    QVERIFY(!ErrMsg.isEmpty()); // the value holds no text of its own
}

void TestSignatureExtraction::deepNesting_data()
{
    QTest::addColumn<bool>("insideValue");
    QTest::newRow("inside a value") << true;
    QTest::newRow("beside the block") << false;
}

void TestSignatureExtraction::deepNesting()
{
    QFETCH(bool, insideValue);
    const bool bInside = insideValue;
    const int iDepth = 200000;
    const QString sDeep = QStringLiteral("<d>").repeated(iDepth) + QStringLiteral("</d>").repeated(iDepth);
    const QString sXml = bInside ? block(dw(sDeep) + cz(QStringLiteral("B")))
                                 : QStringLiteral("<E>") + sDeep + QStringLiteral("<EInvoiceSignature>") + cz(QStringLiteral("B"))
            + QStringLiteral("</EInvoiceSignature></E>");
    QString sSignCZ, sSignDw, ErrMsg;
    QCOMPARE(GetXMLData(sXml, sSignCZ, sSignDw, ErrMsg), !bInside);
    QCOMPARE(sSignCZ, bInside ? QString() : QStringLiteral("B"));
    QCOMPARE(ErrMsg.isEmpty(), !bInside);
}

QTEST_GUILESS_MAIN(TestSignatureExtraction)
#include "tst_SignatureExtraction.moc"
