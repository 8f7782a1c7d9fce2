// Stands in for a launched program: marker.exe OUT REST... writes REST, the rest of its command
// line as it arrived, to the file OUT, and the way it was asked to show its window.
#include <windows.h>

#include <cwchar>
#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int show) {
    std::wstring line = commandLine;
    const std::size_t blank = line.find(L' ');
    const std::wstring out = line.substr(0, blank);
    const std::wstring rest = blank == std::wstring::npos ? L"" : line.substr(blank + 1);
    const std::wstring text = rest + L"\n" + std::to_wstring(show) + L"\n";
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), n,
                        nullptr, nullptr);
    // Written under another name and then renamed, so a reader never sees half a file.
    const std::wstring partial = out + L".part";
    HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return MoveFileExW(partial.c_str(), out.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
