// Lumbrik for Windows: one window in which an operator checks a voucher's seal.

#include "SystemDlls.h"
#include "Unit1.h"

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, PWSTR, int nCmdShow)
{
    lumbrik::loadDllsFromSystem32Only();
    lumbrik::TForm1 Form1(hInstance);
    if (!Form1.handle())
        return 1;
    Form1.show(nCmdShow);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!Form1.isDialogMessage(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return 0;
}
