#include "SealCheck.h"

#include "Utf8.h"
#include "Voucher.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

#include <zlib.h>

#include <cstring>
#include <limits>

namespace lumbrik {
namespace {

constexpr qint64 READ_BLOCK_LEN = 256 * 1024;
constexpr qint64 MAX_DATA_LEN = std::numeric_limits<qint32>::max();
constexpr int SEAL_START = 9;        // "{\"sign\":\""
constexpr int SEAL_LEN = 32;
constexpr int XML_START = 51;        // SEAL_START + SEAL_LEN + "\",\"data\":\""
constexpr int PAYLOAD_CLOSING_LEN = 2; // "\"}"

// Reads a device front to back through one fixed buffer, so that chunk headers,
// skips and image data cost no system call each. The size is taken once: a
// file that shrinks meanwhile fails its reads, one that grows is read as it was.
class SequentialReader
{
public:
    explicit SequentialReader(QIODevice &fs) : fs(fs), iSize(fs.size()), iPos(fs.pos()) { abBuffer.resize(READ_BLOCK_LEN); }

    qint64 pos() const { return iPos; }
    qint64 remaining() const { return iSize - iPos; }

    // Hands exactly iLen bytes to sink in pieces; false when the device ends sooner.
    template <class Sink>
    bool consume(qint64 iLen, Sink sink)
    {
        while (iLen > 0) {
            if (iBegin == iEnd && !fill())
                return false;
            const qint64 iTake = qMin(iLen, iEnd - iBegin);
            sink(abBuffer.constData() + iBegin, iTake);
            iBegin += iTake;
            iPos += iTake;
            iLen -= iTake;
        }
        return true;
    }

    // Copies exactly iLen bytes to p; false when the device ends sooner.
    bool read(char *p, qint64 iLen)
    {
        return consume(iLen, [&p](const char *pFrom, qint64 iCount) {
            std::memcpy(p, pFrom, size_t(iCount));
            p += iCount;
        });
    }

    // Moves iLen bytes forward; moving past the end is allowed.
    void skip(qint64 iLen)
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
        const qint64 iGot = fs.read(abBuffer.data(), abBuffer.size());
        if (iGot <= 0)
            return false;
        iBegin = 0;
        iEnd = iGot;
        return true;
    }

    QIODevice &fs;
    const qint64 iSize;
    QByteArray abBuffer;
    qint64 iBegin = 0, iEnd = 0; // unread part of abBuffer
    qint64 iPos;                 // device position of the next unread byte
    bool bInStep = true;         // the device stands where the buffer ends
};

// One check's walk over the chunks, with its working state.
class SealWalk
{
public:
    SealWalk(QIODevice &fs, QString &sSignCZ, QString &sSignDw, QString &ErrMsg, Detail detail)
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
    bool fail(SealFault fault, qint64 iOffset)
    {
        report.fault = fault;
        report.iOffset = iOffset;
        return false;
    }

    bool failInChunk(SealFault fault, qint64 iOffset, const char *abType, qint64 iLen)
    {
        report.abChunkType = QByteArray(abType, 4);
        report.iChunkLength = iLen;
        return fail(fault, iOffset);
    }

    // Checks the eight signature bytes.
    bool readSignature()
    {
        char abSignature[PNG_FILE_HEADER_LEN];
        const qint64 iHave = qBound(qint64(0), reader.remaining(), qint64(PNG_FILE_HEADER_LEN));
        const bool bRead = reader.read(abSignature, iHave);
        if (!bRead || iHave < PNG_FILE_HEADER_LEN || std::memcmp(abSignature, PNG_SIGNATURE, PNG_FILE_HEADER_LEN) != 0) {
            report.abSignature = QByteArray(abSignature, bRead ? iHave : 0);
            return fail(SealFault::NotPng, 0);
        }
        return true;
    }

    // Handles the chunk at the reader's position; false ends the walk with a fault.
    bool readChunk()
    {
        const qint64 iStart = reader.pos();
        char abHeader[PNG_CHUNK_HEAER_LEN];
        if (!reader.read(abHeader, PNG_CHUNK_HEAER_LEN))
            return fail(SealFault::CutInHeader, iStart);
        const char *abChunkLength = abHeader;
        const char *abChunkType = abHeader + 4;
        const qint64 iLen = bigEndian32(abChunkLength);
        if (bSawPayload)
            ++report.iChunksAfterEnd;
        iCrc = crc32(0, Z_NULL, 0);
        addToCrc(abChunkType, 4);

        const bool bIsEnd = std::memcmp(abChunkType, "IEND", 4) == 0;
        const bool bIsData = std::memcmp(abChunkType, "IDAT", 4) == 0;
        if (!bIsEnd && !bIsData) {
            if (!bCheckCrcs || iLen > reader.remaining()) {
                reader.skip(iLen + PNG_CHUNK_CRC_LEN);
                return true;
            }
            reader.consume(iLen, [this](const char *p, qint64 iCount) { addToCrc(p, iCount); });
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
    void endChunk(qint64 iStart, const char *abType)
    {
        char abCrc[PNG_CHUNK_CRC_LEN];
        if (!bCheckCrcs || reader.remaining() < PNG_CHUNK_CRC_LEN) {
            reader.skip(PNG_CHUNK_CRC_LEN);
        } else if (reader.read(abCrc, PNG_CHUNK_CRC_LEN) && bigEndian32(abCrc) != iCrc) {
            report.badCrcs << ChunkRef{iStart, QByteArray(abType, 4)};
        }
    }

    void addToCrc(const char *p, qint64 iCount)
    {
        if (bCheckCrcs)
            iCrc = crc32_z(iCrc, reinterpret_cast<const Bytef *>(p), size_t(iCount));
    }

    // Feeds one IDAT chunk's data to the digest in file order.
    bool hashImageData(qint64 iLen, qint64 iStart)
    {
        const bool bWhole = reader.consume(iLen, [this](const char *p, qint64 iCount) {
            AMD5.addData(QByteArrayView(p, iCount));
            addToCrc(p, iCount);
        });
        return bWhole || failInChunk(SealFault::CutInData, iStart, "IDAT", iLen);
    }

    // Reads one IEND chunk's payload: its stored seal and its signatures.
    bool readPayload(qint64 iLen, qint64 iStart)
    {
        QByteArray abChunkData(iLen, Qt::Uninitialized);
        if (!reader.read(abChunkData.data(), iLen))
            return failInChunk(SealFault::CutInData, iStart, "IEND", iLen);
        addToCrc(abChunkData.constData(), iLen);
        QString sJson;
        if (!decodeUtf8Strict(abChunkData, sJson)) {
            report.iPayloadByte = firstInvalidUtf8(abChunkData);
            return failInChunk(SealFault::InvalidUtf8, iStart + PNG_CHUNK_HEAER_LEN + report.iPayloadByte, "IEND", iLen);
        }
        if (sJson.isEmpty())
            return failInChunk(SealFault::EmptyPayload, iStart, "IEND", iLen);
        bSawPayload = true;
        sSign = sJson.mid(SEAL_START, SEAL_LEN);
        report.sStored = sSign;
        QString sXml = sJson.mid(XML_START);
        sXml.chop(PAYLOAD_CLOSING_LEN);
        GetXMLData(sXml, sSignCZ, sSignDw, ErrMsg);
        return true;
    }

    void compareSeal()
    {
        const QByteArray abImageDigest = AMD5.result().toHex();
        AMD5.reset();
        AMD5.addData(abImageDigest);
        AMD5.addData(QByteArrayView(SEAL_SALT));
        report.sComputed = QString::fromLatin1(AMD5.result().toHex());
        if (!bSawPayload)
            fail(SealFault::NoPayload, -1);
        else if (report.sComputed != sSign)
            fail(SealFault::SealMismatch, -1);
    }

    SequentialReader reader;
    QString &sSignCZ;
    QString &sSignDw;
    QString &ErrMsg;
    QCryptographicHash AMD5{QCryptographicHash::Md5};
    QString sSign;
    bool bSawPayload = false; // an IEND chunk with a payload was read: later chunks come after it
    const bool bCheckCrcs;
    uLong iCrc = 0;          // of the current chunk's type and data
    SealReport report;
};

void clearOutputs(QString &sSignCZ, QString &sSignDw, QString &ErrMsg)
{
    ErrMsg.clear();
    sSignCZ.clear();
    sSignDw.clear();
}

} // namespace

SealReport checkVoucherDevice(QIODevice &fs, QString &sSignCZ, QString &sSignDw, QString &ErrMsg, Detail detail)
{
    clearOutputs(sSignCZ, sSignDw, ErrMsg);
    SealReport report;
    try {
        report = SealWalk(fs, sSignCZ, sSignDw, ErrMsg, detail).run();
    } catch (...) { // out of memory, above all: a failed check like any other
        report.fault = SealFault::Exception;
    }
    if (report.fault != SealFault::None)
        ErrMsg = QString::fromUtf8(SEAL_ERROR_TEXT);
    return report;
}

SealReport checkVoucherFile(const QString &sFile, QString &sSignCZ, QString &sSignDw, QString &ErrMsg, Detail detail)
{
    // Only regular files: opening a FIFO would block, a device could be endless.
    QFile fs(sFile);
    if (!QFileInfo(sFile).isFile() || !fs.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        clearOutputs(sSignCZ, sSignDw, ErrMsg);
        ErrMsg = QString::fromUtf8(SEAL_ERROR_TEXT);
        SealReport report;
        report.fault = SealFault::CannotOpen;
        return report;
    }
    return checkVoucherDevice(fs, sSignCZ, sSignDw, ErrMsg, detail);
}

bool CheckNonTaxVoucher(const QString &sFile, QString &sSignCZ, QString &sSignDw, QString &ErrMsg)
{
    return checkVoucherFile(sFile, sSignCZ, sSignDw, ErrMsg).fault == SealFault::None;
}

} // namespace lumbrik
