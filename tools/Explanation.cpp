#include "Explanation.h"

#include "Text.h"

namespace lumbrik::checker {
namespace {

// Bytes as upper-case hexadecimal pairs with a space between.
std::string hexBytes(const std::string &ab)
{
    static const char HEX[] = "0123456789ABCDEF";
    std::string sOut;
    for (const char c : ab) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (!sOut.empty())
            sOut += ' ';
        sOut += HEX[b >> 4];
        sOut += HEX[b & 0xF];
    }
    return sOut;
}

// A chunk type as it stands in the file, each byte a Latin-1 character.
std::string chunkType(const std::string &abType)
{
    std::u16string s;
    for (const char c : abType)
        s += char16_t(static_cast<unsigned char>(c));
    return utf8(s);
}

std::string failure(const SealReport &r, const std::string &sUnreadable, std::int64_t iSize)
{
    switch (r.fault) {
    case SealFault::CannotOpen:
        return sUnreadable;
    case SealFault::NotPng:
        return r.abSignature.empty()
            ? "文件是空的，不是 PNG 文件"
            : format("不是 PNG 文件：开头的字节为 %1，PNG 文件以 89 50 4E 47 0D 0A 1A 0A 开头", {hexBytes(r.abSignature)});
    case SealFault::CutInHeader:
        return format("文件在偏移 %1 处的数据块长度或类型字段中结束", {number(r.iOffset)});
    case SealFault::LengthTooLarge:
        return format("偏移 %1 处的 %2 数据块长度为 %3，达到或超过 2^31",
                      {number(r.iOffset), chunkType(r.abChunkType), number(r.iChunkLength)});
    case SealFault::CutInData:
        return format("偏移 %1 处的 %2 数据块（长度 %3）超出了文件末尾（文件共 %4 字节）",
                      {number(r.iOffset), chunkType(r.abChunkType), number(r.iChunkLength), number(iSize)});
    case SealFault::Exception:
        return "检查未能完成（内存不足）";
    case SealFault::EmptyPayload:
        return format("偏移 %1 处的 IEND 数据块没有载荷：这是普通的 PNG 图片，不是电子票据", {number(r.iOffset)});
    case SealFault::InvalidUtf8:
        return format("载荷不是有效的 UTF-8：载荷第 %1 字节（文件偏移 %2）处出错", {number(r.iPayloadByte), number(r.iOffset)});
    case SealFault::NoPayload:
        return "文件中没有 IEND 数据块，因而没有载荷";
    case SealFault::SealMismatch:
        return format("存储的校验值为“%1”，重新计算的校验值为“%2”，两者不符", {utf8(r.sStored), utf8(r.sComputed)});
    case SealFault::None:
        break;
    }
    return std::string();
}

const char *causeCode(SealFault fault)
{
    switch (fault) {
    case SealFault::None: return "intact";
    case SealFault::CannotOpen: return "cannot_open";
    case SealFault::NotPng: return "not_png";
    case SealFault::CutInHeader: return "cut_in_chunk_header";
    case SealFault::LengthTooLarge: return "length_too_large";
    case SealFault::CutInData: return "chunk_past_end";
    case SealFault::Exception: return "aborted";
    case SealFault::EmptyPayload: return "empty_payload";
    case SealFault::InvalidUtf8: return "payload_not_utf8";
    case SealFault::NoPayload: return "no_payload";
    case SealFault::SealMismatch: return "seal_mismatch";
    }
    return "unknown";
}

std::vector<std::string> notesOnIntact(const SealReport &r, const std::string &ErrMsg)
{
    std::vector<std::string> notes;
    if (!ErrMsg.empty())
        notes.push_back(format("签名提取出错：%1", {ErrMsg}));
    if (r.iChunksAfterEnd > 0)
        notes.push_back(format("第一个 IEND 数据块之后还有 %1 个数据块", {number(r.iChunksAfterEnd)}));
    std::string sBadCrcs;
    for (const ChunkRef &c : r.badCrcs)
        sBadCrcs += (sBadCrcs.empty() ? "" : "、") + format("偏移 %1 处的 %2", {number(c.iOffset), chunkType(c.abType)});
    if (!sBadCrcs.empty())
        notes.push_back(format("CRC 不符的数据块：%1（CRC 不在封印范围内，但这说明文件曾被 PNG 编写程序以外的工具改动）", {sBadCrcs}));
    return notes;
}

} // namespace

Explanation explain(const SealReport &report, const std::string &ErrMsg, const std::string &sUnreadable, std::int64_t iSize)
{
    Explanation e;
    e.sCause = causeCode(report.fault);
    if (report.fault != SealFault::None) {
        e.sText = failure(report, sUnreadable, iSize);
        return e;
    }
    e.sText = format("存储的校验值与重新计算的校验值（%1）相符", {utf8(report.sComputed)});
    e.notes = notesOnIntact(report, ErrMsg);
    return e;
}

} // namespace lumbrik::checker
