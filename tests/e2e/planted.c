/* A DLL planted beside the Windows program under a system DLL's name, for the end-to-end
 * checks: once mapped into a process it leaves a file NAME.ran beside itself (NAME: its own file
 * name), so a check sees whether its code ran. It exports nothing; the program must never get
 * as far as asking it for a function. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t path[MAX_PATH + 8];
        DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) return TRUE;
        lstrcpyW(path + n, L".ran");
        HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    return TRUE;
}
