// Fuzz target: the bytes, read as UTF-8 (or as Latin-1 where they are not
// UTF-8), go through the XML reader token by token. Whatever the text, the
// stream must end, elements must nest, and an error must be the last token
// and say in one line where it is.

#include "Utf8.h"
#include "XmlReader.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view abData(reinterpret_cast<const char *>(data), size);
    std::u16string sXml;
    if (!lumbrik::decodeUtf8Strict(abData, sXml))
        sXml.assign(data, data + size);
    lumbrik::XmlReader reader(sXml);
    lumbrik::XmlToken t;
    std::vector<std::u16string> open;
    bool bRoot = false;
    for (reader.next(t);; reader.next(t)) {
        using Kind = lumbrik::XmlToken::Kind;
        if (t.kind == Kind::StartElement) {
            if (open.empty() && bRoot)
                __builtin_trap(); // a second document element
            bRoot = true;
            open.push_back(t.sQualifiedName);
        } else if (t.kind == Kind::EndElement) {
            if (open.empty() || open.back() != t.sQualifiedName)
                __builtin_trap();
            open.pop_back();
        } else if (t.kind == Kind::Error) {
            if (t.sText.compare(0, 5, u"Line ") != 0 || t.sText.find(u'\n') != std::u16string::npos)
                __builtin_trap();
            break;
        } else if (t.kind == Kind::EndOfDocument) {
            if (!open.empty() || !bRoot)
                __builtin_trap();
            break;
        }
    }
    reader.next(t);
    if (t.kind != lumbrik::XmlToken::Kind::EndOfDocument)
        __builtin_trap();
    return 0;
}
