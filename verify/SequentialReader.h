#pragma once
// Reading a byte source front to back through one fixed buffer.

#include "Platform.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace lumbrik {

// Reads a device front to back through one fixed buffer, so that chunk headers,
// skips and image data cost no system call each. The size is taken once: a
// file that shrinks meanwhile fails its reads, one that grows is read as it was.
class SequentialReader
{
public:
    static constexpr std::int64_t READ_BLOCK_LEN = 256 * 1024;

    explicit SequentialReader(ByteSource &fs) : fs(fs), iSize(fs.size()) {}

    std::int64_t pos() const { return iPos; }
    std::int64_t remaining() const { return iSize - iPos; }

    // Hands exactly iLen bytes to sink in pieces; false when the device ends sooner.
    template <class Sink>
    bool consume(std::int64_t iLen, Sink sink)
    {
        while (iLen > 0) {
            if (iBegin == iEnd && !fill())
                return false;
            const std::int64_t iTake = std::min(iLen, iEnd - iBegin);
            sink(abBuffer.get() + iBegin, iTake);
            iBegin += iTake;
            iPos += iTake;
            iLen -= iTake;
        }
        return true;
    }

    // Copies exactly iLen bytes to p; false when the device ends sooner.
    bool read(char *p, std::int64_t iLen)
    {
        return consume(iLen, [&p](const char *pFrom, std::int64_t iCount) {
            std::memcpy(p, pFrom, std::size_t(iCount));
            p += iCount;
        });
    }

    // Moves iLen bytes forward; moving past the end is allowed.
    void skip(std::int64_t iLen)
    {
        if (iLen <= iEnd - iBegin) {
            iBegin += iLen;
        } else {
            iBegin = iEnd = 0;
            bInStep = false;
        }
        iPos += iLen;
    }

private:
    // Refills the buffer from iPos; false at the end of the device or on error.
    bool fill()
    {
        if (!bInStep) {
            if (iPos >= iSize || !fs.seek(iPos))
                return false;
            bInStep = true;
        }
        const std::int64_t iGot = fs.read(abBuffer.get(), READ_BLOCK_LEN);
        if (iGot <= 0)
            return false;
        iBegin = 0;
        iEnd = iGot;
        return true;
    }

    ByteSource &fs;
    const std::int64_t iSize;
    // Left uninitialised: filling it would cost a small voucher more than checking it.
    const std::unique_ptr<char[]> abBuffer{new char[READ_BLOCK_LEN]};
    std::int64_t iBegin = 0, iEnd = 0; // unread part of abBuffer
    std::int64_t iPos = 0;             // position of the next unread byte
    bool bInStep = true;         // the device stands where the buffer ends
};

} // namespace lumbrik
