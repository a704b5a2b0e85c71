#include "Output.h"

#include "Utf8.h"
#include "VerdictText.h"

#include <QStringList>

#include <cerrno>
#include <cstring>

namespace lumbrik {
namespace {

QString text(const char *sUtf8)
{
    return QString::fromUtf8(sUtf8);
}

// Keeps a signature on its one line: line breaks, tabs and backslashes escaped.
QString escapeLine(const QString &s)
{
    QString sOut;
    sOut.reserve(s.size());
    qsizetype iPlain = 0; // start of the run of characters copied as they are
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t c = s[i].unicode();
        const char *sEscape = c == '\\' ? "\\\\" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : c == '\t' ? "\\t" : nullptr;
        if (!sEscape)
            continue;
        sOut += QStringView(s).sliced(iPlain, i - iPlain);
        sOut += QLatin1String(sEscape);
        iPlain = i + 1;
    }
    return sOut += QStringView(s).sliced(iPlain);
}

QString jsonString(const QString &s)
{
    QString sOut = QStringLiteral("\"");
    for (const QChar c : s) {
        if (c == u'"' || c == u'\\')
            sOut += u'\\' + QString(c);
        else if (c.unicode() < 0x20)
            sOut += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            sOut += c;
    }
    return sOut + u'"';
}

QString jsonMember(const char *sName, const QString &sJsonValue)
{
    return QStringLiteral(",\"%1\":").arg(QLatin1String(sName)) + sJsonValue;
}

const char *statusCode(Status status)
{
    switch (status) {
    case Status::Intact: return "intact";
    case Status::Altered: return "altered";
    case Status::NotAVoucher: return "not_a_voucher";
    case Status::Unreadable: return "unreadable";
    }
    return "unknown";
}

// The last component of a printable path.
QString lastComponent(const QString &sPath)
{
    QString s = sPath;
    while (s.size() > 1 && s.endsWith(u'/'))
        s.chop(1);
    return s.mid(s.lastIndexOf(u'/') + 1);
}

// The words for an outcome: the window's own for its two verdicts.
QString statusWords(const Outcome &o, Status status)
{
    const QString sName = lastComponent(printableName(o.abPath, true));
    switch (status) {
    case Status::Intact:
        return QString::fromStdU16String(verdictText(true, sName.toStdU16String()));
    case Status::Altered:
        return QString::fromStdU16String(verdictText(false, sName.toStdU16String()));
    case Status::NotAVoucher:
        return text("“%1”不是电子票据：不是 PNG 图片，或图片中没有封存的签名数据。").arg(sName);
    case Status::Unreadable:
        return (o.bFolder ? text("无法列出文件夹“%1”：%2。") : text("无法读取“%1”：%2。")).arg(sName, o.sUnreadable);
    }
    return QString();
}

Explanation explanationOf(const Outcome &o)
{
    return explain(o.report, o.ErrMsg, o.sUnreadable, o.iSize);
}

} // namespace

Status statusOf(const Outcome &o)
{
    if (o.bFolder)
        return Status::Unreadable;
    switch (o.report.fault) {
    case SealFault::None:
        return Status::Intact;
    case SealFault::CannotOpen:
    case SealFault::Exception:
        return Status::Unreadable;
    case SealFault::NotPng:
    case SealFault::NoPayload:
        return Status::NotAVoucher;
    case SealFault::EmptyPayload:
        // An ordinary PNG ends in an empty IEND chunk; after a payload, one is damage.
        return o.report.iChunksAfterEnd == 0 ? Status::NotAVoucher : Status::Altered;
    case SealFault::CutInHeader:
    case SealFault::LengthTooLarge:
    case SealFault::CutInData:
    case SealFault::InvalidUtf8:
    case SealFault::SealMismatch:
        return Status::Altered;
    }
    return Status::Altered;
}

QString printableName(const QByteArray &abPath, bool bOneLine)
{
    QString sOut;
    QByteArrayView rest(abPath);
    while (!rest.isEmpty()) {
        const qsizetype iBad = firstInvalidUtf8(std::string_view(rest.data(), std::size_t(rest.size())));
        const QByteArrayView good = iBad < 0 ? rest : rest.first(iBad);
        const QString sGood = QString::fromUtf8(good);
        sOut += bOneLine ? escapeLine(sGood) : QString(sGood).replace(u'\\', QLatin1String("\\\\"));
        if (iBad < 0)
            break;
        sOut += QStringLiteral("\\x") + QString::number(uchar(rest[iBad]), 16).toUpper().rightJustified(2, u'0');
        rest = rest.sliced(iBad + 1);
    }
    return sOut;
}

QString unreadableReason(int iErrno, bool bNotRegular)
{
    if (bNotRegular)
        return text("不是普通文件");
    switch (iErrno) {
    case ENOENT: return text("文件不存在");
    case EACCES:
    case EPERM: return text("没有读取权限");
    case ENAMETOOLONG: return text("路径过长");
    case ELOOP: return text("符号链接层数过多");
    case ENOTDIR: return text("路径中有一段不是文件夹");
    default: return text("读取出错（%1）").arg(QString::fromLocal8Bit(std::strerror(iErrno)));
    }
}

QString textLines(const Outcome &o, bool bExplain)
{
    const Status status = statusOf(o);
    QString sLine = printableName(o.abPath, true) + u'\t' + statusWords(o, status);
    if (status == Status::Intact) {
        sLine += text("\t财政签名：") + escapeLine(o.sSignCZ);
        sLine += text("\t单位签名：") + escapeLine(o.sSignDw);
    }
    sLine += u'\n';
    if (bExplain && !o.bFolder) {
        const Explanation e = explanationOf(o);
        sLine += text("\t说明：") + escapeLine((QStringList{e.sText} + e.notes).join(text("；"))) + u'\n';
    }
    return sLine;
}

QString jsonLine(const Outcome &o, bool bExplain)
{
    const Status status = statusOf(o);
    const bool bIntact = status == Status::Intact;
    QString sLine = QStringLiteral("{\"file\":") + jsonString(printableName(o.abPath, false))
        + jsonMember("status", jsonString(QLatin1String(statusCode(status))))
        + jsonMember("intact", bIntact ? QStringLiteral("true") : QStringLiteral("false"));
    if (bIntact) {
        sLine += jsonMember("finance_signature", jsonString(o.sSignCZ));
        sLine += jsonMember("issuer_signature", jsonString(o.sSignDw));
    } else if (!o.bFolder) {
        sLine += jsonMember("error", jsonString(o.ErrMsg));
    }
    if (status == Status::Unreadable)
        sLine += jsonMember("reason", jsonString(o.sUnreadable));
    if (bExplain && !o.bFolder) {
        const Explanation e = explanationOf(o);
        sLine += jsonMember("cause", jsonString(e.sCause));
        if (o.report.iOffset >= 0 && !bIntact)
            sLine += jsonMember("offset", QString::number(o.report.iOffset));
        sLine += jsonMember("explanation", jsonString(e.sText));
        if (o.report.fault == SealFault::SealMismatch || bIntact) {
            sLine += jsonMember("stored_seal", jsonString(QString::fromStdU16String(o.report.sStored)));
            sLine += jsonMember("computed_seal", jsonString(QString::fromStdU16String(o.report.sComputed)));
        }
        if (bIntact) {
            QStringList notes;
            for (const QString &sNote : e.notes)
                notes << jsonString(sNote);
            sLine += jsonMember("notes", u'[' + notes.join(u',') + u']');
        }
    }
    return sLine + QStringLiteral("}\n");
}

} // namespace lumbrik
