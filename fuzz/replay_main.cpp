// Replays files through a fuzz target without libFuzzer: every file named, and
// every file in every folder named and in the folders below it. Exits non-zero
// if a named path is missing; a crash ends the run as it would under the fuzzer.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

bool replayFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path.string().c_str());
        return false;
    }
    const std::string ab((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(ab.data()), ab.size());
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    int iFiles = 0;
    bool bAllRead = true;
    for (int i = 1; i < argc; ++i) {
        std::vector<std::filesystem::path> paths{argv[i]};
        std::error_code e;
        if (std::filesystem::is_directory(argv[i], e)) {
            paths.clear();
            for (const auto &entry : std::filesystem::recursive_directory_iterator(argv[i]))
                if (entry.is_regular_file())
                    paths.push_back(entry.path());
            std::sort(paths.begin(), paths.end());
        }
        for (const auto &path : paths) {
            bAllRead = replayFile(path) && bAllRead;
            ++iFiles;
        }
    }
    std::printf("replayed %d files\n", iFiles);
    return bAllRead ? 0 : 1;
}
