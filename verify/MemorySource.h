#pragma once
// Bytes already in memory, read as a file would be: for checks of data that
// never was a file (fuzzing, tests).

#include "Platform.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace lumbrik {

class MemorySource : public ByteSource
{
public:
    explicit MemorySource(std::string_view ab) : ab(ab) {}

    std::int64_t size() const override { return std::int64_t(ab.size()); }

    std::int64_t read(char *p, std::int64_t iMax) override
    {
        const std::int64_t iCount = std::max<std::int64_t>(0, std::min<std::int64_t>(iMax, size() - iPos));
        if (iCount > 0) // the bytes of an empty view may be null
            std::memcpy(p, ab.data() + iPos, std::size_t(iCount));
        iPos += iCount;
        return iCount;
    }

    bool seek(std::int64_t iTo) override
    {
        if (iTo < 0 || iTo > size())
            return false;
        iPos = iTo;
        return true;
    }

private:
    std::string_view ab;
    std::int64_t iPos = 0;
};

} // namespace lumbrik
