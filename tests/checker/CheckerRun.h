#pragma once
// Test-only: runs the real lumbrik-check as a user does and makes the files it
// checks, by the system's own calls; one implementation per system.

#include <string>
#include <vector>

namespace lumbrik::testing {

struct Run {
    int iExit = -1;
    std::string abOut, abErr; // as written: UTF-8 when not a console
};

enum class UserLanguage { English, Chinese };

// Whether runChecker can run the checker for a user of language: natively
// for either; under Wine only for the language Wine was started in.
bool canRunIn(UserLanguage language);

// Runs the checker with args (UTF-8), its standard input fed abInput.
Run runChecker(const std::vector<std::string> &args, const std::string &abInput = {},
               UserLanguage language = UserLanguage::English);

// Makes the folder at sPath (UTF-8), however long the path.
void makeFolder(const std::string &sPath);
// Writes ab to the file at sPath (UTF-8), however long the path.
void writeFile(const std::string &sPath, const std::string &ab);
// Whether the folder at sPath can be listed by this user.
bool canList(const std::string &sPath);
// Removes the tree at sPath, however long its paths.
void removeTree(const std::string &sPath);

// The separator the system puts between a folder and a name.
char separator();

#ifdef _WIN32
// Holds a file open for writing, sharing it with no one, as a program that is
// writing it does, until the object goes.
class FileWriter
{
public:
    explicit FileWriter(const std::string &sPath);
    ~FileWriter();
    FileWriter(const FileWriter &) = delete;
    FileWriter &operator=(const FileWriter &) = delete;

private:
    void *h;
};
#endif

} // namespace lumbrik::testing
