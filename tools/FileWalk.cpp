#include "FileWalk.h"

#include <algorithm>

namespace lumbrik::checker {
namespace {

bool hasPngExtension(const std::string &abName)
{
    if (abName.size() <= 4)
        return false;
    std::string abEnd = abName.substr(abName.size() - 4);
    std::transform(abEnd.begin(), abEnd.end(), abEnd.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    return abEnd == ".png";
}

// The path of abName in abFolder, with the separator the folder's path uses.
std::string childPath(const std::string &abFolder, const std::string &abName)
{
    const std::size_t iLast = abFolder.find_last_of(platform::backslashSeparates() ? "/\\" : "/");
    const char cSeparator = iLast == std::string::npos ? platform::separator() : abFolder[iLast];
    const bool bEndsInSeparator = iLast != std::string::npos && iLast + 1 == abFolder.size();
    return bEndsInSeparator ? abFolder + abName : abFolder + cSeparator + abName;
}

// Adds to found every *.png in the folder listed as listing at abPath and
// below it, and a line for every folder below it that cannot be listed.
void walkFolder(const std::string &abPath, const Listing &listing, std::vector<WalkEntry> &found)
{
    std::vector<std::string> subfolders;
    for (const FolderEntry &e : listing.entries) {
        if (e.bHidden)
            continue;
        if (e.bFolder)
            subfolders.push_back(e.abName);
        else if (hasPngExtension(e.abName))
            found.push_back({childPath(abPath, e.abName)});
    }
    if (listing.failure.trouble != Trouble::None)
        found.push_back({abPath, true, listing.failure});
    for (const std::string &abName : subfolders) {
        const std::string abChild = childPath(abPath, abName);
        const Listing child = platform::listFolder(abChild);
        if (child.state == Listing::State::Listed)
            walkFolder(abChild, child, found);
        else if (child.state == Listing::State::Unlistable)
            found.push_back({abChild, true, child.failure});
        else // gone, or no longer a folder, since it was listed
            found.push_back({abChild, true, {Trouble::Missing, {}}});
    }
}

} // namespace

Walk walkPaths(const std::vector<std::string> &paths)
{
    Walk walk;
    for (const std::string &abPath : paths) {
        const Listing listing = platform::listFolder(abPath);
        if (listing.state == Listing::State::NotAFolder) {
            // A file, or nothing: the check opens it or says why it cannot.
            walk.entries.push_back({abPath});
            continue;
        }
        if (listing.state == Listing::State::Unlistable) {
            walk.entries.push_back({abPath, true, listing.failure});
            continue;
        }
        std::vector<WalkEntry> found;
        walkFolder(abPath, listing, found);
        if (found.empty())
            walk.emptyFolders.push_back(abPath);
        std::stable_sort(found.begin(), found.end(), [](const WalkEntry &a, const WalkEntry &b) { return a.abPath < b.abPath; });
        walk.entries.insert(walk.entries.end(), found.begin(), found.end());
    }
    return walk;
}

} // namespace lumbrik::checker
