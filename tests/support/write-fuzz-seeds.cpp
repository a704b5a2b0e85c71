// Test-only: writes the fuzzers' seed corpora, one file per named defect:
//   write-fuzz-seeds FUZZ_CORPUS_DIR

#include "VoucherWriter.h"

#include <QDir>
#include <QFile>

using namespace lumbrik::testing;

namespace {

void writeSeed(const QDir &dir, const char *sName, const QByteArray &ab)
{
    QFile f(dir.filePath(QLatin1String(sName)));
    if (!f.open(QIODevice::WriteOnly) || f.write(ab) != ab.size())
        qFatal("cannot write %s", sName);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2)
        qFatal("usage: write-fuzz-seeds FUZZ_CORPUS_DIR");
    const QDir root(QString::fromLocal8Bit(argv[1]));
    root.mkpath(QStringLiteral("seal_check"));
    root.mkpath(QStringLiteral("signatures"));
    const QDir seal(root.filePath(QStringLiteral("seal_check")));
    const QDir xml(root.filePath(QStringLiteral("signatures")));

    const QString sSeal = QLatin1String(IMAGE_SEAL);
    const QString sXml = voucherXml(QStringLiteral("CZ-SIG"), QStringLiteral("DW-SIG"));
    const QByteArray good = goodVoucher();
    const QByteArray head = pngSignature() + ihdr();
    const QByteArray idat = chunk("IDAT", IMAGE_DATA);

    writeSeed(seal, "good.png", good);
    writeSeed(seal, "split-image-data.png",
              head + chunk("IDAT", IMAGE_DATA.left(9)) + chunk("IDAT", IMAGE_DATA.mid(9)) + chunk("IEND", payload(sSeal, sXml)));
    writeSeed(seal, "no-image-data.png", head + chunk("IEND", payload(QString::fromUtf16(EMPTY_SEAL), sXml)));
    writeSeed(seal, "empty-end.png", head + idat + chunk("IEND", {}));
    writeSeed(seal, "no-end.png", head + idat);
    writeSeed(seal, "two-ends.png", good + chunk("IEND", payload(sSeal, sXml)));
    writeSeed(seal, "data-after-end.png", head + chunk("IEND", payload(sSeal, sXml)) + idat);
    writeSeed(seal, "seal-upper-case.png", voucher(payload(sSeal.toUpper(), sXml)));
    writeSeed(seal, "wrong-crc.png", pngSignature() + chunk("IHDR", ihdr().mid(8, 13), Crc::Wrong) + chunk("IDAT", IMAGE_DATA, Crc::Wrong)
                                         + chunk("IEND", payload(sSeal, sXml), Crc::Wrong));
    writeSeed(seal, "cut-in-length.png", good + "\0\0"_qba);
    writeSeed(seal, "cut-in-type.png", good + "\0\0\0\x01ID"_qba);
    writeSeed(seal, "image-data-past-end.png", head + chunkHeader("IDAT", 4096) + IMAGE_DATA);
    writeSeed(seal, "payload-past-end.png", head + idat + chunkHeader("IEND", 4096) + "{\"sign\":"_qba);
    writeSeed(seal, "length-2-31.png", head + chunkHeader("IDAT", 0x80000000u));
    writeSeed(seal, "ancillary-past-end.png", good + chunkHeader("tEXt", 0xFFFFFFFFu));
    writeSeed(seal, "payload-not-utf8.png", voucher(payload(sSeal, sXml) + "\xC0\xAF"_qba));
    writeSeed(seal, "payload-bom.png", voucher("\xEF\xBB\xBF"_qba + payload(sSeal, sXml)));
    writeSeed(seal, "payload-short.png", voucher("{\"sign\":\"9d16"_qba));
    writeSeed(seal, "xml-damaged.png", voucher(payload(sSeal, QStringLiteral("<E><EInvoiceSignature>"))));
    writeSeed(seal, "not-png.png", "GIF89a\x01\x00\x01\x00"_qba);

    writeSeed(xml, "both.xml", sXml.toUtf8());
    writeSeed(xml, "name-spaces.xml",
              "<E xmlns=\"urn:a\"><EInvoiceSignature><Signature xmlns=\"urn:Sig\" id=\"InvoicingParty\">"
              "<p:SignatureValue xmlns:p=\"URN:SIG\">A</p:SignatureValue></Signature></EInvoiceSignature></E>"_qba);
    writeSeed(xml, "cdata-and-comment.xml",
              "<E><EInvoiceSignature><Signature id=\"SupervisorParty\"><SignatureValue><![CDATA[x]]><!--c--></SignatureValue>"
              "</Signature></EInvoiceSignature></E>"_qba);
    writeSeed(xml, "entities.xml",
              "<!DOCTYPE E [<!ENTITY a \"&#13;&#10;\"><!ENTITY b \"&a;&a;&a;\">]><E><EInvoiceSignature>"
              "<Signature id=\"InvoicingParty\"><SignatureValue>x&b;y</SignatureValue></Signature></EInvoiceSignature></E>"_qba);
    writeSeed(xml, "external-entity.xml",
              "<!DOCTYPE E [<!ENTITY x SYSTEM \"file:///etc/hostname\">]><E><EInvoiceSignature>"
              "<Signature id=\"InvoicingParty\"><SignatureValue>&x;</SignatureValue></Signature></EInvoiceSignature></E>"_qba);
    writeSeed(xml, "malformed.xml", "<E><EInvoiceSignature><Signature id=\"InvoicingParty\"><SignatureValue>A</Sig"_qba);
    writeSeed(xml, "empty-value.xml",
              "<E><EInvoiceSignature><Signature id=\"InvoicingParty\"><SignatureValue/></Signature></EInvoiceSignature></E>"_qba);
    return 0;
}
