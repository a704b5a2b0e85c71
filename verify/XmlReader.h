#pragma once
// The voucher XML as a stream of tokens: a non-validating reader of XML 1.0
// (Fifth Edition) with Namespaces in XML 1.0 (Third Edition), over text that
// is decoded already. It reads the internal DTD subset (general entities,
// attribute defaults and types), never anything external, and expands
// entities within a budget tied to the size of the text. One pass, no
// recursion: time and memory grow linearly with the text.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lumbrik {

// Every document may expand entities to this many characters, plus
// XML_EXPANSION_PER_CHARACTER for each character of its own text; each
// expansion costs its replacement text's length plus one.
constexpr std::uint64_t XML_EXPANSION_ALLOWANCE = 1000000;
constexpr std::uint64_t XML_EXPANSION_PER_CHARACTER = 10;

struct XmlAttribute {
    std::u16string sQualifiedName;
    std::u16string sValue; // normalised, with entities and character references resolved
};

struct XmlToken {
    enum class Kind {
        StartElement,          // attributes include the defaults the DTD gives, and name-space declarations
        EndElement,            // also after an empty element's start
        Text,                  // character data, entities resolved; one text node may come in several tokens
        CData,                 // one CDATA section
        Comment,               // sText holds its text
        ProcessingInstruction, // sQualifiedName holds the target, sText the data
        EntityReference,       // sQualifiedName names an entity whose declaration was not read
        Error,                 // the text is not well formed; sText says where and why, in one line
        EndOfDocument,
    };
    Kind kind = Kind::EndOfDocument;
    std::u16string sQualifiedName, sLocalName, sNamespaceUri; // elements
    std::vector<XmlAttribute> attributes;                     // start elements
    std::u16string sText;
};

class XmlReader
{
public:
    // Reads sXml, which must outlive the reader.
    explicit XmlReader(std::u16string_view sXml);
    ~XmlReader();
    XmlReader(const XmlReader &) = delete;
    XmlReader &operator=(const XmlReader &) = delete;

    // Makes t the next token, reusing its storage; after EndOfDocument or
    // Error there is none, and every further call gives EndOfDocument.
    void next(XmlToken &t);

private:
    class Parser;
    std::unique_ptr<Parser> parser;
};

} // namespace lumbrik
