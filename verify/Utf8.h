#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace lumbrik {

// Decodes abData as UTF-8, refusing any ill-formed sequence instead of replacing
// it. A leading byte-order mark is kept as U+FEFF; zero bytes become U+0000.
// Returns false, leaving sText untouched, when abData is not well-formed.
bool decodeUtf8Strict(std::string_view abData, std::u16string &sText);

// The index of the first byte at which abData stops being well-formed UTF-8
// (a sequence cut off by the end counts from its first byte), or -1.
std::ptrdiff_t firstInvalidUtf8(std::string_view abData);

} // namespace lumbrik
