// Owners for GDI handles, device contexts, kernel handles and COM objects: each is released when
// its owner goes, on every path out of a function, an exception's included.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace pikorina::win32 {

struct GdiObjectDeleter {
    void operator()(void* object) const { DeleteObject(object); }
};
// A font, brush or bitmap made by this program.
template <typename Handle>
using ScopedGdiObject = std::unique_ptr<std::remove_pointer_t<Handle>, GdiObjectDeleter>;

struct DcDeleter {
    void operator()(HDC dc) const { DeleteDC(dc); }
};
// A device context from CreateCompatibleDC.
using ScopedDC = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;

struct ScreenDcDeleter {
    void operator()(HDC dc) const { ReleaseDC(nullptr, dc); }
};
// The screen's device context from GetDC(nullptr).
using ScopedScreenDC = std::unique_ptr<std::remove_pointer_t<HDC>, ScreenDcDeleter>;

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
// A kernel object's handle, such as an open file's.
using ScopedHandle = std::unique_ptr<void, HandleCloser>;

// A COM object's reference: std::unique_ptr<Interface, ComRelease>.
struct ComRelease {
    template <typename Object> void operator()(Object* object) const { object->Release(); }
};

// An object selected into a device context for as long as this lives; the one it replaced is
// selected again afterwards, so that the object can be deleted.
class ScopedSelection {
  public:
    ScopedSelection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~ScopedSelection() { SelectObject(dc_, previous_); }
    ScopedSelection(const ScopedSelection&) = delete;
    ScopedSelection& operator=(const ScopedSelection&) = delete;

  private:
    HDC dc_;
    HGDIOBJ previous_;
};

} // namespace pikorina::win32
