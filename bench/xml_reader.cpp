// Times the core's XML reader against QXmlStreamReader over the same decoded
// text: a 10 MiB voucher payload and the sample voucher's XML. Each reader goes
// through every token and touches its names, attributes and text. Prints the
// median of RUNS runs for each, in MiB of UTF-16 text per second (the sample,
// being small, is read a hundred times as often).
//   xml_reader_bench VOUCHER.png [RUNS]

#include "Utf8.h"
#include "XmlReader.h"

#include <QString>
#include <QXmlStreamReader>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::size_t ourReader(const std::u16string &sXml)
{
    lumbrik::XmlReader reader(sXml);
    lumbrik::XmlToken t;
    std::size_t iSeen = 0;
    for (reader.next(t); t.kind != lumbrik::XmlToken::Kind::EndOfDocument; reader.next(t)) {
        if (t.kind == lumbrik::XmlToken::Kind::Error) {
            std::fprintf(stderr, "not read: %s\n", QString::fromStdU16String(t.sText).toUtf8().constData());
            std::exit(1);
        }
        iSeen += t.sQualifiedName.size() + t.sText.size() + t.attributes.size();
    }
    return iSeen;
}

std::size_t qtReader(const std::u16string &sXml)
{
    QXmlStreamReader xml(QString::fromStdU16String(sXml));
    std::size_t iSeen = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        iSeen += std::size_t(xml.qualifiedName().size() + xml.text().size() + xml.attributes().size());
    }
    if (xml.hasError()) {
        std::fprintf(stderr, "not read by Qt: %s\n", xml.errorString().toUtf8().constData());
        std::exit(1);
    }
    return iSeen;
}

double seconds(const std::function<std::size_t()> &run)
{
    const auto start = std::chrono::steady_clock::now();
    volatile std::size_t iSeen = run();
    (void)iSeen;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> &values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The two readers take turns, so that a machine busy with other work slows both alike.
void compare(const char *sName, const std::u16string &sXml, int iRuns)
{
    const double fMib = double(sXml.size()) * 2 / (1 << 20);
    std::vector<double> ours, qt;
    for (int i = 0; i < iRuns; ++i) {
        ours.push_back(seconds([&] { return ourReader(sXml); }));
        qt.push_back(seconds([&] { return qtReader(sXml); }));
    }
    const double fOurs = median(ours), fQt = median(qt);
    std::printf("%-22s %9zu chars  ours %8.3f ms %7.1f MiB/s   QXmlStreamReader %8.3f ms %7.1f MiB/s   ours/Qt time %.2f\n", sName,
                sXml.size(), fOurs * 1000, fMib / fOurs, fQt * 1000, fMib / fQt, fOurs / fQt);
}

// The XML of a voucher's payload: characters 52 to L-2 of the IEND chunk's text.
std::u16string voucherXml(const std::string &abFile)
{
    std::size_t i = 8;
    while (i + 12 <= abFile.size()) {
        const auto byte = [&](std::size_t j) { return std::size_t(static_cast<unsigned char>(abFile[j])); };
        const std::size_t iLength = byte(i) << 24 | byte(i + 1) << 16 | byte(i + 2) << 8 | byte(i + 3);
        if (abFile.compare(i + 4, 4, "IEND") == 0) {
            std::u16string sPayload;
            lumbrik::decodeUtf8Strict(std::string_view(abFile).substr(i + 8, iLength), sPayload);
            return sPayload.substr(51, sPayload.size() - 53);
        }
        i += 12 + iLength;
    }
    return std::u16string();
}

// A voucher-like document of at least iChars characters: bill lines with
// attributes, text, an entity and a character reference, then the signatures.
std::u16string bigPayload(std::size_t iChars)
{
    std::u16string s = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE EInvoice [<!ENTITY unit \"元\">]>\n"
                       u"<EInvoice xmlns=\"urn:einvoice\" xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\">\n<Items>\n";
    for (int i = 0; s.size() < iChars; ++i) {
        const std::string n = std::to_string(i);
        const std::u16string sN(n.begin(), n.end());
        s += u"  <Item no=\"" + sN + u"\" code=\"A-" + sN + u"\"><Name>非税收入项目 " + sN + u" &amp; 服务</Name><Amount>" + sN
           + u".00&unit;</Amount><Note><![CDATA[<b>" + sN + u"</b>]]></Note><!-- line " + sN + u" --></Item>\n";
    }
    s += u"</Items>\n<EInvoiceSignature><Signature id=\"InvoicingParty\"><SignatureValue>" + std::u16string(344, u'A')
       + u"</SignatureValue></Signature><Signature id=\"SupervisorParty\"><SignatureValue>" + std::u16string(344, u'B')
       + u"</SignatureValue></Signature></EInvoiceSignature>\n</EInvoice>\n";
    return s;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: xml_reader_bench VOUCHER.png [RUNS]\n");
        return 2;
    }
    const int iRuns = argc > 2 ? std::max(1, std::atoi(argv[2])) : 11;
    std::ifstream in(argv[1], std::ios::binary);
    const std::string abFile((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::u16string sSample = voucherXml(abFile);
    if (sSample.empty()) {
        std::fprintf(stderr, "no voucher XML in %s\n", argv[1]);
        return 2;
    }
    compare("10 MiB payload", bigPayload(5 << 20), iRuns);
    compare("the sample voucher", sSample, iRuns * 100);
    return 0;
}
