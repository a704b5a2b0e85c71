#pragma once
// A file read whole, in one pass through one open handle: what a window shows
// and what it checks are then the same bytes, whatever happens to the file
// before or after.

#include "Platform.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace lumbrik {

struct FileBytes {
    ReadError error = ReadError::None;
    std::unique_ptr<char[]> ab; // the file's bytes; null when it could not be read
    std::size_t iSize = 0;

    std::string_view view() const { return {ab.get(), iSize}; }
};

// Reads the regular file at sFile whole, as openFile opens it; a file larger
// than iMaxSize bytes, or larger than memory allows, is TooLarge.
FileBytes readWholeFile(const std::u16string &sFile, std::int64_t iMaxSize);

} // namespace lumbrik
