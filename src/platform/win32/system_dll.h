// The DLLs the Windows program loads by itself, and where it lets Windows look for any DLL.
//
// People unpack the program wherever they like, often into their Downloads folder beside
// whatever else they downloaded, and Windows looks for a DLL in the program's own folder before
// the system folder unless the DLL is one of its known DLLs. So the exe imports only known DLLs
// (kernel32, user32, gdi32, msvcrt), its first act is to confine the DLL search to the system
// folder, and every other DLL is loaded here from the system folder, when first needed, after
// that. The common controls are among them: once mapped, they load further DLLs by name, and
// they must not be mapped before the search is confined.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <mmsystem.h>
#include <objbase.h>

// mmsystem.h names PlaySoundW PlaySound for UNICODE builds, which would rename the host's own
// PlaySound wherever this header is seen; the system function is always called by its W name.
#undef PlaySound

#include <memory>
#include <type_traits>

namespace pikorina::win32 {

// Confines the process's DLL search to the system folder: neither the program's folder nor the
// current folder is searched any more. The first call in wWinMain.
void RestrictDllSearch();

// The export `name` of a mapped module as a `Function` (a function type such as
// decltype(::PlaySoundW)); nullptr when the module or the export is missing.
template <typename Function> Function* FindExport(HMODULE module, const char* name) {
    if (!module) return nullptr;
    // Through void(*)(): the one function pointer type GCC accepts any function cast from.
    return reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// A DLL loaded from the system folder only, freed with this object; empty when it cannot be.
class SystemDll {
  public:
    explicit SystemDll(const wchar_t* name);

    template <typename Function> Function* Find(const char* name) const {
        return FindExport<Function>(module_.get(), name);
    }

  private:
    struct Free {
        void operator()(HMODULE module) const { FreeLibrary(module); }
    };
    std::unique_ptr<std::remove_pointer_t<HMODULE>, Free> module_;
};

// The system functions of the same names, called through SystemDll. When the DLL or the
// function cannot be had they do nothing and answer as the function does when it fails, so the
// bang is silent and the waits keep their time at the default resolution; nothing is shown.
namespace winmm {
BOOL PlaySoundW(LPCWSTR sound, HMODULE module, DWORD flags);
MMRESULT timeBeginPeriod(UINT milliseconds);
MMRESULT timeEndPeriod(UINT milliseconds);
} // namespace winmm

namespace comctl32 {
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* classes);
} // namespace comctl32

// COM, for the system's annotation service that tells screen readers what the window is.
namespace ole32 {
HRESULT CoInitializeEx(LPVOID reserved, DWORD model);
HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid,
                         LPVOID* object);
} // namespace ole32

} // namespace pikorina::win32
