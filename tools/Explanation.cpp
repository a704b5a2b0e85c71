#include "Explanation.h"

namespace lumbrik {
namespace {

QString text(const char *sUtf8)
{
    return QString::fromUtf8(sUtf8);
}

QString hexBytes(const std::string &ab)
{
    return QString::fromLatin1(QByteArray::fromStdString(ab).toHex(' ').toUpper());
}

QString chunkType(const std::string &abType)
{
    return QString::fromLatin1(QByteArray::fromStdString(abType));
}

QString failure(const SealReport &r, const QString &sUnreadable, qint64 iSize)
{
    switch (r.fault) {
    case SealFault::CannotOpen:
        return sUnreadable;
    case SealFault::NotPng:
        return r.abSignature.empty()
            ? text("文件是空的，不是 PNG 文件")
            : text("不是 PNG 文件：开头的字节为 %1，PNG 文件以 89 50 4E 47 0D 0A 1A 0A 开头").arg(hexBytes(r.abSignature));
    case SealFault::CutInHeader:
        return text("文件在偏移 %1 处的数据块长度或类型字段中结束").arg(r.iOffset);
    case SealFault::LengthTooLarge:
        return text("偏移 %1 处的 %2 数据块长度为 %3，达到或超过 2^31").arg(r.iOffset).arg(chunkType(r.abChunkType)).arg(r.iChunkLength);
    case SealFault::CutInData:
        return text("偏移 %1 处的 %2 数据块（长度 %3）超出了文件末尾（文件共 %4 字节）")
            .arg(r.iOffset)
            .arg(chunkType(r.abChunkType))
            .arg(r.iChunkLength)
            .arg(iSize);
    case SealFault::Exception:
        return text("检查未能完成（内存不足）");
    case SealFault::EmptyPayload:
        return text("偏移 %1 处的 IEND 数据块没有载荷：这是普通的 PNG 图片，不是电子票据").arg(r.iOffset);
    case SealFault::InvalidUtf8:
        return text("载荷不是有效的 UTF-8：载荷第 %1 字节（文件偏移 %2）处出错").arg(r.iPayloadByte).arg(r.iOffset);
    case SealFault::NoPayload:
        return text("文件中没有 IEND 数据块，因而没有载荷");
    case SealFault::SealMismatch:
        return text("存储的校验值为“%1”，重新计算的校验值为“%2”，两者不符").arg(QString::fromStdU16String(r.sStored), QString::fromStdU16String(r.sComputed));
    case SealFault::None:
        break;
    }
    return QString();
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

QStringList notesOnIntact(const SealReport &r, const QString &ErrMsg)
{
    QStringList notes;
    if (!ErrMsg.isEmpty())
        notes << text("签名提取出错：%1").arg(ErrMsg);
    if (r.iChunksAfterEnd > 0)
        notes << text("第一个 IEND 数据块之后还有 %1 个数据块").arg(r.iChunksAfterEnd);
    QStringList badCrcs;
    for (const ChunkRef &c : r.badCrcs)
        badCrcs << text("偏移 %1 处的 %2").arg(c.iOffset).arg(chunkType(c.abType));
    if (!badCrcs.isEmpty())
        notes << text("CRC 不符的数据块：%1（CRC 不在封印范围内，但这说明文件曾被 PNG 编写程序以外的工具改动）")
                     .arg(badCrcs.join(text("、")));
    return notes;
}

} // namespace

Explanation explain(const SealReport &report, const QString &ErrMsg, const QString &sUnreadable, qint64 iSize)
{
    Explanation e;
    e.sCause = QLatin1String(causeCode(report.fault));
    if (report.fault != SealFault::None) {
        e.sText = failure(report, sUnreadable, iSize);
        return e;
    }
    e.sText = text("存储的校验值与重新计算的校验值（%1）相符").arg(report.sComputed);
    e.notes = notesOnIntact(report, ErrMsg);
    return e;
}

} // namespace lumbrik
