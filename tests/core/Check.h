#pragma once
// The portable suite's test framework, with UTF-16 text shown as UTF-8 in failures.

#include "Fixtures.h"

#include <doctest.h>

#include <string>

namespace doctest {
template <>
struct StringMaker<std::u16string> {
    static String convert(const std::u16string &s) { return ("u\"" + lumbrik::fixtures::utf8(s) + "\"").c_str(); }
};
} // namespace doctest
