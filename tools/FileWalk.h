#pragma once
// Finding the files to check: names the system cannot show in UTF-8, long
// paths and folders that cannot be listed are all reported, never passed over.

#include "CheckerPlatform.h"

#include <string>
#include <vector>

namespace lumbrik::checker {

// One line of the checker's output to come: a file to check, or a folder that
// could not be listed (failure says why).
struct WalkEntry {
    std::string abPath;
    bool bFolder = false;
    Failure failure;
};

struct Walk {
    std::vector<WalkEntry> entries;          // in the order of the paths, each folder's sorted
    std::vector<std::string> emptyFolders;   // listed whole, and holding no *.png
};

// Each path named that is not a folder, and every *.png (any case, not hidden)
// below each folder named, recursively; links to folders below are not followed.
Walk walkPaths(const std::vector<std::string> &paths);

} // namespace lumbrik::checker
