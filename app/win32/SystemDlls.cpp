#include "SystemDlls.h"

#include <windows.h>
#include <delayimp.h>

#include <string>

namespace lumbrik {
namespace {

// How a DLL given by full path finds its own DLLs: once the search is confined,
// as every load does; where it could not be, from the DLL's folder first.
DWORD iFullPathFlags = LOAD_WITH_ALTERED_SEARCH_PATH;

// The system's own copy of the DLL named sName, loaded by full path.
HMODULE loadSystemDll(const std::wstring &sName)
{
    std::wstring sPath(MAX_PATH, L'\0');
    const UINT iLength = GetSystemDirectoryW(sPath.data(), MAX_PATH);
    if (iLength == 0 || iLength >= MAX_PATH)
        return nullptr;
    sPath.resize(iLength);
    sPath += L'\\' + sName;
    return LoadLibraryExW(sPath.c_str(), nullptr, iFullPathFlags);
}

// Binds a DLL of the delayed_* import libraries to the system's copy, by full
// path: where the search could not be confined (Vista and 7 without update
// KB2533623) a name alone would still find the program's folder first. A DLL
// the program's manifest redirects (Common Controls 6) keeps its name, for the
// redirection to pick the side-by-side copy.
FARPROC WINAPI loadFromSystem32(unsigned iNotice, PDelayLoadInfo pInfo)
{
    if (iNotice != dliNotePreLoadLibrary)
        return nullptr;
    const std::wstring sName(pInfo->szDll, pInfo->szDll + std::char_traits<char>::length(pInfo->szDll));
    ACTCTX_SECTION_KEYED_DATA redirection = {sizeof redirection};
    if (FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, sName.c_str(), &redirection))
        return nullptr;
    return reinterpret_cast<FARPROC>(loadSystemDll(sName));
}

// What the system's own DLLs (themes, the shell and its open dialog) load by
// name on the program's behalf. Loaded first from System32, each is found
// loaded when they ask, before any folder is searched: this covers the systems
// where the search cannot be confined, and late binding that ignores it (Wine's).
const wchar_t *const LOADED_ON_OUR_BEHALF[] = {L"uxtheme.dll", L"dwmapi.dll", L"msimg32.dll", L"version.dll",
                                               L"propsys.dll"};

} // namespace

void loadDllsFromSystem32Only()
{
    static bool bDone = false;
    if (bDone)
        return;
    bDone = true;
    // Windows 8 and later, and Vista and 7 with KB2533623: System32 only, for
    // our own loads and for those the system's DLLs make on our behalf.
    using SetDefaultDllDirectories = BOOL(WINAPI *)(DWORD);
    const auto setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectories>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDefaultDllDirectories && setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        iFullPathFlags = 0;
    else
        SetDllDirectoryW(L""); // elsewhere at least the current folder drops out of the search
    __pfnDliNotifyHook2 = loadFromSystem32;
    for (const wchar_t *sName : LOADED_ON_OUR_BEHALF)
        loadSystemDll(sName);
}

// Before the run time's own start-up code, whose stack protector set-up loads
// advapi32 and the cryptography DLLs behind it: the entry's call comes too late
// for that, and pulls this in.
__attribute__((constructor(101))) static void loadDllsFromSystem32OnlyAtStart()
{
    loadDllsFromSystem32Only();
}

} // namespace lumbrik
