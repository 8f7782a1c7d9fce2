// The Windows program: the window is created hidden, its load handler runs, and only then is it
// shown. A failure during the load is reported and ends the program before anything is shown.
#include "app/frmMain.h"
#include "platform/win32/host.h"
#include "platform/win32/system_dll.h"
#include "platform/win32/window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // Before anything can load a DLL by name: none is taken from the program's folder.
    pikorina::win32::RestrictDllSearch();
    pikorina::win32::Host host;
    pikorina::win32::Window window(instance, host);
    pikorina::frmMain form(window, host);
    window.Start(form);
    return window.Run();
}
