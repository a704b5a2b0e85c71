#pragma once
// Small text helpers of the checker: UTF-8 throughout.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace lumbrik::checker {

// What an unpaired surrogate becomes in UTF-8: U+FFFD, or the three bytes of
// its own value, as a Windows name keeps it.
enum class LoneSurrogate { Replace, Keep };

// UTF-16 text as UTF-8.
std::string utf8(std::u16string_view s, LoneSurrogate lone = LoneSurrogate::Replace);
// UTF-8 text as UTF-16; the text is taken to be well-formed.
std::u16string utf16(std::string_view s);

// sPattern with %1 to %9 replaced by args, in one pass: what an argument
// holds is never read as a pattern.
std::string format(std::string_view sPattern, std::initializer_list<std::string_view> args);

std::string number(std::int64_t i);
// d with iDecimals digits after a point, whatever the locale.
std::string fixed(double d, int iDecimals);

} // namespace lumbrik::checker
