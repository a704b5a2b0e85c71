// Test-only: a DLL to plant beside the program under a system DLL's name. When
// it is loaded, it appends its own path to the file that the environment
// variable LUMBRIK_PLANTED_MARKER names, as an attacker's code could run.

#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD iReason, LPVOID)
{
    wchar_t sMarker[MAX_PATH], sSelf[MAX_PATH];
    if (iReason != DLL_PROCESS_ATTACH || !GetEnvironmentVariableW(L"LUMBRIK_PLANTED_MARKER", sMarker, MAX_PATH))
        return TRUE;
    const HANDLE h = CreateFileW(sMarker, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr);
    const DWORD iLength = GetModuleFileNameW(hInstance, sSelf, MAX_PATH);
    DWORD iWritten = 0;
    WriteFile(h, sSelf, iLength * sizeof(wchar_t), &iWritten, nullptr);
    WriteFile(h, L"\n", sizeof(wchar_t), &iWritten, nullptr);
    CloseHandle(h);
    return TRUE;
}
