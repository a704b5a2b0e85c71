#pragma once
// The checker's own messages (usage, errors, progress, summary) in the two
// languages it speaks; the verdicts and reasons are always Chinese.

#include <string_view>

namespace lumbrik::checker {

enum class Message {
    Usage,
    Help,
    JobsNeedNumber,
    UnknownOption,   // %1: the option
    NeedsArgument,   // %1: the option
    NulWithoutList,
    NoFileNamed,
    CannotReadList,  // %1: the list, %2: why
    NulInList,       // %1: the list
    ListNamesNothing, // %1: the list
    NoPngBelow,      // %1: the folder
    Progress,        // %1 done of %2, %3 files a second
    Summary,         // %1 checked: %2 intact, %3 altered, %4 not vouchers, %5 unreadable, in %6 s
};

// The message in the user's language, as a pattern for format().
std::string_view message(Message m);

} // namespace lumbrik::checker
