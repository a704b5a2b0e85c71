#pragma once
// The seal check over any byte source, with the cause of its verdict.
// CheckNonTaxVoucher is this walk over the opened file; the fuzzers and the
// command-line checker's explanations use it directly.

#include "PngChunk.h"
#include "Platform.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lumbrik {

inline constexpr char SEAL_SALT[] = "quvelt-ibrod-58";
inline constexpr char16_t SEAL_ERROR_TEXT[] = u"获取加密信息失败！";

// Why a check ended as it did. Every fault but None fails the check.
enum class SealFault {
    None,           // the seal holds
    CannotOpen,     // the file is missing, not a regular file, or unreadable
    NotPng,         // the first eight bytes are not the PNG signature
    CutInHeader,    // the file ends inside a chunk's length or type field
    LengthTooLarge, // an IDAT or IEND length of 2^31 or more
    CutInData,      // an IDAT or IEND chunk's data runs past the end of the file
    Exception,      // the walk could not go on, such as for want of memory
    EmptyPayload,   // an IEND chunk without data
    InvalidUtf8,    // the payload is not well-formed UTF-8
    NoPayload,      // no IEND chunk at all
    SealMismatch,   // the stored seal differs from the recomputed one
};

// A chunk named by where it starts in the file.
struct ChunkRef {
    std::int64_t iOffset = 0;
    std::string abType;
};

struct SealReport {
    SealFault fault = SealFault::None;
    std::int64_t iOffset = -1;        // start of the chunk at fault, or of the first bad payload byte
    std::string abChunkType;          // the chunk at fault, and its length field
    std::int64_t iChunkLength = -1;
    std::int64_t iPayloadByte = -1;   // InvalidUtf8: the first bad byte, counted in the payload
    std::string abSignature;          // NotPng: the file's first bytes, eight at most
    std::u16string sStored;           // the stored seal of the last payload read
    std::u16string sComputed;         // the recomputed seal, once the walk reached the end
    std::int64_t iChunksAfterEnd = 0; // chunks that follow the first IEND chunk
    std::vector<ChunkRef> badCrcs;    // chunks whose CRC does not match; with Detail::Explain only
};

// How much a check looks at. The verdict is the same either way.
enum class Detail {
    Verdict, // what the verdict needs: the chunk walk and the two digests
    Explain, // also every chunk's CRC, which the seal does not cover
};

// Checks the voucher in fs, at position 0, exactly as CheckNonTaxVoucher checks
// a file, outputs and failure text included.
SealReport checkVoucherSource(ByteSource &fs, std::u16string &sSignCZ, std::u16string &sSignDw, std::u16string &ErrMsg,
                              Detail detail = Detail::Verdict);

// CheckNonTaxVoucher, with its report.
SealReport checkVoucherFile(const std::u16string &sFile, std::u16string &sSignCZ, std::u16string &sSignDw,
                            std::u16string &ErrMsg, Detail detail = Detail::Verdict);

} // namespace lumbrik
