#include "SealCheck.h"

#include "SequentialReader.h"
#include "Utf8.h"
#include "Voucher.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <string_view>

namespace lumbrik {
namespace {

constexpr std::int64_t MAX_DATA_LEN = std::numeric_limits<std::int32_t>::max();
constexpr std::size_t SEAL_START = 9;        // "{\"sign\":\""
constexpr std::size_t SEAL_LEN = 32;
constexpr std::size_t XML_START = 51;        // SEAL_START + SEAL_LEN + "\",\"data\":\""
constexpr std::size_t PAYLOAD_CLOSING_LEN = 2; // "\"}"

// The lower-case hexadecimal text of the bytes ab.
std::string toHex(const std::string &ab)
{
    static const char DIGITS[] = "0123456789abcdef";
    std::string sHex;
    for (const char c : ab) {
        sHex += DIGITS[static_cast<unsigned char>(c) >> 4];
        sHex += DIGITS[static_cast<unsigned char>(c) & 0xF];
    }
    return sHex;
}

std::u16string fromAscii(const std::string &s)
{
    return std::u16string(s.begin(), s.end());
}

// One check's walk over the chunks, with its working state.
class SealWalk
{
public:
    SealWalk(ByteSource &fs, std::u16string &sSignCZ, std::u16string &sSignDw, std::u16string &ErrMsg, Detail detail)
        : reader(fs), sSignCZ(sSignCZ), sSignDw(sSignDw), ErrMsg(ErrMsg), bCheckCrcs(detail == Detail::Explain)
    {
    }

    SealReport run()
    {
        if (!readSignature())
            return report;
        while (reader.remaining() > 0) {
            if (!readChunk())
                return report;
        }
        compareSeal();
        return report;
    }

private:
    bool fail(SealFault fault, std::int64_t iOffset)
    {
        report.fault = fault;
        report.iOffset = iOffset;
        return false;
    }

    bool failInChunk(SealFault fault, std::int64_t iOffset, const char *abType, std::int64_t iLen)
    {
        report.abChunkType = std::string(abType, 4);
        report.iChunkLength = iLen;
        return fail(fault, iOffset);
    }

    // Checks the eight signature bytes.
    bool readSignature()
    {
        char abSignature[PNG_FILE_HEADER_LEN];
        const std::int64_t iHave = std::clamp(reader.remaining(), std::int64_t(0), std::int64_t(PNG_FILE_HEADER_LEN));
        const bool bRead = reader.read(abSignature, iHave);
        if (!bRead || iHave < PNG_FILE_HEADER_LEN || std::memcmp(abSignature, PNG_SIGNATURE, PNG_FILE_HEADER_LEN) != 0) {
            report.abSignature = std::string(abSignature, std::size_t(bRead ? iHave : 0));
            return fail(SealFault::NotPng, 0);
        }
        return true;
    }

    // Handles the chunk at the reader's position; false ends the walk with a fault.
    bool readChunk()
    {
        const std::int64_t iStart = reader.pos();
        char abHeader[PNG_CHUNK_HEAER_LEN];
        if (!reader.read(abHeader, PNG_CHUNK_HEAER_LEN))
            return fail(SealFault::CutInHeader, iStart);
        const char *abChunkLength = abHeader;
        const char *abChunkType = abHeader + 4;
        const std::int64_t iLen = bigEndian32(abChunkLength);
        if (bSawPayload)
            ++report.iChunksAfterEnd;
        iCrc = 0;
        addToCrc(abChunkType, 4);

        const bool bIsEnd = std::memcmp(abChunkType, "IEND", 4) == 0;
        const bool bIsData = std::memcmp(abChunkType, "IDAT", 4) == 0;
        if (!bIsEnd && !bIsData) {
            if (!bCheckCrcs || iLen > reader.remaining()) {
                reader.skip(iLen + PNG_CHUNK_CRC_LEN);
                return true;
            }
            reader.consume(iLen, [this](const char *p, std::int64_t iCount) { addToCrc(p, iCount); });
            endChunk(iStart, abChunkType);
            return true;
        }
        if (iLen > MAX_DATA_LEN)
            return failInChunk(SealFault::LengthTooLarge, iStart, abChunkType, iLen);
        if (iLen > reader.remaining())
            return failInChunk(SealFault::CutInData, iStart, abChunkType, iLen);
        if (!(bIsEnd ? readPayload(iLen, iStart) : hashImageData(iLen, iStart)))
            return false;
        endChunk(iStart, abChunkType);
        return true;
    }

    // Steps over the CRC of the chunk at iStart, checking it when asked to.
    void endChunk(std::int64_t iStart, const char *abType)
    {
        char abCrc[PNG_CHUNK_CRC_LEN];
        if (!bCheckCrcs || reader.remaining() < PNG_CHUNK_CRC_LEN) {
            reader.skip(PNG_CHUNK_CRC_LEN);
        } else if (reader.read(abCrc, PNG_CHUNK_CRC_LEN) && bigEndian32(abCrc) != iCrc) {
            report.badCrcs.push_back(ChunkRef{iStart, std::string(abType, 4)});
        }
    }

    void addToCrc(const char *p, std::int64_t iCount)
    {
        if (bCheckCrcs)
            iCrc = crc32(iCrc, p, std::size_t(iCount));
    }

    // Feeds one IDAT chunk's data to the digest in file order.
    bool hashImageData(std::int64_t iLen, std::int64_t iStart)
    {
        const bool bWhole = reader.consume(iLen, [this](const char *p, std::int64_t iCount) {
            AMD5->add(p, std::size_t(iCount));
            addToCrc(p, iCount);
        });
        return bWhole || failInChunk(SealFault::CutInData, iStart, "IDAT", iLen);
    }

    // Reads one IEND chunk's payload: its stored seal and its signatures.
    bool readPayload(std::int64_t iLen, std::int64_t iStart)
    {
        std::string abChunkData(std::size_t(iLen), '\0');
        if (!reader.read(abChunkData.data(), iLen))
            return failInChunk(SealFault::CutInData, iStart, "IEND", iLen);
        addToCrc(abChunkData.data(), iLen);
        std::u16string sJson;
        if (!decodeUtf8Strict(abChunkData, sJson)) {
            report.iPayloadByte = firstInvalidUtf8(abChunkData);
            return failInChunk(SealFault::InvalidUtf8, iStart + PNG_CHUNK_HEAER_LEN + report.iPayloadByte, "IEND", iLen);
        }
        if (sJson.empty())
            return failInChunk(SealFault::EmptyPayload, iStart, "IEND", iLen);
        bSawPayload = true;
        sSign = sJson.substr(std::min(SEAL_START, sJson.size()), SEAL_LEN);
        report.sStored = sSign;
        std::u16string sXml = sJson.substr(std::min(XML_START, sJson.size()));
        sXml.resize(sXml.size() - std::min(PAYLOAD_CLOSING_LEN, sXml.size()));
        GetXMLData(sXml, sSignCZ, sSignDw, ErrMsg);
        return true;
    }

    void compareSeal()
    {
        const std::string sImageDigest = toHex(AMD5->finish());
        const std::unique_ptr<Md5> sealDigest = platform::createMd5();
        sealDigest->add(sImageDigest.data(), sImageDigest.size());
        sealDigest->add(SEAL_SALT, std::strlen(SEAL_SALT));
        report.sComputed = fromAscii(toHex(sealDigest->finish()));
        if (!bSawPayload)
            fail(SealFault::NoPayload, -1);
        else if (report.sComputed != sSign)
            fail(SealFault::SealMismatch, -1);
    }

    SequentialReader reader;
    std::u16string &sSignCZ;
    std::u16string &sSignDw;
    std::u16string &ErrMsg;
    std::unique_ptr<Md5> AMD5 = platform::createMd5();
    std::u16string sSign;
    bool bSawPayload = false; // an IEND chunk with a payload was read: later chunks come after it
    const bool bCheckCrcs;
    std::uint32_t iCrc = 0;   // of the current chunk's type and data
    SealReport report;
};

void clearOutputs(std::u16string &sSignCZ, std::u16string &sSignDw, std::u16string &ErrMsg)
{
    ErrMsg.clear();
    sSignCZ.clear();
    sSignDw.clear();
}

} // namespace

SealReport checkVoucherSource(ByteSource &fs, std::u16string &sSignCZ, std::u16string &sSignDw, std::u16string &ErrMsg,
                              Detail detail)
{
    clearOutputs(sSignCZ, sSignDw, ErrMsg);
    SealReport report;
    try {
        report = SealWalk(fs, sSignCZ, sSignDw, ErrMsg, detail).run();
    } catch (...) { // out of memory, above all: a failed check like any other
        report.fault = SealFault::Exception;
    }
    if (report.fault != SealFault::None)
        ErrMsg = SEAL_ERROR_TEXT;
    return report;
}

SealReport checkVoucherFile(const std::u16string &sFile, std::u16string &sSignCZ, std::u16string &sSignDw,
                            std::u16string &ErrMsg, Detail detail)
{
    std::unique_ptr<ByteSource> fs;
    ReadError error = ReadError::None;
    try {
        fs = platform::openFile(sFile, error);
    } catch (...) {
    }
    if (!fs) {
        clearOutputs(sSignCZ, sSignDw, ErrMsg);
        ErrMsg = SEAL_ERROR_TEXT;
        SealReport report;
        report.fault = SealFault::CannotOpen;
        return report;
    }
    return checkVoucherSource(*fs, sSignCZ, sSignDw, ErrMsg, detail);
}

bool CheckNonTaxVoucher(const std::u16string &sFile, std::u16string &sSignCZ, std::u16string &sSignDw, std::u16string &ErrMsg)
{
    return checkVoucherFile(sFile, sSignCZ, sSignDw, ErrMsg).fault == SealFault::None;
}

} // namespace lumbrik
