#pragma once
// What the command-line checker needs of its system, and nothing more: its
// entry, finding and opening files by their exact names, reading a list of
// names, the output streams and the user's language. Each system implements
// these once (tools/posix, tools/win32); the build picks one.
//
// A path is held as bytes: on POSIX the name's own bytes, which need not be
// UTF-8; on Windows the UTF-16 name in UTF-8, an unpaired surrogate kept in
// the same three-byte form, so that every name the system has can be held,
// printed and opened again.

#include "Platform.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lumbrik::checker {

// Why a file or folder could not be read, in the checker's own terms.
enum class Trouble {
    None,
    Missing,       // no such file or folder
    NoPermission,  // the system refused access
    TooLong,       // the path or a name in it is longer than the system takes
    LinkLoop,      // too many levels of symbolic links
    NotAFolder,    // a part of the path that should be a folder is not one
    NotRegular,    // a FIFO, device or folder where a file was expected
    InUse,         // another program holds the file open without sharing it
    Other,         // sDetail says what
};

struct Failure {
    Trouble trouble = Trouble::None;
    std::string sDetail; // the system's own words, UTF-8, for Trouble::Other
};

// One entry of a folder as it was listed.
struct FolderEntry {
    std::string abName;
    bool bFolder = false; // a folder in its own right, not a link to one
    bool bHidden = false; // hidden by the system's convention
};

struct Listing {
    enum class State {
        Listed,     // entries holds what could be listed; failure, if any, why not more
        NotAFolder, // not a folder, or nothing there: a file to check
        Unlistable, // a folder that cannot be listed; failure says why
    };
    State state = State::NotAFolder;
    std::vector<FolderEntry> entries;
    Failure failure;
};

struct OpenedFile {
    std::unique_ptr<ByteSource> file; // null when the file cannot be checked
    Failure failure;                  // why not
    std::int64_t iSize = 0;
};

enum class Stream { Out, Err };
enum class Language { English, Chinese };

namespace platform {

// Whether '\\' separates folders in a path, as '/' does; the separator this
// system puts between a folder and a name in it.
bool backslashSeparates();
char separator();

// The entries of the folder at abPath, however long the path.
Listing listFolder(const std::string &abPath);

// Opens the file at abPath for reading, however long the path, if it is a
// regular file, without waiting on it if it is not.
OpenedFile openRegularFile(const std::string &abPath);

// Reads the list of names at abPath, or standard input for "-", into abText,
// the names held as paths are, each ended by a line break or a NUL byte: on
// POSIX the bytes as they stand (a carriage return may end a Linux name); on
// Windows decoded, and without a carriage return before a line break.
Failure readWhole(const std::string &abPath, std::string &abText);

// Writes UTF-8 text to a stream: to a console as the console shows it,
// elsewhere as UTF-8 bytes. Output may be held until flush.
void write(Stream stream, std::string_view sText);
void flush(Stream stream);
// Whether the stream is a terminal or console, as opposed to a file or pipe.
bool isTerminal(Stream stream);
// Removes the last line written to a terminal, which ended without a line break.
void eraseLine(Stream stream);

// The language the user reads the program's own messages in.
Language userLanguage();

} // namespace platform

// The checker itself, given its arguments (the program name left out) as
// paths are held; returns the exit status.
int run(const std::vector<std::string> &args);

} // namespace lumbrik::checker
