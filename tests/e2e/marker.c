/* marker-prog for the Windows program's end-to-end checks: records that it was started and
 * with which arguments. Each start writes its arguments after the first (the tag), in UTF-8 and
 * NUL-terminated, to marks\TAG.PID beside this executable; the file appears whole (written as
 * .part, then renamed), so the checks never read half of it. The arguments are split by the C
 * runtime, as any Windows program started from a command line would see them. First it asks the
 * launcher's window for its accessible object, as a screen reader would, so that every launch
 * also loads what the launcher loads for readers. */
#include <stdio.h>
#include <wchar.h>
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    HWND launcher = FindWindowW(NULL, L"プログラムの強制終了");
    DWORD_PTR answer;
    if (launcher) {
        SendMessageTimeoutW(launcher, WM_GETOBJECT, 0, (LPARAM)OBJID_CLIENT, SMTO_ABORTIFHUNG, 5000,
                            &answer);
    }
    wchar_t dir[MAX_PATH], done[MAX_PATH], part[MAX_PATH];
    GetModuleFileNameW(NULL, dir, MAX_PATH);
    wchar_t* slash = wcsrchr(dir, L'\\');
    if (slash) *slash = 0;
    wcscat(dir, L"\\marks");
    CreateDirectoryW(dir, NULL);
    swprintf(done, MAX_PATH, L"%ls\\%ls.%lu", dir, argc > 1 ? argv[1] : L"", GetCurrentProcessId());
    swprintf(part, MAX_PATH, L"%ls.part", done);
    FILE* f = _wfopen(part, L"wb");
    if (!f) return 1;
    for (int i = 2; i < argc; i++) {
        char utf8[8192];
        int n = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, utf8, sizeof utf8, NULL, NULL);
        if (n > 0) fwrite(utf8, 1, (size_t)n, f); /* n counts the terminating NUL */
    }
    fclose(f);
    return MoveFileW(part, done) ? 0 : 1;
}
