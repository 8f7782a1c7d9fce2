// The DLL search and the DLLs loaded at first use (see system_dll.h).
#include "platform/win32/system_dll.h"

namespace pikorina::win32 {

void RestrictDllSearch() {
    // Looked up rather than imported: were it missing, an import would stop the program before
    // it started, and the fallback could never run. Every Windows the manifest names has it.
    const auto setDefaultDllDirectories = FindExport<decltype(::SetDefaultDllDirectories)>(
        GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
    // The system folder alone also leaves out the current folder. SetDllDirectoryW(L"") would
    // say so again, but Windows hands that setting on to the programs the launcher starts, and
    // their DLL search is not ours to change; so it is only the fallback.
    if (setDefaultDllDirectories && setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        return;
    }
    SetDllDirectoryW(L"");
}

SystemDll::SystemDll(const wchar_t* name)
    : module_(LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {}

namespace {

// Each DLL is loaded at the first call that needs it and kept to the end of the process.
struct Winmm {
    SystemDll dll{L"winmm.dll"};
    decltype(::PlaySoundW)* playSound = dll.Find<decltype(::PlaySoundW)>("PlaySoundW");
    decltype(::timeBeginPeriod)* beginPeriod =
        dll.Find<decltype(::timeBeginPeriod)>("timeBeginPeriod");
    decltype(::timeEndPeriod)* endPeriod = dll.Find<decltype(::timeEndPeriod)>("timeEndPeriod");

    Winmm() = default;
    Winmm(const Winmm&) = delete;
    Winmm& operator=(const Winmm&) = delete;
    // A bang still playing is stopped before the code that plays it is unmapped.
    ~Winmm() {
        if (playSound) playSound(nullptr, nullptr, 0);
    }
};

const Winmm& TheWinmm() {
    static const Winmm winmm;
    return winmm;
}

// A DLL loaded at the first call that needs it and kept to the end of the process (COM, once
// started, stays so).
template <const wchar_t* Name> const SystemDll& Loaded() {
    static const SystemDll dll(Name);
    return dll;
}
// The manifest's side-by-side dependency still applies: this is Common Controls 6.
constexpr wchar_t kComctl32[] = L"comctl32.dll";
constexpr wchar_t kOle32[] = L"ole32.dll";

} // namespace

namespace winmm {

BOOL PlaySoundW(LPCWSTR sound, HMODULE module, DWORD flags) {
    const auto play = TheWinmm().playSound;
    return play ? play(sound, module, flags) : FALSE;
}

MMRESULT timeBeginPeriod(UINT milliseconds) {
    const auto begin = TheWinmm().beginPeriod;
    return begin ? begin(milliseconds) : TIMERR_NOCANDO;
}

MMRESULT timeEndPeriod(UINT milliseconds) {
    const auto end = TheWinmm().endPeriod;
    return end ? end(milliseconds) : TIMERR_NOCANDO;
}

} // namespace winmm

namespace comctl32 {

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* classes) {
    static const auto init =
        Loaded<kComctl32>().Find<decltype(::InitCommonControlsEx)>("InitCommonControlsEx");
    return init ? init(classes) : FALSE;
}

} // namespace comctl32

namespace ole32 {

HRESULT CoInitializeEx(LPVOID reserved, DWORD model) {
    static const auto init = Loaded<kOle32>().Find<decltype(::CoInitializeEx)>("CoInitializeEx");
    return init ? init(reserved, model) : E_NOTIMPL;
}

HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid,
                         LPVOID* object) {
    static const auto create =
        Loaded<kOle32>().Find<decltype(::CoCreateInstance)>("CoCreateInstance");
    *object = nullptr;
    return create ? create(clsid, outer, context, iid, object) : E_NOTIMPL;
}

} // namespace ole32

} // namespace pikorina::win32
