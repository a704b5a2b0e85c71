#pragma once
// What the verification core needs of its platform, and nothing more: a file
// read front to back, an MD5 digest, and a stream of XML tokens. Each platform
// implements these once (verify/qt, verify/win32); the build picks one.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lumbrik {

// Bytes read front to back, with a size taken when they were opened.
class ByteSource
{
public:
    virtual ~ByteSource() = default;
    // The size at the time the source was opened.
    virtual std::int64_t size() const = 0;
    // Reads up to iMax bytes at the current position into p: the count read,
    // 0 at the end, or -1 on an error.
    virtual std::int64_t read(char *p, std::int64_t iMax) = 0;
    // Moves the current position to iPos; false when it cannot.
    virtual bool seek(std::int64_t iPos) = 0;
};

// Why a file could not be read. A file that was read is judged on its bytes;
// one that could not be read has not been judged at all.
enum class ReadError {
    None,
    Missing,   // nothing is there
    NotAFile,  // a folder, a FIFO, a device: not a regular file
    Denied,    // no permission to read it
    InUse,     // another program holds it, for writing or locked
    TooLarge,  // more than the reader may hold in memory
    Failed,    // any other fault of the system while opening or reading
};

class Md5
{
public:
    virtual ~Md5() = default;
    virtual void add(const char *p, std::size_t iCount) = 0;
    // The digest of everything added, in 16 bytes; the object is spent afterwards.
    virtual std::string finish() = 0;
};

struct XmlAttribute {
    std::u16string sQualifiedName;
    std::u16string sValue;
};

struct XmlToken {
    enum class Kind {
        StartElement,
        EndElement,
        Text,                  // character data, entities resolved; one text node may come in several tokens
        CData,                 // one CDATA section
        Comment,
        ProcessingInstruction,
        EntityReference,       // an entity the reader would not resolve
        Error,                 // the text is not well formed; sText holds the reader's message
        EndOfDocument,
    };
    Kind kind = Kind::EndOfDocument;
    std::u16string sQualifiedName, sLocalName, sNamespaceUri; // elements
    std::vector<XmlAttribute> attributes;                     // start elements
    std::u16string sText;                                     // text, CDATA, error message
};

class XmlTokenReader
{
public:
    virtual ~XmlTokenReader() = default;
    // Makes t the next token, reusing its storage; after EndOfDocument or
    // Error there is none.
    virtual void next(XmlToken &t) = 0;
};

namespace platform {

// Opens the regular file at sFile for reading. Other programs may go on reading
// it; where the platform can say so, none may write it while it is open, and
// one that holds it open for writing keeps it from being opened. Null when it
// cannot be opened; error says why.
std::unique_ptr<ByteSource> openFile(const std::u16string &sFile, ReadError &error);

std::unique_ptr<Md5> createMd5();

// Reads sXml, already decoded, without resolving anything external and with
// entity expansion bounded, in time linear in its size.
std::unique_ptr<XmlTokenReader> readXml(std::u16string_view sXml);

} // namespace platform
} // namespace lumbrik
