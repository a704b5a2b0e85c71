#pragma once
// XML 1.0 (Fifth Edition) character classes, by code point.

namespace lumbrik::xml {

// Char: what a document may hold at all.
inline bool isChar(char32_t c)
{
    return (c >= 0x20 && c <= 0xD7FF) || c == 0x9 || c == 0xA || c == 0xD || (c >= 0xE000 && c <= 0xFFFD)
        || (c >= 0x10000 && c <= 0x10FFFF);
}

// S: the four white-space characters.
inline bool isSpace(char32_t c)
{
    return c == 0x20 || c == 0x9 || c == 0xA || c == 0xD;
}

// NameStartChar, the Fifth Edition's ranges.
inline bool isNameStartChar(char32_t c)
{
    if (c < 0x80)
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
    return (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) || (c >= 0x370 && c <= 0x37D)
        || (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F)
        || (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF)
        || (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

// NameChar: a NameStartChar, or one that may follow it.
inline bool isNameChar(char32_t c)
{
    if (c < 0x80)
        return isNameStartChar(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
    return isNameStartChar(c) || c == 0xB7 || (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

// PubidChar: what a public identifier may hold.
inline bool isPubidChar(char32_t c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    for (const char *p = " \r\n-'()+,./:=?;!*#@$_%"; *p; ++p)
        if (c == char32_t(*p))
            return true;
    return false;
}

} // namespace lumbrik::xml
