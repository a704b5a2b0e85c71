#include "SystemDlls.h"

#include <windows.h>
#include <delayimp.h>

#include <string>

namespace lumbrik {
namespace {

// The system's own copy of a DLL the program binds late (delayed_* import
// libraries), by full path: where the search could not be confined (Vista and 7
// without update KB2533623) a name alone would still find the program's folder
// first. A DLL the program's manifest redirects (Common Controls 6) keeps its
// name, for the redirection to pick the side-by-side copy.
FARPROC WINAPI loadFromSystem32(unsigned iNotice, PDelayLoadInfo pInfo)
{
    if (iNotice != dliNotePreLoadLibrary)
        return nullptr;
    const std::wstring sName(pInfo->szDll, pInfo->szDll + std::char_traits<char>::length(pInfo->szDll));
    ACTCTX_SECTION_KEYED_DATA redirection = {sizeof redirection};
    if (FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, sName.c_str(), &redirection))
        return nullptr;
    std::wstring sPath(MAX_PATH, L'\0');
    const UINT iLength = GetSystemDirectoryW(sPath.data(), MAX_PATH);
    if (iLength == 0 || iLength >= MAX_PATH)
        return nullptr;
    sPath.resize(iLength);
    sPath += L'\\' + sName;
    return reinterpret_cast<FARPROC>(LoadLibraryExW(sPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

} // namespace

void loadDllsFromSystem32Only()
{
    // Windows 8 and later, and Vista and 7 with KB2533623: System32 only, for
    // our own loads and for those the system's DLLs make on our behalf.
    using SetDefaultDllDirectories = BOOL(WINAPI *)(DWORD);
    const auto setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectories>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (!setDefaultDllDirectories || !setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        SetDllDirectoryW(L""); // elsewhere at least the current folder drops out of the search
    __pfnDliNotifyHook2 = loadFromSystem32;
}

} // namespace lumbrik
