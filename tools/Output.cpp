#include "Output.h"

#include "Text.h"
#include "Utf8.h"
#include "VerdictText.h"

namespace lumbrik::checker {
namespace {

// Keeps a signature or name on its one line: line breaks, tabs and, with
// bBackslash, backslashes escaped.
std::string escapeLine(std::string_view s, bool bBackslash = true)
{
    std::string sOut;
    sOut.reserve(s.size());
    for (const char c : s) {
        switch (c) {
        case '\\': sOut += bBackslash ? "\\\\" : "\\"; break;
        case '\n': sOut += "\\n"; break;
        case '\r': sOut += "\\r"; break;
        case '\t': sOut += "\\t"; break;
        default: sOut += c;
        }
    }
    return sOut;
}

std::string jsonString(std::string_view s)
{
    static const char HEX[] = "0123456789abcdef";
    std::string sOut = "\"";
    for (const char c : s) {
        if (c == '"' || c == '\\') {
            sOut += '\\';
            sOut += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            sOut += "\\u00";
            sOut += HEX[c >> 4];
            sOut += HEX[c & 0xF];
        } else {
            sOut += c;
        }
    }
    return sOut + '"';
}

std::string jsonMember(const char *sName, const std::string &sJsonValue)
{
    return std::string(",\"") + sName + "\":" + sJsonValue;
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

bool isSeparator(char c)
{
    return c == '/' || (c == '\\' && platform::backslashSeparates());
}

// The last component of a path.
std::string lastComponent(std::string s)
{
    while (s.size() > 1 && isSeparator(s.back()))
        s.pop_back();
    std::size_t iStart = s.size();
    while (iStart > 0 && !isSeparator(s[iStart - 1]))
        --iStart;
    return s.substr(iStart);
}

// The words for an outcome: the window's own for its two verdicts.
std::string statusWords(const Outcome &o, Status status)
{
    const std::string sName = printableName(lastComponent(o.abPath), true);
    switch (status) {
    case Status::Intact:
        return utf8(verdictText(true, utf16(sName)));
    case Status::Altered:
        return utf8(verdictText(false, utf16(sName)));
    case Status::NotAVoucher:
        return format("“%1”不是电子票据：不是 PNG 图片，或图片中没有封存的签名数据。", {sName});
    case Status::Unreadable:
        return format(o.bFolder ? "无法列出文件夹“%1”：%2。" : "无法读取“%1”：%2。", {sName, o.sUnreadable});
    }
    return std::string();
}

Explanation explanationOf(const Outcome &o)
{
    return explain(o.report, o.ErrMsg, o.sUnreadable, o.iSize);
}

std::string joined(const std::vector<std::string> &parts, std::string_view sBetween)
{
    std::string sOut;
    for (const std::string &s : parts) {
        if (&s != &parts.front())
            sOut += sBetween;
        sOut += s;
    }
    return sOut;
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

std::string printableName(const std::string &abPath, bool bOneLine)
{
    static const char HEX[] = "0123456789ABCDEF";
    std::string sOut;
    std::string_view rest(abPath);
    while (!rest.empty()) {
        const std::ptrdiff_t iBad = firstInvalidUtf8(rest);
        const std::string_view good = iBad < 0 ? rest : rest.substr(0, std::size_t(iBad));
        // A name cannot hold a backslash where it separates folders.
        const bool bBackslash = !platform::backslashSeparates();
        if (bOneLine) {
            sOut += escapeLine(good, bBackslash);
        } else {
            for (const char c : good)
                sOut += c == '\\' && bBackslash ? "\\\\" : std::string(1, c);
        }
        if (iBad < 0)
            break;
        const unsigned char b = static_cast<unsigned char>(rest[std::size_t(iBad)]);
        sOut += "\\x";
        sOut += HEX[b >> 4];
        sOut += HEX[b & 0xF];
        rest.remove_prefix(std::size_t(iBad) + 1);
    }
    return sOut;
}

std::string unreadableReason(const Failure &failure)
{
    switch (failure.trouble) {
    case Trouble::NotRegular: return "不是普通文件";
    case Trouble::Missing: return "文件不存在";
    case Trouble::NoPermission: return "没有读取权限";
    case Trouble::TooLong: return "路径过长";
    case Trouble::LinkLoop: return "符号链接层数过多";
    case Trouble::NotAFolder: return "路径中有一段不是文件夹";
    case Trouble::InUse: return "文件正被其他程序使用";
    case Trouble::None:
    case Trouble::Other: break;
    }
    return format("读取出错（%1）", {failure.sDetail});
}

std::string textLines(const Outcome &o, bool bExplain)
{
    const Status status = statusOf(o);
    std::string sLine = printableName(o.abPath, true) + '\t' + statusWords(o, status);
    if (status == Status::Intact) {
        sLine += "\t财政签名：" + escapeLine(o.sSignCZ);
        sLine += "\t单位签名：" + escapeLine(o.sSignDw);
    }
    sLine += '\n';
    if (bExplain && !o.bFolder) {
        const Explanation e = explanationOf(o);
        std::vector<std::string> parts{e.sText};
        parts.insert(parts.end(), e.notes.begin(), e.notes.end());
        sLine += "\t说明：" + escapeLine(joined(parts, "；")) + '\n';
    }
    return sLine;
}

std::string jsonLine(const Outcome &o, bool bExplain)
{
    const Status status = statusOf(o);
    const bool bIntact = status == Status::Intact;
    std::string sLine = "{\"file\":" + jsonString(printableName(o.abPath, false))
        + jsonMember("status", jsonString(statusCode(status)))
        + jsonMember("intact", bIntact ? "true" : "false");
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
            sLine += jsonMember("offset", number(o.report.iOffset));
        sLine += jsonMember("explanation", jsonString(e.sText));
        if (o.report.fault == SealFault::SealMismatch || bIntact) {
            sLine += jsonMember("stored_seal", jsonString(utf8(o.report.sStored)));
            sLine += jsonMember("computed_seal", jsonString(utf8(o.report.sComputed)));
        }
        if (bIntact) {
            std::vector<std::string> notes;
            for (const std::string &sNote : e.notes)
                notes.push_back(jsonString(sNote));
            sLine += jsonMember("notes", '[' + joined(notes, ",") + ']');
        }
    }
    return sLine + "}\n";
}

} // namespace lumbrik::checker
