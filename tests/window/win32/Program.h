#pragma once
// Test-only: the real Lumbrik.exe as a child process, driven through its
// windows as a user would: its form, its buttons, its boxes and open dialog.

#include "ModalDriver.h"
#include "Unit1.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace lumbrik::testing {

class Program
{
public:
    // Starts sExe with sArguments (quoted as a command line wants them) in sFolder, or here.
    Program(const std::wstring &sExe, const std::wstring &sArguments, const std::wstring &sFolder = {});
    ~Program();
    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;

    bool started() const { return process.hProcess != nullptr; }
    // Its window once it is visible; null if none came up within 20 s.
    HWND form();
    std::wstring text(ControlId id);
    // Presses a button of its window, as a click does.
    void click(ControlId id);
    // The next message box it shows (caption and text), answered with OK; none within 20 s: nothing.
    std::optional<SeenBox> answerBox();
    // Waits for its open dialog and cancels it; false if none came up within 20 s.
    bool cancelOpenDialog();
    // The file names of the modules it has loaded, in lower case.
    std::vector<std::wstring> modules() const;
    // Closes its window and returns its exit code once it has ended (STILL_ACTIVE if it has not).
    DWORD close();

private:
    HWND control(ControlId id);
    HWND dialog(bool bOpenDialog);

    PROCESS_INFORMATION process = {};
    HWND hForm = nullptr;
};

} // namespace lumbrik::testing
