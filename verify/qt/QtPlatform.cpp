// The verification core's platform services, from Qt.

#include "Platform.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QXmlStreamReader>

namespace lumbrik::platform {
namespace {

class QtFile : public ByteSource
{
public:
    explicit QtFile(const QString &sFile) : file(sFile) {}

    bool open() { return file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) && (iSize = file.size(), true); }

    std::int64_t size() const override { return iSize; }
    std::int64_t read(char *p, std::int64_t iMax) override { return file.read(p, iMax); }
    bool seek(std::int64_t iPos) override { return file.seek(iPos); }

private:
    QFile file;
    std::int64_t iSize = 0;
};

class QtMd5 : public Md5
{
public:
    void add(const char *p, std::size_t iCount) override { hash.addData(QByteArrayView(p, qsizetype(iCount))); }
    std::string finish() override { return hash.result().toStdString(); }

private:
    QCryptographicHash hash{QCryptographicHash::Md5};
};

void assign(std::u16string &s, QStringView from)
{
    s.assign(reinterpret_cast<const char16_t *>(from.utf16()), std::size_t(from.size()));
}

// Qt's stream reader never reads anything external and bounds entity expansion.
class QtXmlReader : public XmlTokenReader
{
public:
    explicit QtXmlReader(std::u16string_view sXml)
        : xml(QString(reinterpret_cast<const QChar *>(sXml.data()), qsizetype(sXml.size())))
    {
    }

    void next(XmlToken &t) override
    {
        t.attributes.clear();
        while (!xml.atEnd()) {
            switch (xml.readNext()) {
            case QXmlStreamReader::StartElement:
                t.kind = XmlToken::Kind::StartElement;
                names(t);
                for (const QXmlStreamAttribute &a : xml.attributes()) {
                    t.attributes.emplace_back();
                    assign(t.attributes.back().sQualifiedName, a.qualifiedName());
                    assign(t.attributes.back().sValue, a.value());
                }
                return;
            case QXmlStreamReader::EndElement:
                t.kind = XmlToken::Kind::EndElement;
                names(t);
                return;
            case QXmlStreamReader::Characters:
                t.kind = xml.isCDATA() ? XmlToken::Kind::CData : XmlToken::Kind::Text;
                assign(t.sText, xml.text());
                return;
            case QXmlStreamReader::Comment:
                t.kind = XmlToken::Kind::Comment;
                return;
            case QXmlStreamReader::ProcessingInstruction:
                t.kind = XmlToken::Kind::ProcessingInstruction;
                return;
            case QXmlStreamReader::EntityReference:
                t.kind = XmlToken::Kind::EntityReference;
                return;
            default:
                break;
            }
        }
        t.kind = xml.hasError() ? XmlToken::Kind::Error : XmlToken::Kind::EndOfDocument;
        if (xml.hasError())
            assign(t.sText, xml.errorString());
    }

private:
    void names(XmlToken &t) const
    {
        assign(t.sQualifiedName, xml.qualifiedName());
        assign(t.sLocalName, xml.name());
        assign(t.sNamespaceUri, xml.namespaceUri());
    }

    QXmlStreamReader xml;
};

} // namespace

std::unique_ptr<ByteSource> openFile(const std::u16string &sFile)
{
    const QString sPath = QString::fromStdU16String(sFile);
    if (!QFileInfo(sPath).isFile())
        return nullptr;
    auto file = std::make_unique<QtFile>(sPath);
    return file->open() ? std::move(file) : nullptr;
}

std::unique_ptr<Md5> createMd5()
{
    return std::make_unique<QtMd5>();
}

std::unique_ptr<XmlTokenReader> readXml(std::u16string_view sXml)
{
    return std::make_unique<QtXmlReader>(sXml);
}

} // namespace lumbrik::platform
